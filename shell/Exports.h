// The five entry points that every plug-in module offers the host: plain C functions with
// the C calling convention and undecorated names.
#ifndef QX_SHELL_EXPORTS_H
#define QX_SHELL_EXPORTS_H

#include "host/AddinQX.h"

#if defined(_WIN32)
// The names come from the module's .def file; no decoration, no linker auto-export.
#define QX_EXPORT
#else
#define QX_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

QX_EXPORT const QxChar* QX_CDECL GetMainCommandName(void);
QX_EXPORT const QxChar* QX_CDECL GetTaskMenuCommandName(void);
QX_EXPORT void QX_CDECL SetLanguage(const QxChar* language);
QX_EXPORT void QX_CDECL ExecuteMainCommand(void);
QX_EXPORT void QX_CDECL TaskMenuCommandExecute(const QxChar* argument);

#ifdef __cplusplus
}
#endif

#endif
