// The map file on disk: the exact bytes written, titles through a write and a read, what the
// loader accepts, the nesting guard and what a save leaves behind.
#include "mapdoc/MapFile.h"
#include "mapdoc/Vocabulary.h"
#include "support/MapBuilder.h"
#include "support/TestSupport.h"

#include <tinyxml.h>

#include <filesystem>

namespace qxtest {
namespace {

std::string Fixture(const std::string& name) {
  const std::optional<std::string> bytes = ReadBytes(std::string(QX_TEST_DATA_DIR) + "/" + name);
  EXPECT_TRUE(bytes.has_value()) << name;
  return bytes.value_or("");
}

// The PlainText of the first sub-topic of a loaded map; nullopt when there is none.
std::optional<std::string> FirstSubTopicTitle(const TiXmlDocument& document) {
  const TiXmlElement* map = document.FirstChildElement(kMap);
  const TiXmlElement* oneTopic = map ? map->FirstChildElement(kOneTopic) : nullptr;
  const TiXmlElement* central = oneTopic ? oneTopic->FirstChildElement(kTopic) : nullptr;
  const TiXmlElement* subTopics = central ? central->FirstChildElement(kSubTopics) : nullptr;
  const TiXmlElement* topic = subTopics ? subTopics->FirstChildElement(kTopic) : nullptr;
  const TiXmlElement* text = topic ? topic->FirstChildElement(kText) : nullptr;
  const char* title = text ? text->Attribute(kPlainText) : nullptr;
  if (title == nullptr) return std::nullopt;
  return std::string(title);
}

class MapFileTest : public HostTest {
 protected:
  // `name` inside the folder `folder` of the test's folder.
  std::string PathIn(const std::string& folder, const std::string& name) const {
    return PathOf(folder) + PathOf("").substr(dir_.size()) + name;
  }
};

struct LayoutCase {
  const char* name;
  const char* tasks;  // the start task has id "s"
  const char* fixture;
  TopicShape central;
};

TEST_F(MapFileTest, ExportAndDirectSaveWriteTheFixtureBytes) {
  const LayoutCase cases[] = {
      {"plan with a child and an absent child",
       R"({"children": [{"id": "s", "title": "Plan", "children": [
           {"title": "Buy & sell"}, {"title": "gone", "present": false}]}]})",
       "plan-example.xmmap",
       {"Plan", {{"Buy & sell", {}}, {nullptr, {}}}}},
      {"single task", R"({"children": [{"id": "s", "title": "Plan"}]})", "single-task.xmmap",
       {"Plan", {}}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string expected = Fixture(c.fixture);
    ASSERT_FALSE(expected.empty());

    QxStub_Reset();
    LoadTasks(c.tasks);
    const std::string exported = PathOf(std::string("exported ") + c.fixture);
    RunTask(ExportModule(), QX_TEXT("s"), exported);
    EXPECT_EQ(PopupMessages(), std::vector<std::string>{"Successfully saved the data"});
    EXPECT_EQ(ReadBytes(exported), expected);

    TiXmlDocument document;
    BuildMap(document, c.central);
    const std::string saved = PathOf(std::string("saved ") + c.fixture);
    ASSERT_TRUE(SaveMapDocument(document, Wide(saved).c_str()));
    EXPECT_EQ(ReadBytes(saved), expected);
  }
}

