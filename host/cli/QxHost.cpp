// qxhost: plays the host for a plug-in module on the command line. It loads the module,
// resolves its five entry points and runs one of them against the stand-in host library,
// answering the file dialog from its options or on the terminal.
#include "host/stub/HostControl.h"
#include "platform/Platform.h"
#include "platform/posix/CommDlg.h"

#include <dlfcn.h>
#include <elf.h>
#include <unistd.h>
#include <tinyxml.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: qxhost [options] PLUGIN COMMAND\n"
    "  PLUGIN             path of a .qxdll module\n"
    "  COMMAND            captions | main | task ARGUMENT\n"
    "  --lang NAME        call SetLanguage(NAME) before the command\n"
    "  --tasks FILE       load the host's task tree from FILE (JSON); without it, a built-in sample\n"
    "  --save-tasks FILE  after the command, write the host's task tree to FILE as JSON\n"
    "  --answer PATH      answer the file dialog with PATH, as a user would type it\n"
    "  --overwrite        confirm replacing an existing file (without it, replacing is declined)\n"
    "  --cancel           cancel the file dialog\n"
    "  --log FILE         write the host-call log (JSON Lines) to FILE\n";

// Nesting, categories, priorities, Cyrillic and markup characters, and one absent task.
const char kSampleTasks[] = R"({
  "title": "All tasks",
  "categories": ["inbox"],
  "priority": "normal",
  "children": [
    {"id": "t1", "title": "Plan the release", "categories": ["work"], "priority": "high", "children": [
      {"id": "t2", "title": "Write notes: <draft> & \"final\"", "categories": ["work", "docs"]},
      {"id": "t3", "title": "Check 'beta' build", "priority": "low", "children": [
        {"id": "t4", "title": "Run tests\tagain"}
      ]},
      {"id": "t5", "title": "Old idea", "present": false}
    ]},
    {"id": "t6", "title": "Купить продукты", "categories": ["home"], "children": [
      {"id": "t7", "title": "Молоко и хлеб"}
    ]},
    {"id": "t8", "title": "Import here", "categories": ["inbox", "home"], "priority": "low"}
  ]
})";

using TextFunction = const QxChar* (*)();
using SetFunction = void (*)(const QxChar*);
using RunFunction = void (*)();

struct Options {
  std::optional<std::string> language, tasks, saveTasks, answer, log;
  bool overwrite = false;
  bool cancel = false;
  std::string plugin, command, argument;
};

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "qxhost: " << message << '\n';
  std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Fail(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--lang") {
      options.language = value();
    } else if (arg == "--tasks") {
      options.tasks = value();
    } else if (arg == "--save-tasks") {
      options.saveTasks = value();
    } else if (arg == "--answer") {
      options.answer = value();
    } else if (arg == "--log") {
      options.log = value();
    } else if (arg == "--overwrite") {
      options.overwrite = true;
    } else if (arg == "--cancel") {
      options.cancel = true;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(0);
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
      Fail("unknown option " + arg + " (qxhost --help lists them)");
    } else {
      if (arg == "--" && i + 1 < argc) {
        for (++i; i < argc; ++i) positional.emplace_back(argv[i]);
        break;
      }
      positional.push_back(arg);
    }
  }
  if (positional.size() < 2) Fail("PLUGIN and COMMAND are needed (qxhost --help shows the usage)");
  options.plugin = positional[0];
  options.command = positional[1];
  if (options.command == "task") {
    if (positional.size() != 3) Fail("task needs exactly one ARGUMENT");
    options.argument = positional[2];
  } else if (options.command == "captions" || options.command == "main") {
    if (positional.size() != 2) Fail("unexpected argument after " + options.command);
  } else {
    Fail("unknown command '" + options.command + "' (captions, main or task ARGUMENT)");
  }
  if (options.answer && options.cancel) Fail("--answer and --cancel exclude each other");
  return options;
}

bool ReadFile(const std::string& path, std::string& content) {
  // A folder opens like a file here and then reads as empty: refuse it by name.
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    errno = EISDIR;
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  content = buffer.str();
  return !in.bad();
}

bool WriteFile(const std::string& path, const char* content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << (content != nullptr ? content : "");
  out.close();
  return !out.fail();
}

class CommandLineResponder : public DialogResponder {
 public:
  explicit CommandLineResponder(const Options& options) : options_(options) {}

