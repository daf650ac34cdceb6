// The stand-in host: its task files, how long the text it hands out lives, and its call log.
#include "support/TestSupport.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

namespace qxtest {
namespace {

class HostStubTest : public ::testing::Test {
 protected:
  void SetUp() override { QxStub_Reset(); }
  void TearDown() override { QxStub_Reset(); }
};

std::string LogText() {
  char* text = QxStub_CallLogJsonLines();
  std::string result = text != nullptr ? text : "";
  QxStub_Free(text);
  return result;
}

TEST_F(HostStubTest, TaskFileFillsInDefaultsAndGeneratesIdsThatNeverClash) {
  LoadTasks(R"({"children": [
      {"title": "first"},
      {"id": "t1", "title": "given t1", "present": false, "categories": ["work", "home"],
       "priority": "high", "children": [{"title": "nested"}, {"id": "t3"}]},
      {"title": "last"}]})");
  const nlohmann::json tree = Tasks();
  EXPECT_TRUE(tree["title"].is_null());
  ASSERT_EQ(tree["children"].size(), 3u);
  const nlohmann::json& first = tree["children"][0];
  EXPECT_EQ(first["title"], "first");
  EXPECT_EQ(first["present"], true);
  EXPECT_EQ(first["categories"], nlohmann::json::array());
  EXPECT_TRUE(first["priority"].is_null());
  EXPECT_EQ(first["children"], nlohmann::json::array());
  const nlohmann::json& given = tree["children"][1];
  EXPECT_EQ(given["id"], "t1");
  EXPECT_EQ(given["present"], false);
  EXPECT_EQ(given["categories"], (nlohmann::json{"work", "home"}));
  EXPECT_EQ(given["priority"], "high");
  EXPECT_EQ(given["children"][1]["id"], "t3");
  EXPECT_TRUE(given["children"][1]["title"].is_null());

  std::set<std::string> ids{"root"};
  for (const std::string id : {first["id"].get<std::string>(), given["id"].get<std::string>(),
                               given["children"][0]["id"].get<std::string>(),
                               given["children"][1]["id"].get<std::string>(),
                               tree["children"][2]["id"].get<std::string>()}) {
    EXPECT_TRUE(ids.insert(id).second) << "id used twice: " << id;
  }

  // The host's own answers agree with the file.
  EXPECT_EQ(AddinQX_Task_GetChildsCount(QX_TEXT("root")), 3);
  EXPECT_EQ(AddinQX_Task_IsPresent(QX_TEXT("t1")), 0);
  EXPECT_EQ(AddinQX_Task_IsPresent(QX_TEXT("root")), 1);
  EXPECT_EQ(AddinQX_Task_IsPresent(QX_TEXT("no such task")), 0);
  // Generated ids are found by their number; near misses of them name no task.
  EXPECT_EQ(first["id"], "t2");
  EXPECT_EQ(AddinQX_Task_IsPresent(QX_TEXT("t2")), 1);
  for (const QxChar* id : {QX_TEXT("t02"), QX_TEXT("t2 "), QX_TEXT("T2"), QX_TEXT("t"),
                           QX_TEXT("t99"), QX_TEXT("t00000000002")}) {
    EXPECT_EQ(AddinQX_Task_IsPresent(id), 0) << ToUtf8(id);
  }
  EXPECT_EQ(AddinQX_Task_GetTitle(QX_TEXT("root")), nullptr);
  EXPECT_EQ(AddinQX_Task_GetTitle(QX_TEXT("t3")), nullptr);
  EXPECT_EQ(AddinQX_Task_GetCategoriesCount(QX_TEXT("t1")), 2);
  EXPECT_EQ(QxString(AddinQX_Task_GetCategoryUID(QX_TEXT("t1"), 1)), QX_TEXT("home"));
  EXPECT_EQ(QxString(AddinQX_Task_GetPriorityUID(QX_TEXT("t1"))), QX_TEXT("high"));
  EXPECT_EQ(AddinQX_Task_GetPriorityUID(QX_TEXT("t3")), nullptr);
  EXPECT_EQ(AddinQX_Task_GetChildUID(QX_TEXT("root"), 3), nullptr);
  EXPECT_EQ(AddinQX_Task_GetChildUID(QX_TEXT("root"), -1), nullptr);
}

