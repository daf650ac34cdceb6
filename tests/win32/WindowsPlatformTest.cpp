// What only the Windows build can show: the real code-page functions, the C runtime's text
// mode, file names outside the ANSI code page, and the 1 MiB main-thread stack.
#include "support/TestSupport.h"

#include "mapdoc/MapFile.h"
#include "mapdoc/Vocabulary.h"
#include "platform/win32/WindowsSupport.h"

#include <filesystem>
#include <iterator>
#include <optional>

namespace qxtest {
namespace {

// The expectations below are those of code page 1252, the default of a Western Windows
// and of a fresh wine prefix.
void ExpectAnsiCodePage1252() { ASSERT_EQ(::GetACP(), 1252u) << "these tests assume code page 1252"; }

std::optional<std::string> ToCodePage(CodePage codePage, const QxChar* text) {
  const int size = WideToCodePage(codePage, text, nullptr, 0);
  if (size <= 0) return std::nullopt;
  std::string bytes(static_cast<size_t>(size), '\x7F');
  if (WideToCodePage(codePage, text, bytes.data(), size) != size) return std::nullopt;
  if (bytes.back() != '\0') return std::nullopt;
  bytes.pop_back();
  return bytes;
}

std::optional<std::wstring> FromCodePage(CodePage codePage, const char* text) {
  const int size = CodePageToWide(codePage, text, nullptr, 0);
  if (size <= 0) return std::nullopt;
  std::wstring units(static_cast<size_t>(size), L'\x7F');
  if (CodePageToWide(codePage, text, units.data(), size) != size) return std::nullopt;
  if (units.back() != L'\0') return std::nullopt;
  units.pop_back();
  return units;
}

TEST(WindowsCodePageTest, WideToNarrowReplacesWhatTheTargetCannotHold) {
  ExpectAnsiCodePage1252();
  struct Row {
    const char* name;
    CodePage codePage;
    std::wstring input;
    std::string expected;
  };
  const Row rows[] = {
      {"UTF-8 Cyrillic", CodePage::Utf8, L"Задача", "\xD0\x97\xD0\xB0\xD0\xB4\xD0\xB0\xD1\x87\xD0\xB0"},
      {"UTF-8 surrogate pair", CodePage::Utf8, L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
      {"UTF-8 lone high surrogate", CodePage::Utf8, L"a\xD800" L"b", "a\xEF\xBF\xBD" "b"},
      {"UTF-8 lone low surrogate", CodePage::Utf8, L"\xDC00", "\xEF\xBF\xBD"},
      {"UTF-8 high surrogate at the end", CodePage::Utf8, L"x\xDBFF", "x\xEF\xBF\xBD"},
      {"ANSI Latin-1 letters", CodePage::Ansi, L"Caf\xE9 \xDF", "Caf\xE9 \xDF"},
      {"ANSI euro sign", CodePage::Ansi, L"\x20AC", "\x80"},
      {"ANSI Cyrillic becomes the default character", CodePage::Ansi, L"Да x", "?? x"},
      {"ANSI CJK becomes the default character", CodePage::Ansi, L"\x6F22\x5B57", "??"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ToCodePage(row.codePage, row.input.c_str()), row.expected);
  }
}

TEST(WindowsCodePageTest, NarrowToWideReplacesMalformedUtf8) {
  ExpectAnsiCodePage1252();
  struct Row {
    const char* name;
    CodePage codePage;
    const char* input;
    std::wstring expected;
  };
  const Row rows[] = {
      {"UTF-8 Cyrillic", CodePage::Utf8, "\xD0\x94\xD0\xB0", L"Да"},
      {"UTF-8 four-byte sequence", CodePage::Utf8, "\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
      {"UTF-8 invalid byte", CodePage::Utf8, "a\xFF" "b", L"a\xFFFD" L"b"},
      {"UTF-8 stray continuation byte", CodePage::Utf8, "\x80", L"\xFFFD"},
      {"UTF-8 truncated sequence at the end", CodePage::Utf8, "a\xE2\x82", L"a\xFFFD"},
      {"ANSI euro sign", CodePage::Ansi, "\x80", L"\x20AC"},
      {"ANSI Latin-1 letter", CodePage::Ansi, "\xE9", L"\xE9"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FromCodePage(row.codePage, row.input), row.expected);
  }
}

TEST(WindowsCodePageTest, SizesCountTheTerminatorAndAShortBufferFails) {
  char narrow[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(WideToCodePage(CodePage::Utf8, L"Да", nullptr, 0), 5);
  EXPECT_EQ(WideToCodePage(CodePage::Utf8, L"Да", narrow, sizeof narrow), 0);
  EXPECT_EQ(WideToCodePage(CodePage::Utf8, nullptr, narrow, sizeof narrow), 0);
  wchar_t wide[2] = {L'x', L'x'};
  EXPECT_EQ(CodePageToWide(CodePage::Utf8, "abc", nullptr, 0), 4);
  EXPECT_EQ(CodePageToWide(CodePage::Utf8, "abc", wide, 2), 0);
  EXPECT_EQ(CodePageToWide(CodePage::Utf8, nullptr, wide, 2), 0);
}

class WindowsFilesTest : public HostTest {
 protected:
  static std::filesystem::path FsPath(const std::string& utf8) { return std::filesystem::path(Wide(utf8)); }
};

// Text mode writes every line end as CR LF, and nothing else of the map changes with it.
TEST_F(WindowsFilesTest, SavedMapEndsEveryLineWithCrLf) {
  LoadTasks(R"({"title": "Top", "children": [{"title": "line\nbreak"}, {"title": "two\r\nlines"}]})");
  const std::string path = PathOf("lines.xmmap");
  RunMain(ExportModule(), path);
  const std::optional<std::string> bytes = ReadBytes(path);
  ASSERT_TRUE(bytes.has_value());

  size_t lines = 0;
  for (size_t i = 0; i < bytes->size(); ++i) {
    if ((*bytes)[i] == '\n') {
      ++lines;
      ASSERT_TRUE(i > 0 && (*bytes)[i - 1] == '\r') << "bare LF at byte " << i;
      ASSERT_FALSE(i > 1 && (*bytes)[i - 2] == '\r') << "CR CR LF at byte " << i;
    } else if ((*bytes)[i] == '\r') {
      ASSERT_TRUE(i + 1 < bytes->size() && (*bytes)[i + 1] == '\n') << "bare CR at byte " << i;
    }
  }
  EXPECT_GT(lines, 5u);
  ASSERT_GE(bytes->size(), 2u);
  EXPECT_EQ(bytes->substr(bytes->size() - 2), "\r\n");
  EXPECT_NE(bytes->substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";

  // The line breaks inside titles survive the trip through text mode.
  QxStub_Reset();
  RunMain(ImportModule(), path);
  const nlohmann::json tree = Tasks();
  ASSERT_EQ(tree["children"].size(), 2u);
  EXPECT_EQ(tree["children"][0]["title"], "line\nbreak");
  EXPECT_EQ(tree["children"][1]["title"], "two\r\nlines");
}

// Names that code page 1252 cannot spell: a narrow file call would mangle them to "?".
TEST_F(WindowsFilesTest, FileNamesOutsideTheAnsiCodePageSaveAndImport) {
  ExpectAnsiCodePage1252();
  const std::string names[] = {"Карта задач.xmmap", "計画 地図.xmmap", "mixed Ω 日本 ß.xmmap"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    QxStub_Reset();
    LoadTasks(R"({"title": "Root", "children": [{"title": "Задача 任务"}]})");
    const std::string path = PathOf(name);
    RunMain(ExportModule(), path);
    ASSERT_EQ(PopupMessages(), std::vector<std::string>{"Successfully saved the data"});
    EXPECT_TRUE(std::filesystem::is_regular_file(FsPath(path)));

    // Saving again replaces the file in place, through the wide-character rename.
    RunMain(ExportModule(), path);
    EXPECT_EQ(QxStub_PopupCount(), 2);

    QxStub_Reset();
    RunMain(ImportModule(), path);
    const nlohmann::json tree = Tasks();
    ASSERT_EQ(tree["children"].size(), 1u);
    EXPECT_EQ(tree["children"][0]["title"], "Задача 任务");
  }
  // Nothing else was left behind: no temporary file, no file under a mangled name.
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(FsPath(dir_))) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, std::size(names));
}

// The host runs the commands on its main thread, whose stack is 1 MiB; this program is
// linked with the same reservation, so the tests below run on the stack the host gives.
TEST(WindowsStackTest, MainThreadReservesOneMebibyte) {
  const auto* base = reinterpret_cast<const unsigned char*>(::GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  EXPECT_EQ(nt->OptionalHeader.SizeOfStackReserve, 1024u * 1024u);
}

std::string NestedMap(int topics) {
  std::string map = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<ap:Map xmlns:ap=\"" +
                    std::string(kApplicationNamespace) + "\">\n<ap:OneTopic>\n<ap:Topic>\n<ap:SubTopics>\n";
  for (int i = 0; i < topics; ++i) map += "<ap:Topic><ap:SubTopics>\n";
  for (int i = 0; i < topics; ++i) map += "</ap:SubTopics><ap:Text PlainText=\"t\"/></ap:Topic>\n";
  map += "</ap:SubTopics>\n<ap:Text PlainText=\"Central\"/>\n</ap:Topic>\n</ap:OneTopic>\n</ap:Map>\n";
  return map;
}

int ChainDepth(nlohmann::json tree) {
  int depth = 0;
  while (tree["children"].size() == 1) {
    nlohmann::json child = tree["children"][0];
    tree = std::move(child);
    ++depth;
  }
  return tree["children"].empty() ? depth : -1;
}

// A map nested deeper than the limit is refused before parsing, however deep (far beyond
// what the parser's recursion could take on 1 MiB): no task, no host call, and the host
// process lives on. One level less and the whole chain arrives.
TEST_F(WindowsFilesTest, NestingLimitHoldsOnTheMainThreadStack) {
  // Element depth of NestedMap(topics): ap:Map, ap:OneTopic, the central ap:Topic and its
  // ap:SubTopics, then two per nested topic.
  const int deepestAccepted = (kMaxElementDepth - 4) / 2;
  struct Row {
    const char* name;
    int topics;
    int expectedDepth;
  };
  const Row rows[] = {
      {"100,000 levels", 100000, 0},
      {"one topic above the limit", deepestAccepted + 1, 0},
      {"at the limit", deepestAccepted, deepestAccepted},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    QxStub_Reset();
    const std::string path = PathOf("deep.xmmap");
    WriteBytes(path, NestedMap(row.topics));
    RunMain(ImportModule(), path);
    EXPECT_EQ(ChainDepth(Tasks()), row.expectedDepth);
    if (row.expectedDepth == 0) EXPECT_EQ(CallNames(), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace qxtest
