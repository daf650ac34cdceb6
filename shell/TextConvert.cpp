#include "shell/TextConvert.h"

namespace {

CodePage Select(unsigned char codePage) {
  return codePage == kAnsiCodePage ? CodePage::Ansi : CodePage::Utf8;
}

}  // namespace

WideToMultiByteText::WideToMultiByteText(const QxChar* text, unsigned char codePage) {
  if (text == nullptr || text[0] == 0) return;
  const int size = WideToCodePage(Select(codePage), text, nullptr, 0);
  if (size <= 0) return;
  // One spare zero byte beyond the terminator, as the buffer has always had.
  std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(size) + 1]());
  if (WideToCodePage(Select(codePage), text, buffer.get(), size + 1) <= 0) return;
  result_ = std::move(buffer);
}

MultiByteToWideText::MultiByteToWideText(const char* text, unsigned char codePage) {
  if (text == nullptr) return;
  const int size = CodePageToWide(Select(codePage), text, nullptr, 0);
  if (size <= 0) return;
  std::unique_ptr<QxChar[]> buffer(new QxChar[static_cast<size_t>(size) + 1]());
  if (CodePageToWide(Select(codePage), text, buffer.get(), size + 1) <= 0) return;
  result_ = std::move(buffer);
}

std::unique_ptr<char[]> ToAnsiPath(const QxChar* path) {
  std::unique_ptr<char[]> result(new char[kAnsiPathSize]());
  if (path == nullptr) return result;
  const int size = WideToCodePage(CodePage::Ansi, path, nullptr, 0);
  // A name that would not fit stays empty rather than overflowing or being cut short.
  if (size <= 0 || size > kAnsiPathSize) return result;
  if (WideToCodePage(CodePage::Ansi, path, result.get(), kAnsiPathSize) <= 0) result[0] = '\0';
  return result;
}
