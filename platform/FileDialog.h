// The common file dialogs: the real ones on Windows, the stand-in elsewhere.
#ifndef QX_PLATFORM_FILEDIALOG_H
#define QX_PLATFORM_FILEDIALOG_H

#if defined(_WIN32)
#include "platform/win32/WindowsSupport.h"
#else
#include "platform/posix/CommDlg.h"
#endif

#endif
