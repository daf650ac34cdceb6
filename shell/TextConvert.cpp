#include "shell/TextConvert.h"

#include <climits>
#include <string>

namespace {

CodePage Select(unsigned char codePage) {
  return codePage == kAnsiCodePage ? CodePage::Ansi : CodePage::Utf8;
}

}  // namespace

// Every UTF-16 unit takes at most three bytes in UTF-8 and in any ANSI code page, and every
// byte at most one UTF-16 unit; a buffer of that bound saves asking for the size first.
constexpr size_t kMaxBytesPerUnit = 3;

WideToMultiByteText::WideToMultiByteText(const QxChar* text, unsigned char codePage) {
  if (text == nullptr || text[0] == 0) return;
  const size_t units = std::char_traits<QxChar>::length(text);
  int size = 0;
  if (units < (INT_MAX - 1) / kMaxBytesPerUnit) {
    size = static_cast<int>(units * kMaxBytesPerUnit + 1);
  } else {
    size = WideToCodePage(Select(codePage), text, nullptr, 0);
    if (size <= 0) return;
  }
  // One spare zero byte beyond the terminator, as the buffer has always had.
  std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(size) + 1]());
  if (WideToCodePage(Select(codePage), text, buffer.get(), size + 1) <= 0) return;
  result_ = std::move(buffer);
}

MultiByteToWideText::MultiByteToWideText(const char* text, unsigned char codePage) {
  if (text == nullptr) return;
  const size_t bytes = std::char_traits<char>::length(text);
  int size = 0;
  if (bytes < INT_MAX - 1) {
    size = static_cast<int>(bytes + 1);
  } else {
    size = CodePageToWide(Select(codePage), text, nullptr, 0);
    if (size <= 0) return;
  }
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