TEST_F(HostStubTest, RootTitleAndTheTreeComeBackAsWritten) {
  LoadTasks(R"({"title": "Всё", "children": [{"id": "a", "title": "Tab\there\r\n"}]})");
  const nlohmann::json tree = Tasks();
  EXPECT_EQ(tree["title"], "Всё");
  EXPECT_EQ(tree["children"][0]["title"], "Tab\there\r\n");
  EXPECT_EQ(QxString(AddinQX_Task_GetTitle(QX_TEXT("root"))), QX_TEXT("Всё"));

  // Dumped and loaded again, the tree is the same.
  LoadTasks(tree.dump());
  EXPECT_EQ(Tasks(), tree);
}

TEST_F(HostStubTest, MalformedTaskFileNamesTheProblemAndItsPosition) {
  struct Row {
    const char* name;
    std::string json;
    std::vector<std::string> inMessage;
  };
  const Row rows[] = {
      {"truncated", R"({"children": [{"title": "a")", {"line 1, column 28", "end of input"}},
      {"truncated on a later line", "{\"children\": [\n  {\"title\": \"a\"},\n  {\"title\"",
       {"line 3, column 11"}},
      {"title of the wrong type", R"({"children": [{"title": 5}]})",
       {"/children/0/title", "expected a string"}},
      {"nested present of the wrong type",
       R"({"children": [{}, {"children": [{"present": "yes"}]}]})",
       {"/children/1/children/0/present", "true or false"}},
      {"category of the wrong type", R"({"children": [{"categories": ["a", 3]}]})",
       {"/children/0/categories/1", "expected a string"}},
      {"children not an array", R"({"children": {"title": "a"}})", {"/children", "array"}},
      {"task not an object", R"({"children": ["a"]})", {"/children/0", "task object"}},
      {"top level not an object", "[]", {"top level", "object"}},
      {"duplicate id", R"({"children": [{"id": "x"}, {"children": [{"id": "x"}]}]})",
       {"/children/1/children/0/id", "duplicate id \"x\""}},
      {"id of the root", R"({"children": [{"id": "root"}]})", {"/children/0/id", "duplicate"}},
      {"empty id", R"({"children": [{"id": ""}]})", {"/children/0/id", "empty"}},
      {"non-UTF-8 bytes", "{\"children\": [{\"title\": \"a\xFF\xFE\"}]}", {"column 27", "UTF-8", "\\xFF"}},
      {"empty", "", {"line 1, column 1"}},
      {"trailing text", "{} x", {"column 4"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LoadTasks(R"({"title": "left over", "children": [{"title": "old"}]})");
    char error[512];
    std::fill(std::begin(error), std::end(error), 'x');
    ASSERT_EQ(QxStub_LoadTasksJson(row.json.c_str(), error, sizeof error), 0);
    const std::string message(error);
    for (const std::string& part : row.inMessage) {
      EXPECT_NE(message.find(part), std::string::npos) << "\"" << part << "\" not in: " << message;
    }
    // The message is valid UTF-8, whatever bytes the file held.
    EXPECT_EQ(Utf8(Wide(message)), message);
    // Nothing of the failed file or of the tree before it stays.
    EXPECT_EQ(Tasks(), nlohmann::json::parse(R"({"title": null, "children": []})"));
  }
}

TEST_F(HostStubTest, ErrorMessageIsCutToTheBufferOnACharacterBoundary) {
  const std::string json = R"({"children": [{"id": "ЖЖЖЖЖЖЖЖ"}, {"id": "ЖЖЖЖЖЖЖЖ"}]})";
  char full[256];
  ASSERT_EQ(QxStub_LoadTasksJson(json.c_str(), full, sizeof full), 0);
  for (int size = 1; size <= static_cast<int>(std::strlen(full)) + 1; ++size) {
    SCOPED_TRACE(size);
    std::vector<char> cut(static_cast<size_t>(size), 'x');
    QxStub_LoadTasksJson(json.c_str(), cut.data(), size);
    const std::string message(cut.data());
    ASSERT_LT(message.size(), static_cast<size_t>(size));
    EXPECT_EQ(std::string(full).compare(0, message.size(), message), 0);
    EXPECT_EQ(Utf8(Wide(message)), message);
  }
  EXPECT_EQ(QxStub_LoadTasksJson(json.c_str(), nullptr, 0), 0);
}

TEST_F(HostStubTest, VeryDeepTaskFileLoadsAndDumps) {
  constexpr int kDepth = 100000;
  std::string json = R"({"title": null, "children": [)";
  for (int i = 0; i < kDepth; ++i) json += R"({"title": "level )" + std::to_string(i) + R"(", "children": [)";
  for (int i = 0; i < kDepth; ++i) json += "]}";
  json += "]}";
  LoadTasks(json);

  QxStub_SetCallLog(0);
  QxString task = QX_TEXT("root");
  int depth = 0;
  while (AddinQX_Task_GetChildsCount(task.c_str()) == 1) {
    task = AddinQX_Task_GetChildUID(task.c_str(), 0);
    ++depth;
  }
  EXPECT_EQ(depth, kDepth);
  EXPECT_EQ(Utf8(AddinQX_Task_GetTitle(task.c_str())), "level " + std::to_string(kDepth - 1));

  char* dumped = QxStub_TasksJson();
  ASSERT_NE(dumped, nullptr);
  const std::string text = dumped;
  QxStub_Free(dumped);
  EXPECT_NE(text.find("\"level 99999\""), std::string::npos);
  // Loading the dump again gives the same depth: nothing was cut off.
  LoadTasks(text);
  task = QX_TEXT("root");
  depth = 0;
  while (AddinQX_Task_GetChildsCount(task.c_str()) == 1) {
    task = AddinQX_Task_GetChildUID(task.c_str(), 0);
    ++depth;
  }
  EXPECT_EQ(depth, kDepth);
}

TEST_F(HostStubTest, TitleLivesOnlyUntilTheNextTitle) {
  LoadTasks(R"({"children": [{"id": "a", "title": "first title"}, {"id": "b", "title": "second"},
                             {"id": "c", "title": "a title much longer than both of the others"},
                             {"id": "d"}]})");
  const QxChar* kept = AddinQX_Task_GetTitle(QX_TEXT("a"));
  ASSERT_EQ(QxString(kept), QX_TEXT("first title"));
  // Other calls leave it alone.
  AddinQX_Task_GetChildsCount(QX_TEXT("root"));
  AddinQX_Task_GetPriorityUID(QX_TEXT("a"));
  EXPECT_EQ(QxString(kept), QX_TEXT("first title"));

  struct Next {
    const QxChar* task;
    const char* name;
  };
  for (const Next& next : {Next{QX_TEXT("b"), "shorter"}, Next{QX_TEXT("c"), "longer"},
                           Next{QX_TEXT("d"), "without a title"}}) {
    SCOPED_TRACE(next.name);
    const QxChar* title = AddinQX_Task_GetTitle(QX_TEXT("a"));
    AddinQX_Task_GetTitle(next.task);
    EXPECT_NE(QxString(title), QX_TEXT("first title"));
  }
}

