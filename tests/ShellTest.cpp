// The shell as the host meets it: captions and language through the loaded modules, and the
// task identifier that each command export hands to the module's command body.
#include "shell/Plugin.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <functional>
#include <vector>

namespace qxtest {
namespace {

std::string Text(const QxChar* text) { return text != nullptr ? Utf8(text) : "(null)"; }

struct ModuleCaptions {
  const char* name;
  PluginModule& (*module)();
  std::string mainEnglish, mainRussian, taskEnglish, taskRussian;
};

const std::vector<ModuleCaptions>& AllCaptions() {
  static const std::vector<ModuleCaptions> captions = {
      {"export", ExportModule, "Export all tasks to MindManager",
       "Экспорт всех задач в MindManager", "Export task branch to MindManager",
       "Экспорт ветки задач в MindManager"},
      {"import", ImportModule, "Import tasks from MindManager", "Импорт задач из MindManager",
       "Import intel-card to this task", "Импортировать интеллект-карту к данной задаче"},
  };
  return captions;
}

::testing::AssertionResult HasCaptions(const PluginModule& module, const ModuleCaptions& expected,
                                       bool russian) {
  const std::string main = Text(module.MainCommandName());
  const std::string task = Text(module.TaskMenuCommandName());
  const std::string& wantMain = russian ? expected.mainRussian : expected.mainEnglish;
  const std::string& wantTask = russian ? expected.taskRussian : expected.taskEnglish;
  if (main == wantMain && task == wantTask) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << expected.name << " shows \"" << main << "\" / \"" << task
                                       << "\", expected \"" << wantMain << "\" / \"" << wantTask << "\"";
}

class LanguageTest : public HostTest {};

TEST_F(LanguageTest, OnlyExactlyRussianGivesRussianCaptions) {
  struct Row {
    const char* name;
    const QxChar* language;
    bool russian;
  };
  const Row rows[] = {
      {"exact", QX_TEXT("Russian"), true},
      {"lower case", QX_TEXT("russian"), false},
      {"upper case", QX_TEXT("RUSSIAN"), false},
      {"trailing blank", QX_TEXT("Russian "), false},
      {"leading blank", QX_TEXT(" Russian"), false},
      {"further text", QX_TEXT("RussianX"), false},
      {"prefix only", QX_TEXT("Russia"), false},
      {"in Russian", QX_TEXT("Русский"), false},
      {"English", QX_TEXT("English"), false},
      {"empty", QX_TEXT(""), false},
  };
  for (const ModuleCaptions& captions : AllCaptions()) {
    PluginModule& module = captions.module();
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(captions.name) + ", " + row.name);
      // Russian first, so that an English row shows the switch back.
      module.SetLanguage(QX_TEXT("Russian"));
      ASSERT_TRUE(HasCaptions(module, captions, true));
      module.SetLanguage(row.language);
      EXPECT_TRUE(HasCaptions(module, captions, row.russian));
    }
  }
}

TEST_F(LanguageTest, LanguageIsCopiedNotKept) {
  for (const ModuleCaptions& captions : AllCaptions()) {
    SCOPED_TRACE(captions.name);
    PluginModule& module = captions.module();
    {
      QxString hostText = QX_TEXT("Russian");
      module.SetLanguage(hostText.c_str());
      // The host reuses its buffer, then frees it.
      hostText.replace(0, hostText.size(), QX_TEXT("English"));
    }
    EXPECT_TRUE(HasCaptions(module, captions, true));

    auto hostText = std::make_unique<QxChar[]>(8);
    QxString(QX_TEXT("Spanish")).copy(hostText.get(), 7);
    module.SetLanguage(hostText.get());
    QxString(QX_TEXT("Russian")).copy(hostText.get(), 7);
    EXPECT_TRUE(HasCaptions(module, captions, false));
    hostText.reset();
    EXPECT_TRUE(HasCaptions(module, captions, false));
  }
}

TEST_F(LanguageTest, CaptionPointersStayValidAcrossLanguageChanges) {
  for (const ModuleCaptions& captions : AllCaptions()) {
    SCOPED_TRACE(captions.name);
    PluginModule& module = captions.module();
    const QxChar* mainEnglish = module.MainCommandName();
    const QxChar* taskEnglish = module.TaskMenuCommandName();
    module.SetLanguage(QX_TEXT("Russian"));
    const QxChar* mainRussian = module.MainCommandName();
    const QxChar* taskRussian = module.TaskMenuCommandName();
    module.SetLanguage(QX_TEXT("English"));

    EXPECT_EQ(Text(mainEnglish), captions.mainEnglish);
    EXPECT_EQ(Text(taskEnglish), captions.taskEnglish);
    EXPECT_EQ(Text(mainRussian), captions.mainRussian);
    EXPECT_EQ(Text(taskRussian), captions.taskRussian);
    // Constants of the module: the same pointers every time.
    EXPECT_EQ(module.MainCommandName(), mainEnglish);
    EXPECT_EQ(module.TaskMenuCommandName(), taskEnglish);
  }
}

