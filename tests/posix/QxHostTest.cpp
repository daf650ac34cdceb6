// qxhost, the command-line host, run as a user runs it.
#include <dlfcn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/posix/CommDlg.h"
#include "support/TestSupport.h"

namespace qxtest {
namespace {

struct Outcome {
  int status;  // exit status, or -1 when the program did not exit normally
  std::string out, err;
};

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class QxHostTest : public TempDirTest {
 protected:
  Outcome Run(const std::vector<std::string>& args) {
    std::string command = Quoted(QX_QXHOST);
    for (const std::string& arg : args) command += " " + Quoted(arg);
    const std::string out = PathOf("stdout.txt"), err = PathOf("stderr.txt");
    command += " </dev/null >" + Quoted(out) + " 2>" + Quoted(err);
    const int raw = std::system(command.c_str());
    Outcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadBytes(out).value_or("?"),
                    ReadBytes(err).value_or("?")};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return outcome;
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  const std::string exporter_ = QX_EXPORT_MODULE;
};

TEST_F(QxHostTest, CaptionsInTheChosenLanguage) {
  struct Case {
    std::vector<std::string> language;
    const char* captions;
  };
  const Case cases[] = {
      {{}, "Export all tasks to MindManager\nExport task branch to MindManager\n"},
      {{"--lang", "Russian"}, "Экспорт всех задач в MindManager\nЭкспорт ветки задач в MindManager\n"},
      {{"--lang", "russian"}, "Export all tasks to MindManager\nExport task branch to MindManager\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.language;
    args.insert(args.end(), {exporter_, "captions"});
    SCOPED_TRACE(args[0]);
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, c.captions);
  }
}

TEST_F(QxHostTest, ExportWritesTheMapAndPrintsThePopup) {
  const std::string map = PathOf("sample.xmmap");
  const Outcome outcome = Run({exporter_, "main", "--answer", map});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "popup: Successfully saved the data\n");
  const std::string bytes = ReadBytes(map).value_or("");
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n", 0), 0u) << bytes;
  EXPECT_NE(bytes.find("PlainText=\"Купить продукты\""), std::string::npos);
}

TEST_F(QxHostTest, NoAnswerMeansNoFileAndNoPopup) {
  std::filesystem::create_directory(PathOf("maps"));
  const std::vector<std::vector<std::string>> runs = {
      {exporter_, "main", "--cancel"},
      {exporter_, "task", "t1+0"},                      // no answer, and standard input is no terminal
      {exporter_, "main", "--answer", PathOf("maps")},  // a folder is refused
      {exporter_, "main", "--answer", PathOf("missing/map.xmmap")},
  };
  for (const auto& args : runs) {
    SCOPED_TRACE(args.back());
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(Files(), std::vector<std::string>{"maps"});
    EXPECT_TRUE(std::filesystem::is_empty(PathOf("maps")));
  }
}

TEST_F(QxHostTest, ExistingFileIsReplacedOnlyWithOverwrite) {
  const std::string map = PathOf("kept.xmmap");
  WriteBytes(map, "previous");
  Outcome outcome = Run({exporter_, "main", "--answer", map});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(outcome.err.find("already exists"), std::string::npos) << outcome.err;
  EXPECT_EQ(ReadBytes(map), "previous");

  outcome = Run({exporter_, "main", "--overwrite", "--answer", map});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "popup: Successfully saved the data\n");
  EXPECT_EQ(ReadBytes(map).value_or("").rfind("<?xml", 0), 0u);
}

TEST_F(QxHostTest, FailedSaveIsToldInTheLanguageSet) {
  struct Case {
    std::vector<std::string> language;
    const char* popup;
  };
  const Case cases[] = {
      {{}, "popup: Failed to save the data\n"},
      {{"--lang", "Russian"}, "popup: Не удалось сохранить данные\n"},
      {{"--lang", "russian"}, "popup: Failed to save the data\n"},
  };
  const std::string target = "/proc/qxhost-test.xmmap";
  for (const Case& c : cases) {
    std::vector<std::string> args = c.language;
    args.insert(args.end(), {exporter_, "main", "--answer", target});
    SCOPED_TRACE(args[0]);
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, c.popup);
    EXPECT_FALSE(FileExists(target));
  }
}

