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

// The code point at `text`, an unpaired surrogate read as U+FFFD, as Windows does; `units`
// is how many code units it took.
char32_t NextCodePoint(const QxChar* text, int& units) {
  const char16_t unit = text[0];
  units = 1;
  if (IsHighSurrogate(unit) && IsLowSurrogate(text[1])) {
    units = 2;
    const char16_t low = text[1];
    return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
  }
  return IsHighSurrogate(unit) || IsLowSurrogate(unit) ? kReplacement : unit;
}

int Utf8Length(char32_t codePoint) {
  return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

}  // namespace

// One pass, straight into `out`: titles go through here once per task.
int WideToCodePage(CodePage, const QxChar* text, char* out, int outSize) {
  if (text == nullptr) return 0;
  if (out == nullptr || outSize == 0) {
    size_t needed = 1;
    int units = 0;
    for (const QxChar* p = text; *p != 0; p += units) {
      needed += static_cast<size_t>(Utf8Length(NextCodePoint(p, units)));
    }
    return needed > static_cast<size_t>(INT32_MAX) ? 0 : static_cast<int>(needed);
  }
  if (outSize < 0) return 0;
  char* q = out;
  const char* const limit = out + outSize;
  int units = 0;
  for (const QxChar* p = text; *p != 0; p += units) {
    const char32_t c = NextCodePoint(p, units);
    const int length = Utf8Length(c);
    if (limit - q < length + 1) return 0;
    q = utf8::unchecked::append(c, q);
  }
  *q++ = '\0';
  return static_cast<int>(q - out);
}

int CodePageToWide(CodePage, const char* text, QxChar* out, int outSize) {
  if (text == nullptr) return 0;
  const size_t length = std::strlen(text);
  if (utf8::is_valid(text, text + length)) {
    // Valid input, the usual case, is decoded straight into `out`. A unit per character,
    // two for those beyond the Basic Multilingual Plane (four-byte sequences).
    size_t needed = 1;
    for (size_t i = 0; i < length; ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      needed += ((byte & 0xC0) != 0x80) + (byte >= 0xF0);
    }
    if (needed > static_cast<size_t>(INT32_MAX)) return 0;
    if (out == nullptr || outSize == 0) return static_cast<int>(needed);
    if (outSize < 0 || static_cast<size_t>(outSize) < needed) return 0;
    *utf8::unchecked::utf8to16(text, text + length, out) = 0;
    return static_cast<int>(needed);
  }
  std::string repaired;
  utf8::replace_invalid(text, text + length, std::back_inserter(repaired), kReplacement);
  std::u16string wide;
  wide.reserve(repaired.size());
  utf8::unchecked::utf8to16(repaired.begin(), repaired.end(), std::back_inserter(wide));
  return CopyOut(wide, out, outSize);
}
