// Code-page conversion without Windows: UTF-8 in both directions, and UTF-8 for the ANSI
// code page too. Malformed input is replaced with U+FFFD, never rejected.
#include "platform/Platform.h"

#include <utf8.h>

#include <cstring>
#include <iterator>
#include <string>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Sizes follow the Windows convention: the terminator is counted and written.
template <typename Unit>
int CopyOut(const std::basic_string<Unit>& converted, Unit* out, int outSize) {
  const size_t needed = converted.size() + 1;
  if (needed > static_cast<size_t>(INT32_MAX)) return 0;
  if (out == nullptr || outSize == 0) return static_cast<int>(needed);
  if (outSize < 0 || static_cast<size_t>(outSize) < needed) return 0;
  std::memcpy(out, converted.c_str(), needed * sizeof(Unit));
  return static_cast<int>(needed);
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

int WideToCodePage(CodePage, const QxChar* text, char* out, int outSize) {
  if (text == nullptr) return 0;
  // The library refuses unpaired surrogates; replace them first, as Windows does.
  std::u16string wide(text);
  for (size_t i = 0; i < wide.size(); ++i) {
    if (IsHighSurrogate(wide[i]) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      ++i;
    } else if (IsHighSurrogate(wide[i]) || IsLowSurrogate(wide[i])) {
      wide[i] = kReplacement;
    }
  }
  std::string narrow;
  narrow.reserve(wide.size());
  utf8::unchecked::utf16to8(wide.begin(), wide.end(), std::back_inserter(narrow));
  return CopyOut(narrow, out, outSize);
}

int CodePageToWide(CodePage, const char* text, QxChar* out, int outSize) {
  if (text == nullptr) return 0;
  const size_t length = std::strlen(text);
  std::u16string wide;
  wide.reserve(length);
  if (utf8::is_valid(text, text + length)) {
    utf8::unchecked::utf8to16(text, text + length, std::back_inserter(wide));
  } else {
    std::string repaired;
    utf8::replace_invalid(text, text + length, std::back_inserter(repaired), kReplacement);
    utf8::unchecked::utf8to16(repaired.begin(), repaired.end(), std::back_inserter(wide));
  }
  return CopyOut(wide, out, outSize);
}