TEST_F(QxHostTest, LogHoldsEveryHostCallInOrderAsJsonLines) {
  WriteBytes(PathOf("abcd.json"), R"({"title": "Top", "children": [{"id": "A", "title": "A", "children": [
      {"id": "B", "title": "B", "children": [{"id": "C", "title": "C"}]}, {"id": "D", "title": "D"}]}]})");
  const std::string log = PathOf("calls.jsonl");
  const Outcome outcome = Run({"--tasks", PathOf("abcd.json"), "--log", log, exporter_, "task", "A+x",
                               "--answer", PathOf("abcd.xmmap")});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "popup: Successfully saved the data\n");
  std::istringstream lines(ReadBytes(log).value_or(""));
  std::vector<std::string> calls;
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
    ASSERT_TRUE(entry.is_object()) << line;
    std::string call = entry.value("call", "?");
    for (const auto& arg : entry.value("args", nlohmann::json::array())) {
      if (call == "AddinQX_ShowPopupCustom") break;
      call += " " + (arg.is_string() ? arg.get<std::string>() : arg.dump());
    }
    calls.push_back(call);
  }
  EXPECT_EQ(calls,
            (std::vector<std::string>{
                "AddinQX_Task_GetChildsCount A", "AddinQX_Task_GetChildUID A 0", "AddinQX_Task_IsPresent B",
                "AddinQX_Task_GetChildsCount B", "AddinQX_Task_GetChildUID B 0", "AddinQX_Task_IsPresent C",
                "AddinQX_Task_GetChildsCount C", "AddinQX_Task_GetTitle C", "AddinQX_Task_GetTitle B",
                "AddinQX_Task_GetChildUID A 1", "AddinQX_Task_IsPresent D", "AddinQX_Task_GetChildsCount D",
                "AddinQX_Task_GetTitle D", "AddinQX_Task_GetTitle A", "AddinQX_ShowPopupCustom"}));
}

TEST_F(QxHostTest, SavedTasksShowWhatTheImportAdded) {
  const std::string map = PathOf("sample.xmmap");
  ASSERT_EQ(Run({exporter_, "main", "--answer", map}).status, 0);
  const std::string tasks = PathOf("after.json");
  const Outcome outcome = Run({QX_IMPORT_MODULE, "task", "t8+0", "--answer", map, "--save-tasks", tasks});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const nlohmann::json tree = nlohmann::json::parse(ReadBytes(tasks).value_or(""), nullptr, false);
  ASSERT_TRUE(tree.is_object());
  const nlohmann::json* t8 = nullptr;
  for (const auto& child : tree["children"]) {
    if (child["id"] == "t8") t8 = &child;
  }
  ASSERT_NE(t8, nullptr);
  ASSERT_FALSE((*t8)["children"].empty());
  const nlohmann::json& imported = (*t8)["children"][0];
  EXPECT_EQ(imported["title"], "Plan the release");
  // New tasks take over the categories and priority of the task they are put under.
  EXPECT_EQ(imported["categories"], (*t8)["categories"]);
  EXPECT_EQ(imported["priority"], (*t8)["priority"]);
  EXPECT_FALSE((*t8)["categories"].empty());
}

std::string ComdlgLibrary() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&SetDialogResponder), &info) == 0 || info.dli_fname == nullptr)
    return {};
  return info.dli_fname;
}

TEST_F(QxHostTest, ErrorsEndWithOneLineAndNonZeroStatus) {
  WriteBytes(PathOf("not-a-module.qxdll"), "plain text");
  WriteBytes(PathOf("broken.json"), "{\"title\": \"x\", \"children\": [");
  WriteBytes(PathOf("wrong.json"), "{\"children\": {\"title\": 5}}");
  const std::string comdlg = ComdlgLibrary();
  ASSERT_FALSE(comdlg.empty());
  struct Case {
    const char* name;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"missing module", {PathOf("absent.qxdll"), "captions"}},
      {"not a module", {PathOf("not-a-module.qxdll"), "captions"}},
      {"library without the exports", {comdlg, "main"}},
      {"missing tasks file", {"--tasks", PathOf("absent.json"), exporter_, "captions"}},
      {"malformed tasks file", {"--tasks", PathOf("broken.json"), exporter_, "captions"}},
      {"tasks file of the wrong shape", {"--tasks", PathOf("wrong.json"), exporter_, "captions"}},
      {"unknown command", {exporter_, "frobnicate"}},
      {"task without argument", {exporter_, "task"}},
      {"option without value", {exporter_, "main", "--answer"}},
      {"unknown option", {"--colour", exporter_, "main"}},
      {"no command", {exporter_}},
      {"tasks file is a folder", {"--tasks", dir_, exporter_, "captions"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Run(c.args);
    EXPECT_GT(outcome.status, 0);
    EXPECT_EQ(outcome.out, "");
    ASSERT_FALSE(outcome.err.empty());
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
    EXPECT_EQ(outcome.err.rfind("qxhost: ", 0), 0u) << outcome.err;
  }
}

}  // namespace
}  // namespace qxtest
