// Always include this header instead of <windows.h>, so that the same macros are set for
// every Windows source.
#ifndef QX_PLATFORM_WIN32_WINDOWSSUPPORT_H
#define QX_PLATFORM_WIN32_WINDOWSSUPPORT_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commdlg.h>

// The host is 32-bit and expects the full structure, reserved members included.
static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEW) == 88, "OPENFILENAMEW must be 88 bytes");

#endif
