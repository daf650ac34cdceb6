// The export where only a POSIX system can set the scene: a host thread with a small stack,
// and a folder in which no file can be created even by root.
#include <pthread.h>

#include "support/TestSupport.h"

namespace qxtest {
namespace {

class ExportPosixTest : public HostTest {};

// 1 MiB: the stack of the host's main thread on Windows.
constexpr size_t kHostStackSize = 1024 * 1024;

TEST_F(ExportPosixTest, TooDeepTreeFailsCleanlyOnAOneMebibyteStack) {
  QxStub_SetCallLog(0);
  const QxChar* parent = QX_TEXT("root");
  for (int i = 0; i < 100000; ++i) parent = QxStub_AddTask(parent, QX_TEXT("level"), 1);
  ExportModule().SetLanguage(QX_TEXT("Russian"));

  const std::string path = PathOf("deep.xmmap");
  dialog_.answers = {path};
  ExportModule().SetDialogScript(&dialog_);
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, kHostStackSize), 0);
  pthread_t thread;
  const int started = pthread_create(
      &thread, &attributes,
      [](void*) -> void* {
        ExportModule().ExecuteMainCommand();
        return nullptr;
      },
      nullptr);
  pthread_attr_destroy(&attributes);
  ASSERT_EQ(started, 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
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
