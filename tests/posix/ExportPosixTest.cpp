// The export where only a POSIX system can set the scene: a host thread with a small stack,
// and a folder in which no file can be created even by root.
#include "support/TestSupport.h"
#include "support/posix/HostStack.h"

namespace qxtest {
namespace {

class ExportPosixTest : public HostTest {};

TEST_F(ExportPosixTest, TooDeepTreeFailsCleanlyOnAOneMebibyteStack) {
  QxStub_SetCallLog(0);
  const QxChar* parent = QX_TEXT("root");
  for (int i = 0; i < 100000; ++i) parent = QxStub_AddTask(parent, QX_TEXT("level"), 1);
  ExportModule().SetLanguage(QX_TEXT("Russian"));

  const std::string path = PathOf("deep.xmmap");
  dialog_.answers = {path};
  ExportModule().SetDialogScript(&dialog_);
  ASSERT_TRUE(RunOnHostStack([] { ExportModule().ExecuteMainCommand(); }));
  ExportModule().SetDialogScript(nullptr);

  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(PopupMessages(), std::vector<std::string>{"Не удалось сохранить данные"});
}

TEST_F(ExportPosixTest, SaveThatCannotCreateTheFileShowsTheFailure) {
  struct Case {
    const char* language;
    const char* message;
  };
  const Case cases[] = {
      {"", "Failed to save the data"},
      {"Russian", "Не удалось сохранить данные"},
  };
  const std::string target = "/proc/qx-export-test.xmmap";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    QxStub_Reset();
    LoadTasks(R"({"title": "Top", "children": [{"title": "One"}]})");
    ExportModule().SetLanguage(Wide(c.language).c_str());
    RunMain(ExportModule(), target);
    ASSERT_EQ(dialog_.refusals, std::vector<std::string>{});
    EXPECT_FALSE(FileExists(target));
    EXPECT_EQ(PopupMessages(), std::vector<std::string>{c.message});
  }
}

}  // namespace
}  // namespace qxtest