TEST_F(HostStubTest, ShortLivedAnswersLastUntilTheNextCallAndServeAsItsArgument) {
  LoadTasks(R"({"children": [{"id": "a", "title": "A", "categories": ["work"], "priority": "high"},
                             {"id": "b", "title": "B"}]})");
  struct Row {
    const char* name;
    std::function<const QxChar*()> answer;
    QxString expected;
  };
  const Row rows[] = {
      {"category", [] { return AddinQX_Task_GetCategoryUID(QX_TEXT("a"), 0); }, QX_TEXT("work")},
      {"priority", [] { return AddinQX_Task_GetPriorityUID(QX_TEXT("a")); }, QX_TEXT("high")},
      {"inserted task",
       [] {
         return AddinQX_Task_Insert(QX_TEXT(""), QX_TEXT("b"), QX_TEXT("new"), 1.0, 0, QX_TEXT(""),
                                    0.0, 2.0);
       },
       QxString()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const QxChar* kept = row.answer();
    ASSERT_NE(kept, nullptr);
    const QxString copy = kept;
    if (!row.expected.empty()) EXPECT_EQ(copy, row.expected);
    AddinQX_GetCurrDate();
    EXPECT_NE(QxString(kept), copy);
  }

  // Handed straight to the next call, as the import does, the answer arrives intact.
  AddinQX_Task_AddToCategory(QX_TEXT("b"), AddinQX_Task_GetCategoryUID(QX_TEXT("a"), 0));
  AddinQX_Task_SetPriorityUID(QX_TEXT("b"), AddinQX_Task_GetPriorityUID(QX_TEXT("a")));
  const nlohmann::json b = Tasks()["children"][1];
  EXPECT_EQ(b["categories"], nlohmann::json{"work"});
  EXPECT_EQ(b["priority"], "high");

  // Child identifiers live as long as their task.
  const QxChar* child = AddinQX_Task_GetChildUID(QX_TEXT("root"), 0);
  AddinQX_Task_GetChildUID(QX_TEXT("root"), 1);
  AddinQX_Task_GetTitle(QX_TEXT("b"));
  AddinQX_Task_GetPriorityUID(QX_TEXT("a"));
  EXPECT_EQ(QxString(child), QX_TEXT("a"));
}