TEST_F(LanguageTest, NullLanguageCountsAsEmpty) {
  for (const ModuleCaptions& captions : AllCaptions()) {
    SCOPED_TRACE(captions.name);
    PluginModule& module = captions.module();
    module.SetLanguage(QX_TEXT("Russian"));
    module.SetLanguage(nullptr);
    EXPECT_TRUE(HasCaptions(module, captions, false));
  }
}

TEST_F(LanguageTest, EachModuleKeepsItsOwnLanguage) {
  ExportModule().SetLanguage(QX_TEXT("Russian"));
  EXPECT_TRUE(HasCaptions(ExportModule(), AllCaptions()[0], true));
  EXPECT_TRUE(HasCaptions(ImportModule(), AllCaptions()[1], false));
}

// Copies of the modules, loaded afresh: the shared instances may have been given a language
// by earlier tests of this program.
class FreshModuleTest : public TempDirTest {
 protected:
  static std::filesystem::path Original(const char* module) {
    std::filesystem::path path = std::filesystem::u8path(module);
    // Windows builds give the name only: the module sits beside the test program.
    if (path.is_relative()) {
      const std::filesystem::path program =
          std::filesystem::absolute(std::filesystem::u8path(::testing::internal::GetArgvs()[0]));
      path = program.parent_path() / path;
    }
    return path;
  }

  std::unique_ptr<PluginModule> LoadCopy(const char* module, const std::string& name) {
    const std::string copy = PathOf(name);
    if (!FileExists(copy)) {
      std::error_code error;
      std::filesystem::copy_file(Original(module), std::filesystem::u8path(copy), error);
      EXPECT_FALSE(error) << "cannot copy " << Original(module).u8string() << ": " << error.message();
    }
    return std::make_unique<PluginModule>(copy);
  }

  void TearDown() override {
    // Unloaded before its folder goes.
    module_.reset();
    TempDirTest::TearDown();
  }

  std::unique_ptr<PluginModule> module_;
};

TEST_F(FreshModuleTest, CaptionsAreEnglishUntilTheFirstSetLanguage) {
  struct Row {
    const char* original;
    const char* copy;
    const ModuleCaptions& captions;
  };
  const Row rows[] = {{QX_EXPORT_MODULE, "fresh_exp.qxdll", AllCaptions()[0]},
                      {QX_IMPORT_MODULE, "fresh_imp.qxdll", AllCaptions()[1]}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.copy);
    PluginModule& shared = row.captions.module();
    ASSERT_TRUE(shared.Loaded());
    // The copy must not share the state of the module loaded before it.
    shared.SetLanguage(QX_TEXT("Russian"));

    module_ = LoadCopy(row.original, row.copy);
    ASSERT_TRUE(module_->Loaded());
    EXPECT_TRUE(HasCaptions(*module_, row.captions, false));
    module_->SetLanguage(QX_TEXT("Russian"));
    EXPECT_TRUE(HasCaptions(*module_, row.captions, true));

    // The language goes with the module: loaded again, it starts English.
    module_.reset();
    module_ = LoadCopy(row.original, row.copy);
    ASSERT_TRUE(module_->Loaded());
    EXPECT_TRUE(HasCaptions(*module_, row.captions, false));
    module_.reset();
    shared.SetLanguage(QX_TEXT(""));
  }
}

TEST(ShellTest, ParseTaskMenuArgumentTakesTheTextBeforeTheFirstPlus) {
  struct Row {
    const char* name;
    const QxChar* argument;
    QxString expected;
  };
  const Row rows[] = {
      {"one plus", QX_TEXT("t1+rest"), QX_TEXT("t1")},
      {"no plus", QX_TEXT("t1"), QX_TEXT("t1")},
      {"several", QX_TEXT("t1+t2+t3"), QX_TEXT("t1")},
      {"plus last", QX_TEXT("t1+"), QX_TEXT("t1")},
      {"plus first", QX_TEXT("+t1"), QX_TEXT("")},
      {"only plus", QX_TEXT("+"), QX_TEXT("")},
      {"empty", QX_TEXT(""), QX_TEXT("")},
      {"null", nullptr, QX_TEXT("")},
      {"blanks kept", QX_TEXT(" t 1 +x"), QX_TEXT(" t 1 ")},
      {"non-ASCII", QX_TEXT("Задача\U0001F600+x"), QX_TEXT("Задача\U0001F600")},
      {"braced", QX_TEXT("{8A2F-01}+{77}"), QX_TEXT("{8A2F-01}")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Utf8(ParseTaskMenuArgument(row.argument)), Utf8(row.expected));
  }
}