TEST_F(MapFileTest, TitlesAreEscapedOnDiskAndReadBackUnchanged) {
  struct Row {
    const char* name;
    const char* json;      // the title as a JSON string
    const char* onDisk;    // the attribute as the file must hold it
    const char* readBack;  // UTF-8
  };
  const Row rows[] = {
      {"markup characters", R"("a & b < c > d")", R"(PlainText="a &amp; b &lt; c &gt; d")",
       "a & b < c > d"},
      {"double quotation mark", R"("say \"hi\"")", R"(PlainText='say &quot;hi&quot;')",
       "say \"hi\""},
      {"apostrophe", R"("it's")", R"(PlainText="it&apos;s")", "it's"},
      {"tab and CR LF", R"("a\tb\r\nc")", R"(PlainText="a&#x09;b&#x0D;&#x0A;c")", "a\tb\r\nc"},
      {"lone LF and CR", R"("x\ny\rz")", R"(PlainText="x&#x0A;y&#x0D;z")", "x\ny\rz"},
      {"spaces kept", R"("  two  spaces  ")", R"(PlainText="  two  spaces  ")",
       "  two  spaces  "},
      {"Cyrillic as plain UTF-8", R"("Привет, мир")", R"(PlainText="Привет, мир")",
       "Привет, мир"},
      {"empty", R"("")", R"(PlainText="")", ""},
      {"hexadecimal reference stays literal", R"("&#x41F;")", R"(PlainText="&amp;#x41F;")",
       "&#x41F;"},
      {"decimal reference stays literal", R"("&#1055;")", R"(PlainText="&amp;#1055;")",
       "&#1055;"},
      {"malformed hexadecimal reference", R"("&#xZZ and more")",
       R"(PlainText="&amp;#xZZ and more")", "&#xZZ and more"},
      {"characters XML forbids are left out",
       R"("a\u0001b\u0008c\u000Bd\u000Ce\u000Ef\u001Fg\uFFFEh\uFFFFi")", R"(PlainText="abcdefghi")",
       "abcdefghi"},
      {"neighbours of the forbidden noncharacters stay", R"("\uFFFD\uFFFC\u007F")",
       "PlainText=\"\xEF\xBF\xBD\xEF\xBF\xBC\x7F\"", "\xEF\xBF\xBD\xEF\xBF\xBC\x7F"},
  };
  std::string tasks = R"({"children": [{"id": "s", "title": "start", "children": [)";
  for (const Row& row : rows) {
    if (&row != rows) tasks += ",";
    tasks += std::string(R"({"title": )") + row.json + "}";
  }
  tasks += "]}]}";
  LoadTasks(tasks);
  const std::string map = PathOf("titles.xmmap");
  RunTask(ExportModule(), QX_TEXT("s"), map);
  const std::string bytes = ReadBytes(map).value_or("");

  QxStub_Reset();
  RunMain(ImportModule(), map);
  const nlohmann::json imported = Tasks()["children"];
  ASSERT_EQ(imported.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_NE(bytes.find(std::string("<ap:Text ") + rows[i].onDisk + ">\r\n"), std::string::npos);
    EXPECT_EQ(imported[i]["title"], rows[i].readBack);
  }
}

// A map around one sub-topic whose PlainText attribute is written as given.
std::string HandWrittenMap(const std::string& attribute,
                           const std::string& declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)") {
  return declaration + "\n<ap:Map><ap:OneTopic><ap:Topic><ap:SubTopics><ap:Topic><ap:Text PlainText=" +
         attribute + "/></ap:Topic></ap:SubTopics></ap:Topic></ap:OneTopic></ap:Map>\n";
}

TEST_F(MapFileTest, HandWrittenFilesAreReadByTheLoaderRules) {
  struct Row {
    const char* name;
    std::string bytes;
    std::optional<std::string> title;  // nullopt: the load fails
  };
  const std::string utf16Map = [] {
    const std::string narrow = HandWrittenMap(R"("x")");
    std::string wide = "\xFF\xFE";
    for (char c : narrow) wide += std::string{c, '\0'};
    return wide;
  }();
  // A CR LF whose CR ends the loader's first 64 KiB stretch and whose LF starts the next.
  const std::string padding = [] {
    const std::string probe = HandWrittenMap("\"@");
    return std::string(64 * 1024 - 1 - probe.find('@'), 'a');
  }();
  const Row rows[] = {
      {"plain", HandWrittenMap(R"("plain")"), "plain"},
      {"CR LF across a stretch boundary", HandWrittenMap("\"" + padding + "\r\nb\""),
       padding + "\nb"},
      {"UTF-8 byte-order mark skipped", "\xEF\xBB\xBF" + HandWrittenMap(R"("bom")"), "bom"},
      {"declared single-byte encoding ignored",
       HandWrittenMap(R"("Задача")", R"(<?xml version="1.0" encoding="windows-1251"?>)"), "Задача"},
      {"CR LF in a value read as LF", HandWrittenMap("\"a\r\nb\""), "a\nb"},
      {"lone CR in a value read as LF", HandWrittenMap("\"a\rb\""), "a\nb"},
      {"decimal reference", HandWrittenMap(R"("&#1055;")"), "П"},
      {"hexadecimal reference", HandWrittenMap(R"("&#x41F;")"), "П"},
      {"both quote kinds", HandWrittenMap(R"('say "&apos;"')"), "say \"'\""},
      {"unknown entity loses its ampersand", HandWrittenMap(R"("a&nbsp;b")"), "anbsp;b"},
      {"white space kept", HandWrittenMap("\"  a \t b  \""), "  a \t b  "},
      {"CR LF file layout", "<?xml version=\"1.0\"?>\r\n<ap:Map>\r\n<ap:OneTopic>\r\n<ap:Topic>"
                            "<ap:SubTopics><ap:Topic><ap:Text PlainText=\"crlf\"/></ap:Topic>"
                            "</ap:SubTopics></ap:Topic></ap:OneTopic></ap:Map>\r\n",
       "crlf"},
      {"missing map end tag", HandWrittenMap(R"("x")").substr(0, HandWrittenMap(R"("x")").size() - 10),
       std::nullopt},
      {"mismatched end tag", "<ap:Map><ap:OneTopic></ap:Topic></ap:Map>", std::nullopt},
      {"empty file", "", std::nullopt},
      {"only white space", " \r\n\t", std::nullopt},
      {"text instead of markup", "not a map", std::nullopt},
      {"UTF-16 file", utf16Map, std::nullopt},
      // The library would read on past the NUL byte, into what is no longer the file.
      {"NUL byte after a character's first byte",
       HandWrittenMap("\"a\xE0" + std::string(1, '\0') + "b\""), std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = PathOf("hand.xmmap");
    WriteBytes(path, row.bytes);
    TiXmlDocument document;
    const bool loaded = LoadMapDocument(document, Wide(path).c_str());
    EXPECT_EQ(loaded, row.title.has_value());
    if (loaded && row.title) EXPECT_EQ(FirstSubTopicTitle(document), row.title);
  }
}

TEST_F(MapFileTest, LoadingAMissingFileFails) {
  TiXmlDocument document;
  EXPECT_FALSE(LoadMapDocument(document, Wide(PathOf("missing.xmmap")).c_str()));
  EXPECT_FALSE(LoadMapDocument(document, QX_TEXT("")));
  EXPECT_FALSE(LoadMapDocument(document, nullptr));
}

int ParsedDepth(const TiXmlNode& node) {
  int deepest = 0;
  for (const TiXmlElement* child = node.FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    deepest = std::max(deepest, 1 + ParsedDepth(*child));
  }
  return deepest;
}

TEST(ElementDepthScannerTest, CountsOnlyElementNesting) {
  struct Row {
    const char* name;
    std::string text;
    int depth;
  };
  const Row rows[] = {
      {"nothing", "plain text", 0},
      {"declaration only", R"(<?xml version="1.0" encoding="UTF-8" ?>)", 0},
      {"nested", "<a><b><c></c></b></a>", 3},
      {"siblings", "<a><b></b><b></b><b><c/></b></a>", 3},
      {"self-closing", "<a/><b /><c x='1'/>", 1},
      {"self-closing inside", "<a><b/><b/></a>", 2},
      {"greater-than in a value", R"(<a x=">"><b/></a>)", 2},
      {"slash and greater-than in a value", R"(<a x="/>"><b y='/>'><c/></b></a>)", 3},
      {"apostrophe inside double quotes", R"(<a x="it's"><b/></a>)", 2},
      {"comment with tags", "<a><!-- <b><c><d> --></a>", 1},
      {"comment with dashes and >", "<a><!-- - -> -- ---><b/></a>", 2},
      {"CDATA with tags", "<a><![CDATA[<b><c>]]><d/></a>", 2},
      {"CDATA ending in brackets", "<a><![CDATA[x]]]]><b/></a>", 2},
      {"processing instruction", "<?pi x='1'?><a><b/></a>", 2},
      // As the XML library reads them: an instruction ends at its first ">", the
      // declaration only outside the quoted values of its three fields.
      {"instruction ends at its first >", "<?pi '>'<c>?><a/>", 2},
      {"declaration with > in a field", "<?xml version='>' encoding=\"<!--\"?><a><b/></a>", 2},
      {"declaration field names in any case", "<?XML Version='<!--' ?><a><b/></a>", 2},
      {"declaration field after a skipped mark",
       "<?xml \xEF\xBB\xBFversion='1>' encoding='<!--'?><a><b/></a>", 2},
      {"declaration field spaced around =", "<?xml encoding \t= '>'?><a/>", 1},
      {"declaration: other names end at >", "<?xml foo='a><b>' ?>", 1},
      {"declaration: other names end at white space", "<?xml foo'x version=\"'>\"?><a/>", 1},
      {"declaration: unquoted value", "<?xml version=1.0><a><b/></a>", 2},
      {"declaration that the library gives up on", "<?xml version x<a>", 0},
      {"document type", "<!DOCTYPE a><a><b/></a>", 2},
      {"markup that is not a comment", "<!-x <b><a/>", 1},
      {"end tags never go below zero", "</x></y><a/>", 1},
      {"underscore and UTF-8 names", "<_a><\xD0\x9F><b/></\xD0\x9F></_a>", 3},
      {"DEL starts a name as well", "<\x7F><\x7F><\x7F/></\x7F></\x7F>", 3},
      {"less-than and space is no element", "< a>< b>", 0},
      {"empty tag is markup of its own", "<><a><b/></a>", 2},
      // The library steps over a multi-byte character whole, whatever bytes follow its
      // first one: here they hide the end tags, so the elements nest.
      {"character hides an end tag", "<a>\xE0</a><a>\xE0</a><a/>", 3},
      {"character hides a closing quote", "<a x='\xC3'></a>'><c><d/></c>", 3},
      {"CR LF counts as one byte", "<a>\xE0\r\n</a><a>\xE0\r\n</a><a/>", 3},
      {"complete characters hide nothing", "<a x='\xD0\x9F'>\xF0\x9F\x98\x80</a><b/>", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ElementDepthScanner whole(100);
    ASSERT_FALSE(row.text.empty());
    whole.Feed(row.text.data(), row.text.size());
    EXPECT_EQ(whole.MaxDepth(), row.depth);
    ElementDepthScanner bytewise(100);
    for (char c : row.text) bytewise.Feed(&c, 1);
    EXPECT_EQ(bytewise.MaxDepth(), row.depth);
    // Never less than the nesting that the library itself builds from the same text.
    TiXmlDocument document;
    document.Parse(row.text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    EXPECT_GE(whole.MaxDepth(), ParsedDepth(document));
  }
}

TEST(ElementDepthScannerTest, StopsOncePastItsLimit) {
  std::string deep;
  for (int i = 0; i < 50; ++i) deep += "<a>";
  ElementDepthScanner scanner(10);
  scanner.Feed(deep.data(), deep.size());
  EXPECT_TRUE(scanner.Exceeded());
  EXPECT_EQ(scanner.MaxDepth(), 11);
  ElementDepthScanner atLimit(50);
  atLimit.Feed(deep.data(), deep.size());
  EXPECT_FALSE(atLimit.Exceeded());
}

std::string NestedMap(int depth, const std::string& name = "ap:Topic") {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<ap:Map>";
  for (int i = 1; i < depth; ++i) text += "<" + name + ">";
  for (int i = 1; i < depth; ++i) text += "</" + name + ">";
  return text + "</ap:Map>\n";
}

TEST_F(MapFileTest, LoadingRefusesMapsNestedPastTheLimit) {
  struct Row {
    const char* name;
    std::string bytes;
    bool loads;
  };
  const Row rows[] = {
      {"at the limit", NestedMap(kMaxElementDepth), true},
      {"one past the limit", NestedMap(kMaxElementDepth + 1), false},
      {"far past the limit", NestedMap(20 * kMaxElementDepth), false},
      {"names starting with DEL", NestedMap(kMaxElementDepth + 1, "\x7F"), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = PathOf("deep.xmmap");
    WriteBytes(path, row.bytes);
    TiXmlDocument document;
    EXPECT_EQ(LoadMapDocument(document, Wide(path).c_str()), row.loads);
  }
}

std::vector<std::string> FolderContents(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(folder))) {
    names.push_back(entry.path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(MapFileTest, SaveReplacesTheFileAndLeavesNothingElse) {
  const std::string target = PathOf("карта.xmmap");
  WriteBytes(target, "previous content, longer than the map that replaces it" + std::string(2000, '.'));
  TiXmlDocument document;
  BuildMap(document, {"Plan", {}});
  ASSERT_TRUE(SaveMapDocument(document, Wide(target).c_str()));
  EXPECT_EQ(ReadBytes(target), Fixture("single-task.xmmap"));
  EXPECT_EQ(FolderContents(dir_), std::vector<std::string>{"карта.xmmap"});
}

TEST_F(MapFileTest, FailedSaveCreatesNothing) {
  TiXmlDocument document;
  BuildMap(document, {"Plan", {}});
  const std::string inMissingFolder = PathIn("missing", "map.xmmap");
  EXPECT_FALSE(SaveMapDocument(document, Wide(inMissingFolder).c_str()));
  EXPECT_FALSE(SaveMapDocument(document, QX_TEXT("")));
  EXPECT_FALSE(SaveMapDocument(document, nullptr));

  // A folder where the map should go is neither replaced nor written into.
  const std::string folder = PathOf("folder.xmmap");
  std::filesystem::create_directory(std::filesystem::u8path(folder));
  WriteBytes(PathIn("folder.xmmap", "inside"), "kept");
  EXPECT_FALSE(SaveMapDocument(document, Wide(folder).c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(folder)));
  EXPECT_EQ(FolderContents(folder), std::vector<std::string>{"inside"});
  EXPECT_EQ(FolderContents(dir_), std::vector<std::string>{"folder.xmmap"});
}

}  // namespace
}  // namespace qxtest
