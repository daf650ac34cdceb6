// The export command as the host drives it: the save dialog it asks, the order of its host
// calls, the shape of the map, and the popup after each save.
#include <tinyxml.h>

#include <filesystem>

#include "mapdoc/MapFile.h"
#include "platform/FileDialog.h"
#include "support/TestSupport.h"

namespace qxtest {
namespace {

class ExportTest : public HostTest {
 protected:
  // The central ap:Topic of a saved map; fails the test when the file does not load.
  const TiXmlElement* CentralTopic(TiXmlDocument& document, const std::string& path) {
    const std::optional<std::string> bytes = ReadBytes(path);
    EXPECT_TRUE(bytes.has_value()) << path;
    if (!bytes) return nullptr;
    document.Parse(bytes->c_str(), nullptr, TIXML_ENCODING_UTF8);
    EXPECT_FALSE(document.Error()) << document.ErrorDesc();
    const TiXmlElement* map = document.RootElement();
    const TiXmlElement* oneTopic = map ? map->FirstChildElement("ap:OneTopic") : nullptr;
    const TiXmlElement* topic = oneTopic ? oneTopic->FirstChildElement("ap:Topic") : nullptr;
    EXPECT_NE(topic, nullptr);
    return topic;
  }

  bool TempDirEmpty() const { return std::filesystem::is_empty(std::filesystem::u8path(dir_)); }

  // A chain of `levels` tasks below the root, built without the JSON loader.
  static void AddChain(int levels) {
    QxStub_SetCallLog(0);
    const QxChar* parent = QX_TEXT("root");
    for (int i = 0; i < levels; ++i) parent = QxStub_AddTask(parent, QX_TEXT("level"), 1);
    QxStub_SetCallLog(1);
  }
};

std::vector<std::string> ChildNames(const TiXmlElement* element) {
  std::vector<std::string> names;
  for (const TiXmlElement* child = element ? element->FirstChildElement() : nullptr; child != nullptr;
       child = child->NextSiblingElement()) {
    names.push_back(child->Value());
  }
  return names;
}

TEST_F(ExportTest, SaveDialogIsAskedForAnXmmapFileWithTheFixedDescription) {
  RunMain(ExportModule(), std::nullopt);
  ASSERT_EQ(dialog_.requests.size(), 1u);
  const DialogScript::Request& request = dialog_.requests[0];
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.structSize, sizeof(OPENFILENAMEW));
  EXPECT_TRUE(request.ownerNull);
  EXPECT_EQ(request.filter, (std::vector<std::string>{"xmapp", "*.XMMAP"}));
  EXPECT_EQ(request.filterIndex, 1u);
  EXPECT_EQ(request.maxFile, 1024u);
  EXPECT_TRUE(request.fileBufferEmpty);
  EXPECT_EQ(request.flags, 0x8806u);
  EXPECT_EQ(request.defaultExtension, "xmmap");
  EXPECT_TRUE(request.fileTitleNull);
  EXPECT_TRUE(request.initialDirNull);
}

TEST_F(ExportTest, CancelLeavesNoFileNoPopupAndAsksTheHostNothing) {
  LoadTasks(R"({"title": "Top", "children": [{"id": "a", "title": "A"}]})");
  RunMain(ExportModule(), std::nullopt);
  RunTask(ExportModule(), QX_TEXT("a+1"), std::nullopt);
  EXPECT_TRUE(TempDirEmpty());
  EXPECT_TRUE(PopupMessages().empty());
  EXPECT_TRUE(CallLog().empty());
}

// Start task A with children B (child C) and D: the host must be asked in exactly this order.
TEST_F(ExportTest, HostCallsFollowTheDepthFirstWalk) {
  LoadTasks(R"({"title": "Top", "children": [{"id": "A", "title": "Task A", "children": [
      {"id": "B", "title": "Task B", "children": [{"id": "C", "title": "Task C"}]},
      {"id": "D", "title": "Task D"}]}]})");
  RunTask(ExportModule(), QX_TEXT("A+0"), PathOf("abcd.xmmap"));

  using nlohmann::json;
  const std::vector<json> expected = {
      {{"call", "AddinQX_Task_GetChildsCount"}, {"args", {"A"}}},
      {{"call", "AddinQX_Task_GetChildUID"}, {"args", {"A", 0}}},
      {{"call", "AddinQX_Task_IsPresent"}, {"args", {"B"}}},
      {{"call", "AddinQX_Task_GetChildsCount"}, {"args", {"B"}}},
      {{"call", "AddinQX_Task_GetChildUID"}, {"args", {"B", 0}}},
      {{"call", "AddinQX_Task_IsPresent"}, {"args", {"C"}}},
      {{"call", "AddinQX_Task_GetChildsCount"}, {"args", {"C"}}},
      {{"call", "AddinQX_Task_GetTitle"}, {"args", {"C"}}},
      {{"call", "AddinQX_Task_GetTitle"}, {"args", {"B"}}},
      {{"call", "AddinQX_Task_GetChildUID"}, {"args", {"A", 1}}},
      {{"call", "AddinQX_Task_IsPresent"}, {"args", {"D"}}},
      {{"call", "AddinQX_Task_GetChildsCount"}, {"args", {"D"}}},
      {{"call", "AddinQX_Task_GetTitle"}, {"args", {"D"}}},
      {{"call", "AddinQX_Task_GetTitle"}, {"args", {"A"}}},
  };
  const std::vector<json> log = CallLog();
  ASSERT_EQ(log.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i));
    EXPECT_EQ(log[i]["call"], expected[i]["call"]);
    EXPECT_EQ(log[i]["args"], expected[i]["args"]);
  }
  EXPECT_EQ(log[1]["result"], "B");
  EXPECT_EQ(log[4]["result"], "C");
  EXPECT_EQ(log[9]["result"], "D");
  EXPECT_EQ(log.back()["call"], "AddinQX_ShowPopupCustom");
  EXPECT_EQ(PopupMessages(), std::vector<std::string>{"Successfully saved the data"});

  TiXmlDocument document;
  const TiXmlElement* a = CentralTopic(document, PathOf("abcd.xmmap"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(ChildNames(a), (std::vector<std::string>{"ap:SubTopics", "ap:Text"}));
  const TiXmlElement* b = a->FirstChildElement("ap:SubTopics")->FirstChildElement("ap:Topic");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(ChildNames(b), (std::vector<std::string>{"ap:SubTopics", "ap:Text"}));
  const TiXmlElement* c = b->FirstChildElement("ap:SubTopics")->FirstChildElement("ap:Topic");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(ChildNames(c), std::vector<std::string>{"ap:Text"});
  EXPECT_STREQ(c->FirstChildElement("ap:Text")->Attribute("PlainText"), "Task C");
  const TiXmlElement* d = b->NextSiblingElement("ap:Topic");
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->FirstChildElement("ap:Text")->Attribute("PlainText"), "Task D");
  EXPECT_STREQ(a->FirstChildElement("ap:Text")->Attribute("PlainText"), "Task A");
}

