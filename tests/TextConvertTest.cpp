// Conversions between the host's UTF-16, UTF-8 and the narrow file names, on the platform's
// code-page functions. Selector 1 is the ANSI code page: UTF-8 on Linux, 1252 on our Windows.
#include "shell/TextConvert.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace qxtest {
namespace {

std::string Show(const std::optional<std::string>& bytes) {
  if (!bytes) return "(null)";
  std::string shown;
  for (unsigned char c : *bytes) {
    if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      shown += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    }
  }
  return shown;
}

std::optional<std::string> Bytes(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

std::string Units(const QxString& text) {
  std::string shown;
  for (QxChar unit : text) shown += " " + std::to_string(static_cast<unsigned>(unit));
  return shown;
}

std::optional<std::string> Units(const QxChar* text) {
  if (text == nullptr) return std::nullopt;
  return Units(QxString(text));
}

std::optional<std::string> Units(const std::optional<QxString>& text) {
  if (!text) return std::nullopt;
  return Units(*text);
}

struct WideCase {
  const char* name;
  const QxChar* input;
  std::optional<std::string> expected;
};

TEST(TextConvertTest, WideToMultiByteTextGivesUtf8OrNull) {
  const WideCase rows[] = {
      {"null", nullptr, std::nullopt},
      {"empty", QX_TEXT(""), std::nullopt},
      {"ASCII", QX_TEXT("Plan A"), "Plan A"},
      {"Cyrillic", QX_TEXT("Задача"), "\xD0\x97\xD0\xB0\xD0\xB4\xD0\xB0\xD1\x87\xD0\xB0"},
      {"line breaks kept", QX_TEXT("a\r\nb\tc"), "a\r\nb\tc"},
      {"surrogate pair", QX_TEXT("a\U0001F600z"), "a\xF0\x9F\x98\x80z"},
      {"lone high surrogate", QX_TEXT("a\xD83D") QX_TEXT("z"), "a\xEF\xBF\xBD" "z"},
      {"lone low surrogate", QX_TEXT("a\xDE00") QX_TEXT("z"), "a\xEF\xBF\xBD" "z"},
      {"high surrogate last", QX_TEXT("a\xD83D"), "a\xEF\xBF\xBD"},
      {"low surrogate first", QX_TEXT("\xDE00") QX_TEXT("z"), "\xEF\xBF\xBD" "z"},
      {"pair reversed", QX_TEXT("\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"high before a pair", QX_TEXT("\xD83D\xD83D\xDE00"), "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
  };
  for (const WideCase& row : rows) {
    SCOPED_TRACE(row.name);
    const WideToMultiByteText converted(row.input, kUtf8CodePage);
    EXPECT_EQ(Show(Bytes(converted.Result())), Show(row.expected));
  }
}

struct NarrowCase {
  const char* name;
  const char* input;
  std::optional<QxString> expected;
};

TEST(TextConvertTest, MultiByteToWideTextGivesUtf16OrNull) {
  const NarrowCase rows[] = {
      {"null", nullptr, std::nullopt},
      {"empty is not null", "", QxString()},
      {"ASCII", "Plan A", QxString(QX_TEXT("Plan A"))},
      {"Cyrillic", "\xD0\x97\xD0\xB0\xD0\xB4\xD0\xB0\xD1\x87\xD0\xB0", QxString(QX_TEXT("Задача"))},
      {"line breaks kept", "a\r\nb\tc", QxString(QX_TEXT("a\r\nb\tc"))},
      {"surrogate pair", "a\xF0\x9F\x98\x80z", QxString(QX_TEXT("a\U0001F600z"))},
      {"byte order mark kept", "\xEF\xBB\xBFx", QxString(QX_TEXT("\xFEFFx"))},
  };
  for (const NarrowCase& row : rows) {
    SCOPED_TRACE(row.name);
    const MultiByteToWideText converted(row.input, kUtf8CodePage);
    EXPECT_EQ(Units(converted.Result()), Units(row.expected));
  }
}

// How many U+FFFD a bad sequence becomes is the platform's business; that it is replaced,
// and that the text around it survives, is ours.
TEST(TextConvertTest, MalformedUtf8IsReplacedNotRejected) {
  struct Row {
    const char* name;
    const char* input;
    QxString before, after;
  };
  const Row rows[] = {
      {"lone 0xFF", "ab\xFF" "cd", QX_TEXT("ab"), QX_TEXT("cd")},
      {"lone continuation byte", "ab\x80" "cd", QX_TEXT("ab"), QX_TEXT("cd")},
      {"truncated sequence", "ab\xE2\x82" "cd", QX_TEXT("ab"), QX_TEXT("cd")},
      {"truncated at the end", "ab\xF0\x9F\x98", QX_TEXT("ab"), QX_TEXT("")},
      {"lead byte alone first", "\xD0" "Ж", QX_TEXT(""), QX_TEXT("Ж")},
      {"overlong slash", "a\xC0\xAF" "b", QX_TEXT("a"), QX_TEXT("b")},
      {"encoded surrogate", "a\xED\xA0\x80" "b", QX_TEXT("a"), QX_TEXT("b")},
      {"beyond U+10FFFF", "a\xF4\x90\x80\x80" "b", QX_TEXT("a"), QX_TEXT("b")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const MultiByteToWideText converted(row.input, kUtf8CodePage);
    ASSERT_NE(converted.Result(), nullptr);
    const QxString result = converted.Result();
    ASSERT_GT(result.size(), row.before.size() + row.after.size()) << Units(result);
    const size_t middle = result.size() - row.before.size() - row.after.size();
    EXPECT_EQ(result.substr(0, row.before.size()), row.before) << Units(result);
    EXPECT_EQ(result.substr(row.before.size() + middle), row.after) << Units(result);
    EXPECT_EQ(result.substr(row.before.size(), middle), QxString(middle, QxChar(0xFFFD))) << Units(result);
  }
}

TEST(TextConvertTest, SelectorOneIsTheAnsiCodePageEveryOtherIsUtf8) {
  const QxChar* const wide = QX_TEXT("Пуск");
  const std::string utf8 = "\xD0\x9F\xD1\x83\xD1\x81\xD0\xBA";
#if defined(_WIN32)
  const std::string ansi = "????";
  // The same bytes read as code page 1252.
  const QxString fromAnsi = QX_TEXT("\x00D0\x0178\x00D1\x0192\x00D1\x0081\x00D0\x00BA");
#else
  const std::string ansi = utf8;
  const QxString fromAnsi = wide;
#endif
  for (const unsigned selector : {0u, 1u, 2u, 255u}) {
    SCOPED_TRACE("selector " + std::to_string(selector));
    const bool isAnsi = selector == 1;
    const WideToMultiByteText narrow(wide, static_cast<unsigned char>(selector));
    EXPECT_EQ(Show(Bytes(narrow.Result())), Show(isAnsi ? ansi : utf8));
    const MultiByteToWideText back(utf8.c_str(), static_cast<unsigned char>(selector));
    EXPECT_EQ(Units(back.Result()), Units(isAnsi ? fromAnsi : QxString(wide)));
  }
}

TEST(TextConvertTest, ResultsCarryASpareZeroBeyondTheTerminator) {
  const WideToMultiByteText narrow(QX_TEXT("Ж\U0001F600"), kUtf8CodePage);
  ASSERT_NE(narrow.Result(), nullptr);
  const size_t bytes = std::string(narrow.Result()).size();
  ASSERT_EQ(bytes, 6u);
  EXPECT_EQ(narrow.Result()[bytes + 1], '\0');

  for (const char* text : {"", "Ж\xF0\x9F\x98\x80"}) {
    SCOPED_TRACE(text);
    const MultiByteToWideText wide(text, kUtf8CodePage);
    ASSERT_NE(wide.Result(), nullptr);
    const size_t units = QxString(wide.Result()).size();
    EXPECT_EQ(wide.Result()[units], QxChar(0));
    EXPECT_EQ(wide.Result()[units + 1], QxChar(0));
  }
}

TEST(TextConvertTest, ReleaseFreesOnceAndMayBeRepeated) {
  WideToMultiByteText narrow(QX_TEXT("Plan"), kUtf8CodePage);
  ASSERT_NE(narrow.Result(), nullptr);
  narrow.Release();
  EXPECT_EQ(narrow.Result(), nullptr);
  narrow.Release();
  EXPECT_EQ(narrow.Result(), nullptr);

  MultiByteToWideText wide("Plan", kUtf8CodePage);
  ASSERT_NE(wide.Result(), nullptr);
  wide.Release();
  EXPECT_EQ(wide.Result(), nullptr);
  wide.Release();
  EXPECT_EQ(wide.Result(), nullptr);
}

// The platform functions count and write the terminator, and refuse a buffer that is too
// small rather than cutting the text short.
TEST(TextConvertTest, PlatformConversionCountsTheTerminator) {
  const QxChar* const wide = QX_TEXT("Жa");
  ASSERT_EQ(WideToCodePage(CodePage::Utf8, wide, nullptr, 0), 4);
  char narrow[8];
  std::fill(std::begin(narrow), std::end(narrow), 'x');
  EXPECT_EQ(WideToCodePage(CodePage::Utf8, wide, narrow, 3), 0);
  EXPECT_EQ(WideToCodePage(CodePage::Utf8, wide, narrow, 4), 4);
  EXPECT_EQ(std::string(narrow, 4), std::string("\xD0\x96" "a", 4));
  EXPECT_EQ(narrow[4], 'x');

  ASSERT_EQ(CodePageToWide(CodePage::Utf8, "\xD0\x96" "a", nullptr, 0), 3);
  QxChar units[4] = {1, 1, 1, 1};
  EXPECT_EQ(CodePageToWide(CodePage::Utf8, "\xD0\x96" "a", units, 2), 0);
  EXPECT_EQ(CodePageToWide(CodePage::Utf8, "\xD0\x96" "a", units, 3), 3);
  EXPECT_EQ(Units(QxString(units, 3)), Units(QxString(wide, 3)));
  EXPECT_EQ(units[3], QxChar(1));
}

TEST(TextConvertTest, ToAnsiPathConvertsIntoAFullSizeBuffer) {
  struct Row {
    const char* name;
    QxString path;
    std::string expected;
  };
  const Row rows[] = {
      {"ASCII", QX_TEXT("plan 1.xmmap"), "plan 1.xmmap"},
#if defined(_WIN32)
      {"Cyrillic", QX_TEXT("карта.xmmap"), "?????.xmmap"},
#else
      {"Cyrillic", QX_TEXT("карта.xmmap"), "\xD0\xBA\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0.xmmap"},
#endif
      {"empty", QX_TEXT(""), ""},
      {"longest that fits", QxString(kAnsiPathSize - 1, QxChar('a')), std::string(kAnsiPathSize - 1, 'a')},
      {"one byte too many", QxString(kAnsiPathSize, QxChar('a')), ""},
      {"far too long", QxString(3 * kAnsiPathSize, QxChar('a')), ""},
      // Few code units, but two bytes each where the ANSI code page is UTF-8.
#if defined(_WIN32)
      {"too long once converted", QxString(kAnsiPathSize / 2 + 1, QxChar(0x416)),
       std::string(kAnsiPathSize / 2 + 1, '?')},
#else
      {"too long once converted", QxString(kAnsiPathSize / 2 + 1, QxChar(0x416)), ""},
#endif
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::unique_ptr<char[]> path = ToAnsiPath(row.path.c_str());
    ASSERT_NE(path, nullptr);
    const std::string converted(path.get());
    EXPECT_EQ(converted.size(), row.expected.size());
    EXPECT_TRUE(converted == row.expected) << Show(converted.substr(0, 80));
    // The whole buffer belongs to the caller (a short allocation shows under the sanitizer).
    path[kAnsiPathSize - 1] = 'z';
  }
  EXPECT_EQ(ToAnsiPath(nullptr)[0], '\0');
}

TEST(TextConvertTest, EachToAnsiPathIsANewBuffer) {
  const QxChar* const name = QX_TEXT("plan.xmmap");
  const std::unique_ptr<char[]> first = ToAnsiPath(name);
  const std::unique_ptr<char[]> second = ToAnsiPath(QX_TEXT("other.xmmap"));
  ASSERT_NE(first.get(), second.get());
  EXPECT_STREQ(first.get(), "plan.xmmap");
  EXPECT_STREQ(second.get(), "other.xmmap");
  first[0] = 'X';
  const std::unique_ptr<char[]> third = ToAnsiPath(name);
  EXPECT_STREQ(second.get(), "other.xmmap");
  EXPECT_STREQ(third.get(), "plan.xmmap");
}

}  // namespace
}  // namespace qxtest