  std::optional<std::string> Ask(const OPENFILENAMEW&, bool save) override {
    if (options_.cancel) return std::nullopt;
    if (options_.answer) {
      // A typed answer is used once; after a refusal the user has nothing more to say.
      if (answered_) return std::nullopt;
      answered_ = true;
      return options_.answer;
    }
    if (!Interactive()) return std::nullopt;
    std::cerr << (save ? "Save map as" : "Open map") << " (empty line cancels): " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line) || line.empty()) return std::nullopt;
    return line;
  }

  bool ConfirmOverwrite(const std::string& path) override {
    if (options_.overwrite) return true;
    if (options_.answer || !Interactive()) {
      std::cerr << "qxhost: " << path << " already exists; not replaced (use --overwrite)\n";
      return false;
    }
    std::cerr << path << " already exists. Do you want to replace it? [y/N] " << std::flush;
    std::string line;
    return std::getline(std::cin, line) && (line == "y" || line == "Y" || line == "yes");
  }

  void Refuse(const std::string& message) override { std::cerr << "qxhost: " << message << '\n'; }

 private:
  static bool Interactive() { return ::isatty(STDIN_FILENO) != 0; }
  const Options& options_;
  bool answered_ = false;
};

// dlopen maps a module's segments as its headers describe them; a file cut short gets
// SIGBUS when the loader touches the missing part. Refuse what the file cannot hold.
bool SegmentsFitInFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  Elf64_Ehdr header{};
  if (!in.read(reinterpret_cast<char*>(&header), sizeof header)) return true;  // dlopen says why
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) {
    return true;
  }
  in.seekg(0, std::ios::end);
  const auto size = static_cast<unsigned long long>(in.tellg());
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment{};
    in.clear();
    in.seekg(static_cast<std::streamoff>(header.e_phoff + i * static_cast<unsigned long long>(header.e_phentsize)));
    if (!in.read(reinterpret_cast<char*>(&segment), sizeof segment)) return false;
    if (segment.p_type == PT_LOAD && segment.p_offset + segment.p_filesz > size) return false;
  }
  return true;
}

std::string PopupMessage(const QxChar* markup) {
  TiXmlDocument document;
  document.Parse(ToUtf8(markup).c_str(), nullptr, TIXML_ENCODING_UTF8);
  const TiXmlElement* border = document.RootElement();
  const TiXmlElement* panel = border != nullptr ? border->FirstChildElement("StackPanel") : nullptr;
  const TiXmlElement* block = panel != nullptr ? panel->FirstChildElement("TextBlock") : nullptr;
  if (document.Error() || block == nullptr) return "(unreadable popup markup)";
  const char* text = block->GetText();
  return text != nullptr ? text : "";
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);

  std::string tasks = kSampleTasks;
  if (options.tasks && !ReadFile(*options.tasks, tasks)) {
    Fail(*options.tasks + ": cannot read the tasks file: " + std::strerror(errno));
  }
  char error[512] = {};
  if (!QxStub_LoadTasksJson(tasks.c_str(), error, sizeof error)) {
    Fail((options.tasks ? *options.tasks : std::string("built-in sample")) + ": " + error);
  }

  if (!SegmentsFitInFile(options.plugin)) Fail("cannot load " + options.plugin + ": the file is cut short");
  void* module = ::dlopen(options.plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) Fail("cannot load " + options.plugin + ": " + ::dlerror());
  auto resolve = [&](const char* name) {
    void* symbol = ::dlsym(module, name);
    if (symbol == nullptr) Fail(options.plugin + " is not a plug-in: it lacks " + name);
    return symbol;
  };
  auto getMainCommandName = reinterpret_cast<TextFunction>(resolve("GetMainCommandName"));
  auto getTaskMenuCommandName = reinterpret_cast<TextFunction>(resolve("GetTaskMenuCommandName"));
  auto setLanguage = reinterpret_cast<SetFunction>(resolve("SetLanguage"));
  auto executeMainCommand = reinterpret_cast<RunFunction>(resolve("ExecuteMainCommand"));
  auto taskMenuCommandExecute = reinterpret_cast<SetFunction>(resolve("TaskMenuCommandExecute"));

  CommandLineResponder responder(options);
  SetDialogResponder(&responder);

  if (options.language) setLanguage(FromUtf8(*options.language).c_str());
  if (options.command == "captions") {
    std::cout << ToUtf8(getMainCommandName()) << '\n' << ToUtf8(getTaskMenuCommandName()) << '\n';
  } else if (options.command == "main") {
    executeMainCommand();
  } else {
    taskMenuCommandExecute(FromUtf8(options.argument).c_str());
  }
  SetDialogResponder(nullptr);

  for (int i = 0; i < QxStub_PopupCount(); ++i) {
    std::cout << "popup: " << PopupMessage(QxStub_Popup(i)) << '\n';
  }
  int status = 0;
  auto save = [&](const std::optional<std::string>& path, char* content, const char* what) {
    if (!path) return;
    if (content == nullptr || !WriteFile(*path, content)) {
      std::cerr << "qxhost: cannot write the " << what << " to " << *path << '\n';
      status = 2;
    }
    QxStub_Free(content);
  };
  save(options.saveTasks, options.saveTasks ? QxStub_TasksJson() : nullptr, "task tree");
  save(options.log, options.log ? QxStub_CallLogJsonLines() : nullptr, "call log");
  std::cout.flush();
  return status;
}