TEST_F(ExportTest, MainCommandExportsRootWithItsTitleOrAnEmptyOne) {
  struct Case {
    const char* name;
    const char* tree;
    const char* plainText;
  };
  const Case cases[] = {
      {"untitled root", R"({"children": [{"title": "Only"}]})", ""},
      {"titled root", R"({"title": "Все задачи", "children": [{"title": "Only"}]})", "Все задачи"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QxStub_Reset();
    LoadTasks(c.tree);
    const std::string path = PathOf(std::string(c.name) + ".xmmap");
    RunMain(ExportModule(), path);
    for (const nlohmann::json& entry : CallLog()) {
      EXPECT_FALSE(entry["call"] == "AddinQX_Task_IsPresent" && entry["args"][0] == "root");
    }
    TiXmlDocument document;
    const TiXmlElement* root = CentralTopic(document, path);
    ASSERT_NE(root, nullptr);
    const TiXmlElement* text = root->FirstChildElement("ap:Text");
    ASSERT_NE(text, nullptr);
    ASSERT_NE(text->Attribute("PlainText"), nullptr);
    EXPECT_STREQ(text->Attribute("PlainText"), c.plainText);
  }
}

TEST_F(ExportTest, AbsentChildKeepsAnEmptyTopicInItsPlace) {
  LoadTasks(R"({"title": "Top", "children": [{"id": "p", "title": "Parent", "children": [
      {"id": "first", "title": "First"},
      {"id": "gone", "title": "Gone", "present": false, "children": [{"id": "hidden", "title": "Hidden"}]},
      {"id": "third", "title": "Third"}]}]})");
  const std::string path = PathOf("branch.xmmap");
  RunTask(ExportModule(), QX_TEXT("p"), path);

  TiXmlDocument document;
  const TiXmlElement* parent = CentralTopic(document, path);
  ASSERT_NE(parent, nullptr);
  const TiXmlElement* subTopics = parent->FirstChildElement("ap:SubTopics");
  ASSERT_NE(subTopics, nullptr);
  EXPECT_EQ(ChildNames(subTopics), (std::vector<std::string>{"ap:Topic", "ap:Topic", "ap:Topic"}));
  const TiXmlElement* first = subTopics->FirstChildElement();
  const TiXmlElement* gone = first->NextSiblingElement();
  const TiXmlElement* third = gone->NextSiblingElement();
  EXPECT_STREQ(first->FirstChildElement("ap:Text")->Attribute("PlainText"), "First");
  EXPECT_EQ(gone->FirstChild(), nullptr);
  EXPECT_EQ(gone->FirstAttribute(), nullptr);
  EXPECT_STREQ(third->FirstChildElement("ap:Text")->Attribute("PlainText"), "Third");
  // The absent task's branch is not read at all.
  for (const nlohmann::json& entry : CallLog()) {
    if (entry["call"] == "AddinQX_Task_IsPresent") continue;
    EXPECT_NE(entry["args"][0], "gone") << entry.dump();
    EXPECT_NE(entry["args"][0], "hidden") << entry.dump();
  }
}

