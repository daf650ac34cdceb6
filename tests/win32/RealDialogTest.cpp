// The export with the real save dialog of comdlg32, driven by cmake/real-dialog-test.sh: it
// runs this test under Xvfb, types a name without extension into the dialog and presses
// Enter. Skipped when not run that way.
#include "support/TestSupport.h"

#include <cstdlib>

namespace qxtest {
namespace {

class RealDialogTest : public HostTest {};

TEST_F(RealDialogTest, TypedNameWithoutExtensionIsSavedWithXmmapAdded) {
  const char* folder = std::getenv("QX_REAL_DIALOG_FOLDER");
  const char* typed = std::getenv("QX_REAL_DIALOG_NAME");
  if (folder == nullptr || typed == nullptr) GTEST_SKIP() << "needs cmake/real-dialog-test.sh";
  LoadTasks(R"({"title": "Root", "children": [{"title": "Задача"}]})");

  ExportModule().ExecuteMainCommand();

  const std::string saved = std::string(folder) + "\\" + typed + ".xmmap";
  EXPECT_EQ(PopupMessages(), std::vector<std::string>{"Successfully saved the data"});
  EXPECT_TRUE(FileExists(saved)) << saved;
  EXPECT_FALSE(FileExists(std::string(folder) + "\\" + typed));
}

}  // namespace
}  // namespace qxtest
