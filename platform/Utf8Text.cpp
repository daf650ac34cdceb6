// UTF-8 strings for the tools around the plug-ins: the stand-in host and dialogs, qxhost.
#include "platform/Platform.h"

std::string ToUtf8(const QxChar* text) {
  if (text == nullptr) return {};
  const int size = WideToCodePage(CodePage::Utf8, text, nullptr, 0);
  if (size <= 1) return {};
  std::string result(static_cast<size_t>(size), '\0');
  WideToCodePage(CodePage::Utf8, text, result.data(), size);
  result.resize(static_cast<size_t>(size) - 1);
  return result;
}

QxString FromUtf8(const std::string& text) {
  const int size = CodePageToWide(CodePage::Utf8, text.c_str(), nullptr, 0);
  if (size <= 1) return {};
  QxString result(static_cast<size_t>(size), QxChar(0));
  CodePageToWide(CodePage::Utf8, text.c_str(), result.data(), size);
  result.resize(static_cast<size_t>(size) - 1);
  return result;
}