// What each command export gives its command body, seen through the stand-in host: the
// export first counts the start task's children, the import inserts under its start task.
class HandOverTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    map_ = PathOf("one-topic.xmmap");
    WriteBytes(map_,
               "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n"
               "<ap:Map xmlns:ap=\"http://schemas.mindjet.com/MindManager/Application/2003\">\r\n"
               "    <ap:OneTopic>\r\n"
               "        <ap:Topic>\r\n"
               "            <ap:SubTopics>\r\n"
               "                <ap:Topic>\r\n"
               "                    <ap:Text PlainText=\"Imported\">\r\n"
               "                        <ap:Font />\r\n"
               "                    </ap:Text>\r\n"
               "                </ap:Topic>\r\n"
               "            </ap:SubTopics>\r\n"
               "            <ap:Text PlainText=\"Central\">\r\n"
               "                <ap:Font />\r\n"
               "            </ap:Text>\r\n"
               "        </ap:Topic>\r\n"
               "    </ap:OneTopic>\r\n"
               "</ap:Map>\r\n");
  }

  void LoadTree() {
    QxStub_Reset();
    LoadTasks(R"({"title": "Start", "children": [{"id": "t1", "title": "One"},
                                                 {"id": "t2", "title": "Two"}]})");
    QxStub_ClearCallLog();
  }

  // The start task as the export and the import saw it.
  using Run = std::function<void(PluginModule&, const std::string&)>;
  std::pair<std::string, std::string> StartTasks(const Run& run) {
    std::pair<std::string, std::string> seen{"(no call)", "(no call)"};
    LoadTree();
    // A new name each time: the save dialog would ask before replacing a file.
    run(ExportModule(), PathOf("out" + std::to_string(++saves_) + ".xmmap"));
    for (const auto& entry : CallLog()) {
      if (entry["call"] != "AddinQX_Task_GetChildsCount") continue;
      seen.first = entry["args"][0].get<std::string>();
      break;
    }
    LoadTree();
    run(ImportModule(), map_);
    for (const auto& entry : CallLog()) {
      if (entry["call"] != "AddinQX_Task_Insert") continue;
      seen.second = entry["args"][1].get<std::string>();
      break;
    }
    return seen;
  }

  std::string map_;
  int saves_ = 0;
};

TEST_F(HandOverTest, MainCommandStartsAtRoot) {
  const auto seen =
      StartTasks([this](PluginModule& module, const std::string& file) { RunMain(module, file); });
  EXPECT_EQ(seen.first, "root");
  EXPECT_EQ(seen.second, "root");
  const nlohmann::json tree = Tasks();
  ASSERT_EQ(tree["children"].size(), 3u);
  EXPECT_EQ(tree["children"][2]["title"], "Imported");
}

TEST_F(HandOverTest, TaskMenuCommandStartsAtTheTaskOfItsArgument) {
  struct Row {
    const char* name;
    const QxChar* argument;
    std::string expected;
  };
  const Row rows[] = {
      {"one plus", QX_TEXT("t1+rest"), "t1"},
      {"no plus", QX_TEXT("t2"), "t2"},
      {"several", QX_TEXT("t2+t1+x"), "t2"},
      {"plus first", QX_TEXT("+t1"), ""},
      {"empty", QX_TEXT(""), ""},
      {"null", nullptr, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto seen = StartTasks([&](PluginModule& module, const std::string& file) {
      dialog_.answers = {file};
      dialog_.requests.clear();
      module.SetDialogScript(&dialog_);
      module.TaskMenuCommandExecute(row.argument);
      module.SetDialogScript(nullptr);
    });
    EXPECT_EQ(seen.first, row.expected);
    EXPECT_EQ(seen.second, row.expected);
  }
}

TEST_F(HandOverTest, ImportedTopicLandsUnderTheArgumentsTask) {
  LoadTree();
  RunTask(ImportModule(), QX_TEXT("t2+t1"), map_);
  const nlohmann::json tree = Tasks();
  ASSERT_EQ(tree["children"].size(), 2u);
  EXPECT_TRUE(tree["children"][0].value("children", nlohmann::json::array()).empty());
  ASSERT_EQ(tree["children"][1]["children"].size(), 1u);
  EXPECT_EQ(tree["children"][1]["children"][0]["title"], "Imported");
}

TEST_F(HandOverTest, NullArgumentWithCancelledDialogDoesNothing) {
  for (PluginModule* module : {&ExportModule(), &ImportModule()}) {
    LoadTree();
    dialog_.answers = {std::nullopt};
    dialog_.requests.clear();
    module->SetDialogScript(&dialog_);
    module->TaskMenuCommandExecute(nullptr);
    module->SetDialogScript(nullptr);
    EXPECT_EQ(dialog_.requests.size(), 1u);
    EXPECT_TRUE(CallLog().empty());
  }
}

}  // namespace
}  // namespace qxtest
