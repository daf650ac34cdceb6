// What many tests need: UTF-16 helpers, a fresh temporary folder, the stand-in host's state
// as JSON, and a plug-in module loaded as the host loads it, with a scripted file dialog.
#ifndef QX_TESTS_SUPPORT_TESTSUPPORT_H
#define QX_TESTS_SUPPORT_TESTSUPPORT_H

#include "host/stub/HostControl.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qxtest {

std::string Utf8(const QxString& text);
QxString Wide(const std::string& utf8);

/// The bytes of a file, or nothing when it cannot be read.
std::optional<std::string> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

/// A fresh folder per test, removed afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  /// `name` inside the folder (UTF-8).
  std::string PathOf(const std::string& name) const;
  std::string dir_;
};

/// The stand-in host: a tree from JSON (asserts that it loads), its tree and call log back.
void LoadTasks(const std::string& json);
nlohmann::json Tasks();
std::vector<nlohmann::json> CallLog();
/// Only the "call" names of the log, in order.
std::vector<std::string> CallNames();
/// The message of each popup, read from the markup's TextBlock.
std::vector<std::string> PopupMessages();

/// What the scripted dialog saw and does. Each call of the dialog takes the next answer
/// (UTF-8 path as typed; nullopt cancels); with no answers left it cancels.
struct DialogScript {
  std::vector<std::optional<std::string>> answers;
  bool confirmOverwrite = false;
  // Seen, per dialog call:
  struct Request {
    bool save;
    unsigned structSize, flags, filterIndex, maxFile;
    bool ownerNull, fileBufferEmpty, fileTitleNull, initialDirNull;
    std::vector<std::string> filter;  // the filter list's strings, in order
    std::string defaultExtension;
  };
  std::vector<Request> requests;
  std::vector<std::string> refusals;  // only the stand-in dialog refuses
};

/// A plug-in module as the host loads it, with its five entry points. While `script` is
/// set, the module's file dialogs are answered by it (on Windows the module's imports of
/// the dialog functions are redirected; elsewhere the stand-in dialog asks it).
class PluginModule {
 public:
  explicit PluginModule(const std::string& path);
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  bool Loaded() const;
  const QxChar* MainCommandName() const;
  const QxChar* TaskMenuCommandName() const;
  void SetLanguage(const QxChar* language) const;
  void ExecuteMainCommand() const;
  void TaskMenuCommandExecute(const QxChar* argument) const;

  void SetDialogScript(DialogScript* script);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

/// The export and import modules of this build, loaded once per test program.
PluginModule& ExportModule();
PluginModule& ImportModule();

/// Resets the stand-in host before each test.
class HostTest : public TempDirTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  DialogScript dialog_;
  /// Runs a command of `module` with the dialog answering `answer` (nullopt: cancel).
  void RunMain(PluginModule& module, std::optional<std::string> answer);
  void RunTask(PluginModule& module, const QxString& argument, std::optional<std::string> answer);
};

/// Records the request in `script` and returns its next answer; shared by both dialogs.
std::optional<std::string> NextAnswer(DialogScript& script, const DialogScript::Request& request);

}  // namespace qxtest

#endif
