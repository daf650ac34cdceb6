// The import command against the stand-in host: the dialog, the change batch, the calls made
// per topic, which elements of a map become tasks, the nesting limit, and the round trip
// through both plug-ins.
#include "ImportTestSupport.h"

#include "mapdoc/MapFile.h"
#include "platform/FileDialog.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qxtest {
namespace {

using nlohmann::json;

const std::vector<std::string> kBatchOnly = {"AddinQX_ChangesStart", "AddinQX_ChangesEnd"};

std::string Fixture(const std::string& name) {
  const auto path = std::filesystem::path(QX_TEST_DATA_DIR) / name;
  const std::optional<std::string> bytes = ReadBytes(path.u8string());
  EXPECT_TRUE(bytes.has_value()) << "missing fixture " << path.u8string();
  return bytes.value_or("");
}

std::string Utf16(const std::string& utf8, bool bigEndian) {
  std::string bytes;
  for (const QxChar unit : Wide(utf8)) {
    const auto high = static_cast<char>(static_cast<unsigned>(unit) >> 8);
    const auto low = static_cast<char>(static_cast<unsigned>(unit) & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

class ImportTest : public HostTest {
 protected:
  /// Imports `map` (file bytes) with the main command, or under `task` with the task menu's.
  void Import(const std::string& map, const std::string& task = "") {
    const std::string path = PathOf("chosen.xmmap");
    WriteBytes(path, map);
    if (task.empty()) {
      RunMain(ImportModule(), path);
    } else {
      RunTask(ImportModule(), Wide(task + "+0+Task"), path);
    }
    ASSERT_EQ(dialog_.requests.size(), 1u);
  }

  static TreeListing Imported() { return ListingBelow(Tasks()); }
};

TEST_F(ImportTest, OpenDialogAsksForOneExistingMapFile) {
  LoadTasks(R"({"title": "Start", "children": [{"id": "T", "title": "Task"}]})");
  for (const bool fromTask : {false, true}) {
    SCOPED_TRACE(fromTask ? "task menu command" : "main command");
    if (fromTask) {
      RunTask(ImportModule(), QX_TEXT("T+0+Task"), std::nullopt);
    } else {
      RunMain(ImportModule(), std::nullopt);
    }
    ASSERT_EQ(dialog_.requests.size(), 1u);
    const DialogScript::Request& request = dialog_.requests[0];
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.structSize, sizeof(OPENFILENAMEW));
#if defined(_WIN32) && !defined(_WIN64)
    EXPECT_EQ(request.structSize, 88u);
#endif
    EXPECT_EQ(request.flags, 0x1804u);
    EXPECT_TRUE(request.ownerNull);
    // Two strings, then the empty one that ends the list.
    EXPECT_EQ(request.filter, (std::vector<std::string>{"xmmap", "*.xmmap"}));
    EXPECT_EQ(request.filterIndex, 1u);
    EXPECT_EQ(request.maxFile, 1024u);
    EXPECT_TRUE(request.fileBufferEmpty);
    EXPECT_TRUE(request.fileTitleNull);
    EXPECT_TRUE(request.initialDirNull);
    EXPECT_EQ(request.defaultExtension, "xmmap");
    // Cancelled: the host hears nothing.
    EXPECT_TRUE(CallLog().empty());
  }
}

TEST_F(ImportTest, NothingReachesTheHostWhenNoMapLoads) {
  const std::string full = Fixture("mm-full.xmmap");
  const std::string withoutBom = full.substr(3);
  struct Case {
    const char* name;
    std::optional<std::string> map;  // nothing: the dialog is cancelled
  };
  const Case cases[] = {
      {"cancelled", std::nullopt},
      {"empty file", std::string()},
      {"ap:Map end tag missing", withoutBom.substr(0, withoutBom.rfind("</ap:Map>"))},
      {"UTF-16 LE with byte-order mark", Utf16(full, false)},
      {"UTF-16 BE with byte-order mark", Utf16(full, true)},
      {"UTF-16 LE without byte-order mark", Utf16(withoutBom, false)},
      {"not XML", std::string("PK\x03\x04\x14\0\x06\0binary", 14)},
      {"no element, only a comment", "<?xml version=\"1.0\" ?>\n<!-- ap:Map -->\n"},
      {"one level deeper than allowed", NestedMap(kMaxElementDepth + 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QxStub_Reset();
    LoadTasks(R"({"title": "Start", "children": [{"title": "Existing"}]})");
    const json before = Tasks();
    if (c.map) {
      Import(*c.map);
    } else {
      RunMain(ImportModule(), std::nullopt);
    }
    EXPECT_EQ(CallNames(), std::vector<std::string>{});
    EXPECT_EQ(Tasks(), before);
  }
}

TEST_F(ImportTest, MapWithoutSubTopicsOpensAndClosesOneBatch) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n";
  const std::string map = "<ap:Map xmlns:ap=\"" + std::string(kApplicationNamespace) + "\">";
  struct Case {
    const char* name;
    std::string map;
  };
  const Case cases[] = {
      {"only a central topic",
       head + map + "<ap:OneTopic><ap:Topic><ap:Text PlainText=\"Central\"><ap:Font /></ap:Text></ap:Topic></ap:OneTopic></ap:Map>"},
      {"empty ap:SubTopics", head + map + "<ap:OneTopic><ap:Topic><ap:SubTopics /></ap:Topic></ap:OneTopic></ap:Map>"},
      {"ap:SubTopics without ap:Topic",
       head + map + "<ap:OneTopic><ap:Topic><ap:SubTopics><ap:Text PlainText=\"no\" /><!-- c --></ap:SubTopics>"
                    "</ap:Topic></ap:OneTopic></ap:Map>"},
      {"no ap:OneTopic", head + map + "<ap:Topic><ap:SubTopics><ap:Topic /></ap:SubTopics></ap:Topic></ap:Map>"},
      {"sub-topics beside the central topic",
       head + map + "<ap:OneTopic><ap:Topic /><ap:SubTopics><ap:Topic /></ap:SubTopics></ap:OneTopic></ap:Map>"},
      {"no ap:Map", head + "<Map><ap:OneTopic><ap:Topic><ap:SubTopics><ap:Topic /></ap:SubTopics></ap:Topic></ap:OneTopic></Map>"},
      {"another prefix", Fixture("import-other-prefix.xmmap")},
      {"default namespace, no prefix",
       head + "<Map xmlns=\"" + kApplicationNamespace + "\"><OneTopic><Topic><SubTopics><Topic>"
              "<Text PlainText=\"x\" /></Topic></SubTopics></Topic></OneTopic></Map>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QxStub_Reset();
    Import(c.map);
    EXPECT_EQ(CallNames(), kBatchOnly);
    EXPECT_TRUE(SameTree({}, Imported()));
  }
}

// Central topic A; B with B1 and B2; C. Laid out as the export writes it.
const char kAbcMap[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
    "<ap:Map xmlns:ap=\"http://schemas.mindjet.com/MindManager/Application/2003\">\n"
    "    <ap:OneTopic>\n"
    "        <ap:Topic>\n"
    "            <ap:SubTopics>\n"
    "                <ap:Topic>\n"
    "                    <ap:SubTopics>\n"
    "                        <ap:Topic>\n"
    "                            <ap:Text PlainText=\"B1\">\n"
    "                                <ap:Font />\n"
    "                            </ap:Text>\n"
    "                        </ap:Topic>\n"
    "                        <ap:Topic>\n"
    "                            <ap:Text PlainText=\"B2\">\n"
    "                                <ap:Font />\n"
    "                            </ap:Text>\n"
    "                        </ap:Topic>\n"
    "                    </ap:SubTopics>\n"
    "                    <ap:Text PlainText=\"B\">\n"
    "                        <ap:Font />\n"
    "                    </ap:Text>\n"
    "                </ap:Topic>\n"
    "                <ap:Topic>\n"
    "                    <ap:Text PlainText=\"C\">\n"
    "                        <ap:Font />\n"
    "                    </ap:Text>\n"
    "                </ap:Topic>\n"
    "            </ap:SubTopics>\n"
    "            <ap:Text PlainText=\"A\">\n"
    "                <ap:Font />\n"
    "            </ap:Text>\n"
    "        </ap:Topic>\n"
    "    </ap:OneTopic>\n"
    "</ap:Map>\n";

json Call(const char* name, json args) { return {{"call", name}, {"args", std::move(args)}}; }
json Call(const char* name, json args, json result) {
  return {{"call", name}, {"args", std::move(args)}, {"result", std::move(result)}};
}

::testing::AssertionResult SameCalls(const std::vector<json>& expected, const std::vector<json>& actual) {
  for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
    const json want = i < expected.size() ? expected[i] : json("(nothing)");
    const json got = i < actual.size() ? actual[i] : json("(nothing)");
    if (want != got) {
      return ::testing::AssertionFailure() << "call " << i + 1 << " of " << actual.size()
                                           << " differs\n  expected: " << want.dump()
                                           << "\n  got:      " << got.dump();
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(ImportTest, EachTopicMakesItsHostCallsInOrderBeforeItsSubTopics) {
  LoadTasks(R"({"title": "Start", "children": [{"id": "P", "title": "Parent",
      "categories": ["cat-home", "cat-urgent"], "priority": "prio-high"}]})");
  const double current = 46000.25, minimum = 40000.5, maximum = 50000.75;
  QxStub_SetDates(current, minimum, maximum);
  Import(kAbcMap, "P");

  const std::vector<json> log = CallLog();
  std::vector<std::string> newIds;
  for (const json& entry : log) {
    if (entry["call"] == "AddinQX_Task_Insert" && entry["result"].is_string()) {
      newIds.push_back(entry["result"].get<std::string>());
    }
  }
  ASSERT_EQ(newIds.size(), 4u);

  std::vector<json> expected = {Call("AddinQX_ChangesStart", json::array())};
  auto topic = [&](const std::string& title, const std::string& parent, const std::string& newId) {
    const std::vector<json> calls = {
        Call("AddinQX_GetMaxDate", json::array(), maximum),
        Call("AddinQX_GetMinDate", json::array(), minimum),
        Call("AddinQX_GetCurrDate", json::array(), current),
        Call("AddinQX_Task_Insert", {"", parent, title, current, 0, "", minimum, maximum}, newId),
        Call("AddinQX_Task_GetCategoriesCount", {parent}, 2),
        Call("AddinQX_Task_GetCategoryUID", {parent, 0}, "cat-home"),
        Call("AddinQX_Task_AddToCategory", {newId, "cat-home"}),
        Call("AddinQX_Task_GetCategoryUID", {parent, 1}, "cat-urgent"),
        Call("AddinQX_Task_AddToCategory", {newId, "cat-urgent"}),
        Call("AddinQX_Task_GetPriorityUID", {parent}, "prio-high"),
        Call("AddinQX_Task_SetPriorityUID", {newId, "prio-high"}),
    };
    expected.insert(expected.end(), calls.begin(), calls.end());
  };
  // B1 and B2 take their categories and priority from the task just made for B.
  topic("B", "P", newIds[0]);
  topic("B1", newIds[0], newIds[1]);
  topic("B2", newIds[0], newIds[2]);
  topic("C", "P", newIds[3]);
  expected.push_back(Call("AddinQX_ChangesEnd", json::array()));
  EXPECT_TRUE(SameCalls(expected, log));

  const json parent = Tasks()["children"][0];
  EXPECT_TRUE(SameTree({{0, "B"}, {1, "B1"}, {1, "B2"}, {0, "C"}}, ListingBelow(parent)));
  const json dates = {{"current", current}, {"min", minimum}, {"max", maximum}};
  for (const json* task : {&parent["children"][0], &parent["children"][0]["children"][1], &parent["children"][1]}) {
    SCOPED_TRACE((*task)["title"].get<std::string>());
    EXPECT_EQ((*task)["categories"], json({"cat-home", "cat-urgent"}));
    EXPECT_EQ((*task)["priority"], "prio-high");
    EXPECT_EQ((*task)["dates"], dates);
  }
}

TEST_F(ImportTest, RefusedInsertSkipsThatTopicsBranchAndGoesOn) {
  struct Case {
    const char* refusedTitle;
    TreeListing expected;
  };
  const Case cases[] = {
      {"B", {{0, "C"}}},
      {"B1", {{0, "B"}, {1, "B2"}, {0, "C"}}},
      {"C", {{0, "B"}, {1, "B1"}, {1, "B2"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusedTitle);
    LoadTasks(R"({"title": "Start", "children": [{"id": "P", "title": "Parent",
        "categories": ["cat"], "priority": "prio"}]})");
    QxStub_ClearCallLog();
    QxStub_FailInsertOfTitle(Wide(c.refusedTitle).c_str());
    Import(kAbcMap, "P");
    QxStub_FailInsertOfTitle(nullptr);

    EXPECT_TRUE(SameTree(c.expected, ListingBelow(Tasks()["children"][0])));
    // After the refused insert: the next topic's date queries, or the end of the batch.
    const std::vector<json> log = CallLog();
    size_t refused = 0;
    while (refused < log.size() && !(log[refused]["call"] == "AddinQX_Task_Insert" &&
                                     log[refused]["args"][2] == c.refusedTitle)) {
      ++refused;
    }
    ASSERT_LT(refused + 1, log.size());
    EXPECT_TRUE(log[refused]["result"].is_null());
    const std::string next = log[refused + 1]["call"];
    EXPECT_TRUE(next == "AddinQX_GetMaxDate" || next == "AddinQX_ChangesEnd") << next;
    EXPECT_EQ(log.front()["call"], "AddinQX_ChangesStart");
    EXPECT_EQ(log.back()["call"], "AddinQX_ChangesEnd");
  }
}

TEST_F(ImportTest, MapsAsMindManagerWritesThemGiveTheTopicsBelowTheCentralTopic) {
  struct Case {
    const char* fixture;
    const char* expected;  // one title a line, two spaces a level
  };
  const Case cases[] = {
      {"mm-full.xmmap",
       "'Milestones & dates'\n"
       "  'Kick-off meeting'\n"
       "  'Отчёт для заказчика'\n"
       "  'Launch 🚀'\n"
       "'Line one\\nLine two: П П'\n"
       "  'Second level'\n"
       "    'Third level'\n"
       "''\n"
       "''\n"
       "''\n"
       "  'Child of a topic without ap:Text'\n"
       "'Any element after the first topic is a topic'\n"
       "''\n"},
      // The declaration's encoding is ignored: the bytes are UTF-8.
      {"mm-windows-1251.xmmap",
       "'Задача первая'\n"
       "  'Подзадача «в кавычках»'\n"
       "'Вторая задача'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    const std::optional<TreeListing> expected = ParseListing(c.expected);
    ASSERT_TRUE(expected.has_value());
    const std::string map = Fixture(c.fixture);
    for (const bool underTask : {false, true}) {
      LoadTasks(R"({"title": "Start", "children": [{"id": "T", "title": "Task"}]})");
      QxStub_ClearCallLog();
      Import(map, underTask ? "T" : "");
      const json tasks = Tasks();
      if (underTask) {
        EXPECT_TRUE(SameTree(*expected, ListingBelow(tasks["children"][0])));
      } else {
        TreeListing all = ListingBelow(tasks);
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.front(), (TreeLine{0, "Task"}));
        all.erase(all.begin());
        EXPECT_TRUE(SameTree(*expected, all));
      }
      const std::vector<std::string> names = CallNames();
      EXPECT_EQ(std::count(names.begin(), names.end(), "AddinQX_ChangesStart"), 1);
      EXPECT_EQ(names.front(), "AddinQX_ChangesStart");
      EXPECT_EQ(names.back(), "AddinQX_ChangesEnd");
    }
  }
}

TEST_F(ImportTest, NestingUpToTheLimitImportsAndDeeperImportsNothing) {
  struct Case {
    const char* name;
    int depth;
    bool imported;
  };
  const Case cases[] = {
      {"at the limit", kMaxElementDepth, true},
      {"one level over", kMaxElementDepth + 1, false},
      {"ten levels over", kMaxElementDepth + 10, false},
      {"100,000 levels", 100000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QxStub_Reset();
    int topics = 0;
    Import(NestedMap(c.depth, &topics));
    if (c.imported) {
      EXPECT_TRUE(SameTree(NestedListing(topics), Imported()));
      EXPECT_EQ(CallNames().back(), "AddinQX_ChangesEnd");
    } else {
      EXPECT_EQ(CallNames(), std::vector<std::string>{});
    }
  }
}

TEST_F(ImportTest, HundredThousandTopicsImportCompletely) {
  // Ten sub-topics a topic, five levels deep, filled depth-first until 100,000 are written.
  constexpr int kTopics = 100000;
  std::string map = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<ap:Map xmlns:ap=\"" +
                    std::string(kApplicationNamespace) + "\">\n<ap:OneTopic>\n<ap:Topic>\n";
  TreeListing expected;
  std::vector<int> open;  // children written so far, per open level
  map += "<ap:SubTopics>\n";
  open.push_back(0);
  while (!open.empty()) {
    if (static_cast<int>(expected.size()) == kTopics || open.back() == 10) {
      open.pop_back();
      map += "</ap:SubTopics>\n";
      if (!open.empty()) map += "</ap:Topic>\n";
      continue;
    }
    ++open.back();
    const std::string title = "Topic " + std::to_string(expected.size()) + " \xD0\xB7\xD0\xB0\xD0\xB4\xD0\xB0\xD1\x87\xD0\xB0";
    expected.push_back({static_cast<int>(open.size()) - 1, title});
    map += "<ap:Topic>\n<ap:Text PlainText=\"" + title + "\"><ap:Font /></ap:Text>\n";
    if (open.size() < 5) {
      map += "<ap:SubTopics>\n";
      open.push_back(0);
    } else {
      map += "</ap:Topic>\n";
    }
  }
  map += "</ap:Topic>\n</ap:OneTopic>\n</ap:Map>\n";
  ASSERT_EQ(expected.size(), static_cast<size_t>(kTopics));

  QxStub_SetCallLog(0);
  Import(map);
  QxStub_SetCallLog(1);
  EXPECT_TRUE(SameTree(expected, Imported()));
}

TEST_F(ImportTest, ExportThenImportGivesBackTitlesAndNesting) {
  struct Case {
    const char* name;
    json children;         // of the exported start task
    const char* expected;  // what comes back, one title a line
  };
  auto titled = [](const std::string& title) {
    // At the top and one level down, then a sibling after it.
    return json::array({{{"title", title}, {"children", {{{"title", title}}}}}, {{"title", "after"}}});
  };
  const Case cases[] = {
      {"spaces around and inside", titled("  two  spaces  "), "'  two  spaces  '\n  '  two  spaces  '\n'after'"},
      {"only spaces", titled("   "), "'   '\n  '   '\n'after'"},
      {"CR LF", titled("first\r\nsecond"), "'first\\r\\nsecond'\n  'first\\r\\nsecond'\n'after'"},
      {"tabs", titled("\tone\ttwo\t"), "'\\tone\\ttwo\\t'\n  '\\tone\\ttwo\\t'\n'after'"},
      {"Cyrillic", titled("Задача с кириллицей"), "'Задача с кириллицей'\n  'Задача с кириллицей'\n'after'"},
      {"emoji", titled("Rocket 🚀 👍🏽"), "'Rocket 🚀 👍🏽'\n  'Rocket 🚀 👍🏽'\n'after'"},
      {"markup characters", titled("<b>x</b> & \"q\" 'a' >"),
       "'<b>x</b> & \"q\" \\'a\\' >'\n  '<b>x</b> & \"q\" \\'a\\' >'\n'after'"},
      {"apostrophe without quotation mark", titled("it's"), "'it\\'s'\n  'it\\'s'\n'after'"},
      {"hexadecimal reference literally", titled("&#x41F;"), "'&#x41F;'\n  '&#x41F;'\n'after'"},
      {"decimal reference literally", titled("&#1055;"), "'&#1055;'\n  '&#1055;'\n'after'"},
      {"named entity literally", titled("&nbsp;&amp;"), "'&nbsp;&amp;'\n  '&nbsp;&amp;'\n'after'"},
      {"empty", titled(""), "''\n  ''\n'after'"},
      {"absent task",
       json::parse(R"([{"title": "kept"}, {"title": "gone", "present": false,
                        "children": [{"title": "below the absent task"}]}, {"title": "last"}])"),
       "'kept'\n''\n'last'"},
      {"nesting",
       json::parse(R"([{"title": "1", "children": [{"title": "1.1", "children": [{"title": "1.1.1",
                        "children": [{"title": "1.1.1.1"}]}]}, {"title": "1.2"}]}, {"title": "2"}])"),
       "'1'\n  '1.1'\n    '1.1.1'\n      '1.1.1.1'\n  '1.2'\n'2'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<TreeListing> expected = ParseListing(c.expected);
    ASSERT_TRUE(expected.has_value());
    QxStub_Reset();
    LoadTasks(json({{"title", "Start"}, {"children", c.children}}).dump());
    const std::string map = PathOf("round-trip.xmmap");
    dialog_.confirmOverwrite = true;
    RunMain(ExportModule(), map);
    ASSERT_EQ(PopupMessages(), std::vector<std::string>{"Successfully saved the data"});

    QxStub_Reset();
    RunMain(ImportModule(), map);
    EXPECT_TRUE(SameTree(*expected, Imported()));
  }
}

}  // namespace
}  // namespace qxtest
