/* Control of the stand-in host library, for tests and the command-line host; the plug-ins
 * never use it. Plain C, so that it works across module boundaries on every platform.
 * Narrow text is UTF-8; strings returned as char* are freed with QxStub_Free. */
#ifndef QX_HOST_STUB_HOSTCONTROL_H
#define QX_HOST_STUB_HOSTCONTROL_H

#include "host/AddinQX.h"

#if defined(_WIN32)
#define QX_STUB_API
#else
#define QX_STUB_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* An empty tree (only "root", without a title), no log, no popups, default dates. */
QX_STUB_API void QxStub_Reset(void);

/* Replaces the tree with the JSON task file `json`. On failure returns 0, leaves the tree
 * empty and writes a one-line reason with its position into `error`. */
QX_STUB_API int QxStub_LoadTasksJson(const char* json, char* error, int errorSize);

/* The tree as a JSON task file; inserted tasks carry their dates. */
QX_STUB_API char* QxStub_TasksJson(void);

/* Appends a task under `parentUid` and returns its identifier (valid as long as the task),
 * or null when the parent does not exist. */
QX_STUB_API const QxChar* QxStub_AddTask(const QxChar* parentUid, const QxChar* title, int present);

/* The call log: on by default; one JSON object per AddinQX_ call, one per line. */
QX_STUB_API void QxStub_SetCallLog(int enabled);
QX_STUB_API void QxStub_ClearCallLog(void);
QX_STUB_API char* QxStub_CallLogJsonLines(void);

/* Popups shown, oldest first: their markup. */
QX_STUB_API int QxStub_PopupCount(void);
QX_STUB_API const QxChar* QxStub_Popup(int index);
QX_STUB_API void QxStub_ClearPopups(void);

/* What AddinQX_GetCurrDate, AddinQX_GetMinDate and AddinQX_GetMaxDate answer. */
QX_STUB_API void QxStub_SetDates(double current, double minimum, double maximum);

/* AddinQX_Task_Insert answers null for a task with this title; null turns that off. */
QX_STUB_API void QxStub_FailInsertOfTitle(const QxChar* title);

QX_STUB_API void QxStub_Free(char* text);

#ifdef __cplusplus
}
#endif

#endif
