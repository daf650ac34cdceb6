// A stand-in for the Windows common file dialogs, for hosts that are not Windows. The
// request is the same OPENFILENAMEW (text as UTF-16) and the calls return as on Windows:
// nonzero with the chosen path in lpstrFile, or 0 for cancel and failure. The dialog's
// rules (default extension, overwrite prompt, folder and file must exist, no read-only
// file) are enforced here; what the user types comes from the program that hosts the
// plug-ins, through a DialogResponder.
#ifndef QX_PLATFORM_POSIX_COMMDLG_H
#define QX_PLATFORM_POSIX_COMMDLG_H

#include "host/AddinQX.h"

#include <cstdint>
#include <optional>
#include <string>

#define QX_COMDLG_API __attribute__((visibility("default")))

using DWORD = std::uint32_t;
using WORD = std::uint16_t;

struct OPENFILENAMEW {
  DWORD lStructSize;
  void* hwndOwner;
  void* hInstance;
  const QxChar* lpstrFilter;
  QxChar* lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  QxChar* lpstrFile;
  DWORD nMaxFile;
  QxChar* lpstrFileTitle;
  DWORD nMaxFileTitle;
  const QxChar* lpstrInitialDir;
  const QxChar* lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  const QxChar* lpstrDefExt;
  std::intptr_t lCustData;
  void* lpfnHook;
  const QxChar* lpTemplateName;
  void* pvReserved;
  DWORD dwReserved;
  DWORD FlagsEx;
};

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_NOREADONLYRETURN = 0x00008000;

extern "C" {
QX_COMDLG_API int GetSaveFileNameW(OPENFILENAMEW* request);
QX_COMDLG_API int GetOpenFileNameW(OPENFILENAMEW* request);
}

/// The user of the dialog, played by the program that hosts the plug-ins.
class DialogResponder {
 public:
  virtual ~DialogResponder() = default;
  /// What the user types (UTF-8), or nothing to cancel. Asked again after each refusal.
  virtual std::optional<std::string> Ask(const OPENFILENAMEW& request, bool save) = 0;
  /// `path` exists and the dialog asks before replacing it: true to replace.
  virtual bool ConfirmOverwrite(const std::string& path) = 0;
  /// A refusal, as the dialog's message box would tell it.
  virtual void Refuse(const std::string& message) = 0;
};

/// Installs the responder for every later dialog; null (the default) cancels every dialog.
QX_COMDLG_API void SetDialogResponder(DialogResponder* responder);

#endif
