// Code-page conversion through the Windows API, without strict-conversion flags, so that
// malformed input is replaced and unknown characters take the code page's default.
#include "platform/Platform.h"

#include "platform/win32/WindowsSupport.h"

namespace {

UINT ToWindows(CodePage codePage) { return codePage == CodePage::Ansi ? CP_ACP : CP_UTF8; }

}  // namespace

int WideToCodePage(CodePage codePage, const QxChar* text, char* out, int outSize) {
  if (text == nullptr) return 0;
  return ::WideCharToMultiByte(ToWindows(codePage), 0, text, -1, out, out ? outSize : 0,
                               nullptr, nullptr);
}

int CodePageToWide(CodePage codePage, const char* text, QxChar* out, int outSize) {
  if (text == nullptr) return 0;
  return ::MultiByteToWideChar(ToWindows(codePage), 0, text, -1, out, out ? outSize : 0);
}
