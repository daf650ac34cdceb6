#include "support/TestSupport.h"

namespace qxtest {
namespace {

class RoundTripTest : public HostTest {};

TEST_F(RoundTripTest, ExportThenImportGivesTheSameTitlesAndNesting) {
  LoadTasks(R"({"title": "Start", "children": [
      {"title": "A & <b>", "children": [{"title": "Вложенная\r\nзадача\t!"}]},
      {"title": "  spaced  out  "}, {"title": "&#x41F; stays literal"}]})");
  const std::string map = PathOf("tree.xmmap");
  RunMain(ExportModule(), map);
  ASSERT_EQ(PopupMessages(), std::vector<std::string>{"Successfully saved the data"});

  QxStub_Reset();
  RunMain(ImportModule(), map);
  const nlohmann::json tree = Tasks();
  ASSERT_EQ(tree["children"].size(), 3u);
  EXPECT_EQ(tree["children"][0]["title"], "A & <b>");
  EXPECT_EQ(tree["children"][0]["children"][0]["title"], "Вложенная\r\nзадача\t!");
  EXPECT_EQ(tree["children"][1]["title"], "  spaced  out  ");
  EXPECT_EQ(tree["children"][2]["title"], "&#x41F; stays literal");
}

}  // namespace
}  // namespace qxtest