TEST_F(HostStubTest, InsertKeepsEverythingItWasGiven) {
  LoadTasks(R"({"children": [{"id": "p", "title": "parent"}]})");
  const QxChar* made = AddinQX_Task_Insert(QX_TEXT("r1"), QX_TEXT("p"), QX_TEXT("child"), 46000.5,
                                           7, QX_TEXT("r6"), 2.0, 2958465.0);
  ASSERT_NE(made, nullptr);
  const QxString id = made;
  const nlohmann::json child = Tasks()["children"][0]["children"][0];
  EXPECT_EQ(Wide(child["id"].get<std::string>()), id);
  EXPECT_EQ(child["title"], "child");
  EXPECT_EQ(child["dates"], nlohmann::json::parse(R"({"current": 46000.5, "min": 2.0, "max": 2958465.0})"));
  EXPECT_EQ(AddinQX_Task_Insert(QX_TEXT(""), QX_TEXT("no such parent"), QX_TEXT("x"), 0, 0,
                                QX_TEXT(""), 0, 0),
            nullptr);
  // The new id is fresh: a second insert gets another one.
  const QxString second = AddinQX_Task_Insert(QX_TEXT(""), QX_TEXT("p"), QX_TEXT("c2"), 0, 0,
                                              QX_TEXT(""), 0, 0);
  EXPECT_NE(second, id);
  EXPECT_EQ(AddinQX_Task_GetChildsCount(QX_TEXT("p")), 2);
}

TEST_F(HostStubTest, CallLogIsOneJsonObjectPerCallInOrder) {
  LoadTasks(R"({"children": [{"id": "t1", "title": "Plan \"A\""}]})");
  QxStub_SetDates(46000.5, 2.0, 2958465.0);
  QxStub_ClearCallLog();
  AddinQX_Task_GetChildUID(QX_TEXT("root"), 0);
  AddinQX_Task_GetChildUID(QX_TEXT("root"), 1);
  AddinQX_Task_GetTitle(QX_TEXT("t1"));
  AddinQX_Task_IsPresent(nullptr);
  AddinQX_GetCurrDate();
  AddinQX_Task_AddToCategory(QX_TEXT("t1"), nullptr);
  AddinQX_Task_Insert(QX_TEXT(""), QX_TEXT("t1"), QX_TEXT("Новая"), 46000.5, 0, QX_TEXT(""), 2.0,
                      2958465.0);
  AddinQX_ChangesEnd();
  AddinQX_ShowPopupCustom(QX_TEXT("<a/>"), 3000);
  EXPECT_EQ(LogText(),
            R"({"call":"AddinQX_Task_GetChildUID","args":["root",0],"result":"t1"})"
            "\n"
            R"({"call":"AddinQX_Task_GetChildUID","args":["root",1],"result":null})"
            "\n"
            R"({"call":"AddinQX_Task_GetTitle","args":["t1"],"result":"Plan \"A\""})"
            "\n"
            R"({"call":"AddinQX_Task_IsPresent","args":[null],"result":0})"
            "\n"
            R"({"call":"AddinQX_GetCurrDate","args":[],"result":46000.5})"
            "\n"
            R"({"call":"AddinQX_Task_AddToCategory","args":["t1",null]})"
            "\n"
            R"({"call":"AddinQX_Task_Insert","args":["","t1","Новая",46000.5,0,"",2.0,2958465.0],"result":"t2"})"
            "\n"
            R"({"call":"AddinQX_ChangesEnd","args":[]})"
            "\n"
            R"({"call":"AddinQX_ShowPopupCustom","args":["<a/>",3000]})"
            "\n");

  // Off, the log takes nothing; cleared, it is empty.
  QxStub_SetCallLog(0);
  AddinQX_GetMaxDate();
  QxStub_SetCallLog(1);
  AddinQX_GetMinDate();
  EXPECT_EQ(CallNames().back(), "AddinQX_GetMinDate");
  EXPECT_EQ(CallNames().size(), 10u);
  QxStub_ClearCallLog();
  EXPECT_EQ(LogText(), "");
}

}  // namespace
}  // namespace qxtest
