#include "support/TestSupport.h"

#include "support/DialogRequest.h"

#include <tinyxml.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace qxtest {

std::string Utf8(const QxString& text) { return ToUtf8(text.c_str()); }

QxString Wide(const std::string& utf8) { return FromUtf8(utf8); }

namespace {

std::filesystem::path FsPath(const std::string& utf8) {
#if defined(_WIN32)
  return std::filesystem::path(Wide(utf8));
#else
  return std::filesystem::path(utf8);
#endif
}

}  // namespace

std::optional<std::string> ReadBytes(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(FsPath(path), error);
}

void TempDirTest::SetUp() {
  std::random_device seed;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate = base / ("qx-test-" + std::to_string(seed()));
    if (std::filesystem::create_directory(candidate)) {
#if defined(_WIN32)
      dir_ = Utf8(candidate.wstring());
#else
      dir_ = candidate.string();
#endif
      return;
    }
  }
  FAIL() << "no temporary folder";
}

void TempDirTest::TearDown() {
  std::error_code error;
  if (!dir_.empty()) std::filesystem::remove_all(FsPath(dir_), error);
}

std::string TempDirTest::PathOf(const std::string& name) const {
#if defined(_WIN32)
  return dir_ + "\\" + name;
#else
  return dir_ + "/" + name;
#endif
}

void LoadTasks(const std::string& json) {
  char error[512] = {};
  ASSERT_EQ(QxStub_LoadTasksJson(json.c_str(), error, sizeof error), 1) << error;
}

namespace {

std::string TakeString(char* text) {
  std::string result = text != nullptr ? text : "";
  QxStub_Free(text);
  return result;
}

}  // namespace

nlohmann::json Tasks() { return nlohmann::json::parse(TakeString(QxStub_TasksJson())); }

std::vector<nlohmann::json> CallLog() {
  std::vector<nlohmann::json> entries;
  std::istringstream lines(TakeString(QxStub_CallLogJsonLines()));
  std::string line;
  while (std::getline(lines, line)) entries.push_back(nlohmann::json::parse(line));
  return entries;
}

std::vector<std::string> CallNames() {
  std::vector<std::string> names;
  for (const auto& entry : CallLog()) names.push_back(entry["call"].get<std::string>());
  return names;
}

std::vector<std::string> PopupMessages() {
  std::vector<std::string> messages;
  for (int i = 0; i < QxStub_PopupCount(); ++i) {
    TiXmlDocument markup;
    markup.Parse(Utf8(QxStub_Popup(i)).c_str(), nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* border = markup.RootElement();
    const TiXmlElement* panel = border ? border->FirstChildElement("StackPanel") : nullptr;
    const TiXmlElement* block = panel ? panel->FirstChildElement("TextBlock") : nullptr;
    if (markup.Error() || block == nullptr) {
      messages.push_back("(unreadable markup)");
      continue;
    }
    messages.push_back(block->GetText() != nullptr ? block->GetText() : "");
  }
  return messages;
}

DialogScript::Request DescribeRequest(const OPENFILENAMEW& request, bool save) {
  DialogScript::Request seen{};
  seen.save = save;
  seen.structSize = request.lStructSize;
  seen.flags = request.Flags;
  seen.filterIndex = request.nFilterIndex;
  seen.maxFile = request.nMaxFile;
  seen.ownerNull = request.hwndOwner == nullptr;
  seen.fileBufferEmpty = request.lpstrFile != nullptr;
  for (DWORD i = 0; request.lpstrFile != nullptr && i < request.nMaxFile; ++i) {
    if (request.lpstrFile[i] != 0) seen.fileBufferEmpty = false;
  }
  seen.fileTitleNull = request.lpstrFileTitle == nullptr && request.nMaxFileTitle == 0;
  seen.initialDirNull = request.lpstrInitialDir == nullptr;
  for (const QxChar* item = request.lpstrFilter; item != nullptr && *item != 0;) {
    const QxString text(item);
    seen.filter.push_back(Utf8(text));
    item += text.size() + 1;
  }
  if (request.lpstrDefExt != nullptr) seen.defaultExtension = Utf8(request.lpstrDefExt);
  return seen;
}

bool FillAnswer(OPENFILENAMEW& request, const std::string& path) {
  const QxString wide = Wide(path);
  if (wide.size() + 1 > request.nMaxFile) return false;
  wide.copy(request.lpstrFile, wide.size());
  request.lpstrFile[wide.size()] = 0;
  return true;
}

std::optional<std::string> NextAnswer(DialogScript& script, const DialogScript::Request& request) {
  const size_t index = script.requests.size();
  script.requests.push_back(request);
  if (index >= script.answers.size()) return std::nullopt;
  return script.answers[index];
}

PluginModule& ExportModule() {
  static PluginModule module(QX_EXPORT_MODULE);
  return module;
}

PluginModule& ImportModule() {
  static PluginModule module(QX_IMPORT_MODULE);
  return module;
}

void HostTest::SetUp() {
  TempDirTest::SetUp();
  QxStub_Reset();
  ASSERT_TRUE(ExportModule().Loaded());
  ASSERT_TRUE(ImportModule().Loaded());
  ExportModule().SetLanguage(QX_TEXT(""));
  ImportModule().SetLanguage(QX_TEXT(""));
}

void HostTest::TearDown() {
  ExportModule().SetDialogScript(nullptr);
  ImportModule().SetDialogScript(nullptr);
  TempDirTest::TearDown();
}

void HostTest::RunMain(PluginModule& module, std::optional<std::string> answer) {
  dialog_.answers = {std::move(answer)};
  dialog_.requests.clear();
  module.SetDialogScript(&dialog_);
  module.ExecuteMainCommand();
  module.SetDialogScript(nullptr);
}

void HostTest::RunTask(PluginModule& module, const QxString& argument, std::optional<std::string> answer) {
  dialog_.answers = {std::move(answer)};
  dialog_.requests.clear();
  module.SetDialogScript(&dialog_);
  module.TaskMenuCommandExecute(argument.c_str());
  module.SetDialogScript(nullptr);
}

}  // namespace qxtest
