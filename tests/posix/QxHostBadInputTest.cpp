// qxhost given files it cannot use: it must end with one line on standard error and a
// non-zero status, never a crash or a hang, however large or broken the file is.
#include "support/TestSupport.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

namespace qxtest {
namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Repeat(const std::string& part, int times) {
  std::string out;
  out.reserve(part.size() * static_cast<size_t>(times));
  for (int i = 0; i < times; ++i) out += part;
  return out;
}

constexpr int kDeep = 200000;

class QxHostBadInputTest : public TempDirTest {
 protected:
  struct Outcome {
    int status;  // exit status; 124 when it hung, 128 + N when signal N ended it
    std::string out, err;
  };

  Outcome Run(const std::vector<std::string>& args) {
    std::string command = "timeout -s KILL 60 " + Quoted(QX_QXHOST);
    for (const std::string& arg : args) command += " " + Quoted(arg);
    const std::string out = PathOf("stdout.txt"), err = PathOf("stderr.txt");
    command += " </dev/null >" + Quoted(out) + " 2>" + Quoted(err);
    const int raw = std::system(command.c_str());
    Outcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), ReadBytes(out).value_or("?"),
                    ReadBytes(err).value_or("?")};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return outcome;
  }

  void ExpectOneLineFailure(const Outcome& outcome) {
    EXPECT_NE(outcome.status, 124) << "hung";
    EXPECT_LT(outcome.status, 124) << "ended by a signal";
    EXPECT_GT(outcome.status, 0);
    EXPECT_EQ(outcome.out, "");
    ASSERT_FALSE(outcome.err.empty());
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err.substr(0, 2000);
    EXPECT_EQ(outcome.err.rfind("qxhost: ", 0), 0u) << outcome.err.substr(0, 2000);
  }

  const std::string exporter_ = QX_EXPORT_MODULE;
};

TEST_F(QxHostBadInputTest, UnusableTasksFileIsOneLineAndFailure) {
  const std::string deepArrays = "{\"children\": " + Repeat("[", kDeep) + Repeat("]", kDeep) + "}";
  const std::string deepTasks = Repeat("{\"title\": \"x\", \"children\": [", kDeep);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", ""},
      {"only white space", " \r\n\t "},
      {"truncated inside a title", "{\"title\": \"All\", \"children\": [{\"title\": \"Pla"},
      {"truncated after an escape", "{\"title\": \"\\u04"},
      {"invalid UTF-8 in a title", "{\"title\": \"\xff\xfe\", \"children\": []}"},
      {"UTF-8 of a surrogate in a title", "{\"title\": \"\xed\xa0\x80\", \"children\": []}"},
      {"UTF-16 with byte-order mark", std::string("\xff\xfe{\0}\0", 6)},
      {"NUL inside the document", std::string("{\"title\": \"a\0\"}", 15)},
      {"binary garbage", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\x80\x90", 12)},
      {"200,000 nested arrays", deepArrays},
      {"200,000 nested tasks, cut off", deepTasks},
      {"title of the wrong type at depth 200,000", deepTasks + "{\"title\": 7}" + Repeat("]}", kDeep)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(PathOf("tasks.json"), c.bytes);
    ExpectOneLineFailure(Run({"--tasks", PathOf("tasks.json"), exporter_, "captions"}));
  }
}

TEST_F(QxHostBadInputTest, TasksFileNestedTwoHundredThousandDeepLoads) {
  // Deep but well-formed: loading, copying and freeing the tree must not recurse per level.
  const std::string deepTasks =
      Repeat("{\"title\": \"x\", \"children\": [", kDeep) + "{\"title\": \"leaf\"}" + Repeat("]}", kDeep);
  WriteBytes(PathOf("deep.json"), "{\"children\": [" + deepTasks + "]}");
  const Outcome outcome = Run({"--tasks", PathOf("deep.json"), "--save-tasks", PathOf("saved.json"),
                               exporter_, "captions"});
  EXPECT_EQ(outcome.status, 0) << outcome.err.substr(0, 2000);
  const std::string saved = ReadBytes(PathOf("saved.json")).value_or("");
  EXPECT_NE(saved.find("\"title\":\"leaf\""), std::string::npos);
}

TEST_F(QxHostBadInputTest, UnusableModuleIsOneLineAndFailure) {
  WriteBytes(PathOf("empty.qxdll"), "");
  std::filesystem::create_directory(PathOf("folder.qxdll"));
  // A real module cut short: the loader would map segments that the file does not hold.
  const std::optional<std::string> module = ReadBytes(QX_EXPORT_MODULE);
  ASSERT_TRUE(module.has_value());
  WriteBytes(PathOf("truncated.qxdll"), module->substr(0, 4096));
  for (const char* name : {"empty.qxdll", "folder.qxdll", "truncated.qxdll"}) {
    SCOPED_TRACE(name);
    ExpectOneLineFailure(Run({PathOf(name), "main"}));
  }
}

}  // namespace
}  // namespace qxtest
