/* The host's plug-in support library (qx_plugins): the task operations that the plug-ins
 * call. Declarations only; the host ships the library. Text is NUL-terminated UTF-16. */
#ifndef QX_HOST_ADDINQX_H
#define QX_HOST_ADDINQX_H

#ifdef _WIN32
/* wchar_t is 16-bit on Windows and is what the host's API speaks. */
typedef wchar_t QxChar;
#define QX_CDECL __cdecl
#else
/* wchar_t is 32-bit here; char16_t keeps the host boundary UTF-16 on every platform. */
#ifdef __cplusplus
typedef char16_t QxChar;
#else
#include <uchar.h>
typedef char16_t QxChar;
#endif
#define QX_CDECL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Tree queries. Returned text belongs to the host. A child's identifier stays valid as long
 * as its task; a title only until the next AddinQX_Task_GetTitle. */
int QX_CDECL AddinQX_Task_IsPresent(const QxChar* taskUid);
int QX_CDECL AddinQX_Task_GetChildsCount(const QxChar* taskUid);
const QxChar* QX_CDECL AddinQX_Task_GetChildUID(const QxChar* taskUid, int index);
const QxChar* QX_CDECL AddinQX_Task_GetTitle(const QxChar* taskUid);

/* Task creation: the new task's identifier, valid until the next host call. */
const QxChar* QX_CDECL AddinQX_Task_Insert(const QxChar* reserved1, const QxChar* parentUid,
                                           const QxChar* title, double currentDate,
                                           int reserved5, const QxChar* reserved6,
                                           double minDate, double maxDate);

double QX_CDECL AddinQX_GetMaxDate(void);
double QX_CDECL AddinQX_GetMinDate(void);
double QX_CDECL AddinQX_GetCurrDate(void);

/* Category and priority identifiers are valid only until the next host call. */
int QX_CDECL AddinQX_Task_GetCategoriesCount(const QxChar* taskUid);
const QxChar* QX_CDECL AddinQX_Task_GetCategoryUID(const QxChar* taskUid, int index);
void QX_CDECL AddinQX_Task_AddToCategory(const QxChar* taskUid, const QxChar* categoryUid);
const QxChar* QX_CDECL AddinQX_Task_GetPriorityUID(const QxChar* taskUid);
void QX_CDECL AddinQX_Task_SetPriorityUID(const QxChar* taskUid, const QxChar* priorityUid);

/* One change batch per import that loaded its file. */
void QX_CDECL AddinQX_ChangesStart(void);
void QX_CDECL AddinQX_ChangesEnd(void);

/* Shows XAML markup in the host's notification popup. */
void QX_CDECL AddinQX_ShowPopupCustom(const QxChar* markup, int duration);

#ifdef __cplusplus
}
#endif

#endif