TEST_F(ExportTest, EverySaveShowsExactlyOnePopup) {
  LoadTasks(R"({"title": "Top", "children": [{"title": "One"}]})");
  RunMain(ExportModule(), PathOf("first.xmmap"));
  EXPECT_EQ(QxStub_PopupCount(), 1);
  RunMain(ExportModule(), PathOf("second.xmmap"));
  EXPECT_EQ(PopupMessages(),
            (std::vector<std::string>{"Successfully saved the data", "Successfully saved the data"}));
  EXPECT_TRUE(FileExists(PathOf("first.xmmap")));
  EXPECT_TRUE(FileExists(PathOf("second.xmmap")));
}

// A tree nested deeper than a map may be is refused as a whole: nothing is written, the
// user is told, and the walk must not exhaust the stack on the way.
TEST_F(ExportTest, TooDeepTreeIsNotSavedAndTheFailureIsToldInTheHostLanguage) {
  AddChain(100000);
  struct Case {
    const char* language;
    const char* message;
  };
  const Case cases[] = {
      {"", "Failed to save the data"},
      {"Russian", "Не удалось сохранить данные"},
      {"russian", "Failed to save the data"},
  };
  int popups = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("language \"") + c.language + "\"");
    ExportModule().SetLanguage(Wide(c.language).c_str());
    QxStub_SetCallLog(0);
    RunMain(ExportModule(), PathOf("deep.xmmap"));
    QxStub_SetCallLog(1);
    EXPECT_TRUE(TempDirEmpty());
    ASSERT_EQ(QxStub_PopupCount(), ++popups);
    EXPECT_EQ(PopupMessages().back(), c.message);
  }
}

TEST_F(ExportTest, SuccessIsToldInRussianOnlyForExactlyRussian) {
  LoadTasks(R"({"title": "Top"})");
  struct Case {
    const char* language;
    const char* message;
  };
  const Case cases[] = {
      {"Russian", "Данные успешно сохранены"},
      {"russian", "Successfully saved the data"},
      {"English", "Successfully saved the data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    ExportModule().SetLanguage(Wide(c.language).c_str());
    RunMain(ExportModule(), PathOf(std::string(c.language) + ".xmmap"));
    EXPECT_EQ(PopupMessages().back(), c.message);
  }
}

// The deepest tree the export accepts must still be readable by the import.
TEST_F(ExportTest, DeepestAcceptedTreeIsSavedAndReadsBack) {
  AddChain(kMaxTopicDepth);
  const std::string path = PathOf("deepest.xmmap");
  RunMain(ExportModule(), path);
  ASSERT_EQ(PopupMessages(), std::vector<std::string>{"Successfully saved the data"});

  QxStub_Reset();
  RunMain(ImportModule(), path);
  int depth = 0;
  for (nlohmann::json tree = Tasks(); !tree["children"].empty();) {
    ASSERT_EQ(tree["children"].size(), 1u);
    nlohmann::json child = tree["children"][0];
    tree = std::move(child);
    ++depth;
  }
  EXPECT_EQ(depth, kMaxTopicDepth);

  QxStub_Reset();
  AddChain(kMaxTopicDepth + 1);
  RunMain(ExportModule(), PathOf("one-too-deep.xmmap"));
  EXPECT_FALSE(FileExists(PathOf("one-too-deep.xmmap")));
  EXPECT_EQ(PopupMessages(), std::vector<std::string>{"Failed to save the data"});
}

}  // namespace
}  // namespace qxtest
