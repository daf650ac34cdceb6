// A stand-in for the host's plug-in support library: the AddinQX_ operations over an
// in-memory task tree, with a log of every call. It gives the plug-ins no more than the
// host promises: a title lives until the next AddinQX_Task_GetTitle, and category, priority
// and new-task identifiers only until the next call of any kind.
#include "host/stub/HostControl.h"

#include "platform/Platform.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace {

struct Task {
  QxString id;
  std::optional<QxString> title;
  bool present = true;
  std::vector<QxString> categories;
  std::optional<QxString> priority;
  std::vector<Task*> children;
  // Set for tasks made by AddinQX_Task_Insert.
  bool inserted = false;
  double currentDate = 0, minDate = 0, maxDate = 0;
  QxString reserved1, reserved6;
  int reserved5 = 0;
};

using LogValue = std::variant<std::nullptr_t, std::string, int, double>;

struct LogEntry {
  const char* call;
  std::vector<LogValue> args;
  std::optional<LogValue> result;
};

constexpr double kDefaultCurrentDate = 46367.0;  // 2026-12-11 as an OLE date
constexpr double kDefaultMinDate = 2.0;          // 1900-01-01
constexpr double kDefaultMaxDate = 2958465.0;    // 9999-12-31

struct Host {
  std::vector<std::unique_ptr<Task>> tasks;
  std::unordered_map<QxString, Task*> index;
  Task* root = nullptr;
  unsigned long nextId = 1;
  QxString titleBuffer;
  QxString shortLived;  // category, priority and new-task identifiers
  bool logging = true;
  std::vector<LogEntry> log;
  std::vector<QxString> popups;
  double currentDate = kDefaultCurrentDate, minDate = kDefaultMinDate, maxDate = kDefaultMaxDate;
  std::optional<QxString> failingTitle;
};

Host& TheHost();

std::string Utf8(const QxChar* text) {
  if (text == nullptr) return {};
  const int size = WideToCodePage(CodePage::Utf8, text, nullptr, 0);
  if (size <= 1) return {};
  std::string result(static_cast<size_t>(size), '\0');
  WideToCodePage(CodePage::Utf8, text, result.data(), size);
  result.resize(static_cast<size_t>(size) - 1);
  return result;
}

QxString Wide(const std::string& text) {
  const int size = CodePageToWide(CodePage::Utf8, text.c_str(), nullptr, 0);
  if (size <= 1) return {};
  QxString result(static_cast<size_t>(size), QxChar(0));
  CodePageToWide(CodePage::Utf8, text.c_str(), result.data(), size);
  result.resize(static_cast<size_t>(size) - 1);
  return result;
}

QxString FromAscii(const std::string& text) { return QxString(text.begin(), text.end()); }

LogValue Text(const QxChar* text) {
  if (text == nullptr) return nullptr;
  return Utf8(text);
}

Task* Find(const QxChar* id) {
  if (id == nullptr) return nullptr;
  Host& host = TheHost();
  const auto found = host.index.find(id);
  return found == host.index.end() ? nullptr : found->second;
}

Task* NewTask(Task* parent, QxString id) {
  Host& host = TheHost();
  host.tasks.push_back(std::make_unique<Task>());
  Task* task = host.tasks.back().get();
  task->id = std::move(id);
  host.index.emplace(task->id, task);
  if (parent != nullptr) parent->children.push_back(task);
  return task;
}

QxString FreshId() {
  Host& host = TheHost();
  for (;;) {
    QxString id = FromAscii("t" + std::to_string(host.nextId++));
    if (host.index.count(id) == 0) return id;
  }
}

void ResetTree() {
  Host& host = TheHost();
  host.index.clear();
  host.tasks.clear();
  host.nextId = 1;
  host.root = NewTask(nullptr, FromAscii("root"));
}

Host& TheHost() {
  static Host host;
  static bool initialised = false;
  if (!initialised) {
    initialised = true;
    ResetTree();
  }
  return host;
}

// Whatever a plug-in kept of the last short-lived answer now reads as something else.
const QxChar* ShortLived(const QxString* value) {
  Host& host = TheHost();
  if (value == nullptr) return nullptr;
  host.shortLived.assign(host.shortLived.size(), QxChar('#'));
  host.shortLived = *value;
  return host.shortLived.c_str();
}

void Log(const char* call, std::vector<LogValue> args, std::optional<LogValue> result = std::nullopt) {
  Host& host = TheHost();
  if (!host.logging) return;
  host.log.push_back(LogEntry{call, std::move(args), std::move(result)});
}

nlohmann::json ToJson(const LogValue& value) {
  return std::visit([](const auto& v) { return nlohmann::json(v); }, value);
}

char* Duplicate(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

// JSON string without recursion or an intermediate document: trees may be very deep.
void AppendJsonString(std::string& out, const std::string& text) {
  out += nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void AppendTaskFields(std::string& out, const Task& task) {
  out += "\"id\":";
  AppendJsonString(out, Utf8(task.id.c_str()));
  out += ",\"title\":";
  if (task.title) {
    AppendJsonString(out, Utf8(task.title->c_str()));
  } else {
    out += "null";
  }
  out += task.present ? ",\"present\":true" : ",\"present\":false";
  out += ",\"categories\":[";
  for (size_t i = 0; i < task.categories.size(); ++i) {
    if (i > 0) out += ',';
    AppendJsonString(out, Utf8(task.categories[i].c_str()));
  }
  out += "],\"priority\":";
  if (task.priority) {
    AppendJsonString(out, Utf8(task.priority->c_str()));
  } else {
    out += "null";
  }
  if (task.inserted) {
    out += ",\"dates\":{\"current\":" + nlohmann::json(task.currentDate).dump() +
           ",\"min\":" + nlohmann::json(task.minDate).dump() +
           ",\"max\":" + nlohmann::json(task.maxDate).dump() + "}";
  }
}

std::string TreeJson() {
  const Host& host = TheHost();
  std::string out = "{\"title\":";
  if (host.root->title) {
    AppendJsonString(out, Utf8(host.root->title->c_str()));
  } else {
    out += "null";
  }
  if (!host.root->categories.empty() || host.root->priority) {
    out += ",";
    AppendTaskFields(out, *host.root);
  }
  out += ",\"children\":[";
  struct Frame {
    const Task* task;
    size_t next;
  };
  std::vector<Frame> stack{{host.root, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.task->children.size()) {
      out += stack.size() > 1 ? "]}" : "]";
      stack.pop_back();
      continue;
    }
    if (frame.next > 0) out += ',';
    const Task* child = frame.task->children[frame.next++];
    out += '{';
    AppendTaskFields(out, *child);
    out += ",\"children\":[";
    stack.push_back({child, 0});
  }
  out += "}\n";
  return out;
}

// Builds the tree from a parsed task file; iterative, as files may nest deeply.
void LoadTree(const nlohmann::json& document) {
  using nlohmann::json;
  auto fail = [](const std::string& where, const std::string& what) {
    throw std::runtime_error((where.empty() ? std::string("top level") : where) + ": " + what);
  };
  auto text = [&](const json& value, const std::string& where) -> QxString {
    if (!value.is_string()) fail(where, "expected a string");
    return Wide(value.get<std::string>());
  };
  auto readFields = [&](const json& object, Task& task, const std::string& where) {
    if (object.contains("present")) {
      if (!object["present"].is_boolean()) fail(where + "/present", "expected true or false");
      task.present = object["present"].get<bool>();
    }
    if (object.contains("categories")) {
      const json& categories = object["categories"];
      if (!categories.is_array()) fail(where + "/categories", "expected an array of strings");
      for (size_t i = 0; i < categories.size(); ++i) {
        task.categories.push_back(text(categories[i], where + "/categories/" + std::to_string(i)));
      }
    }
    if (object.contains("priority") && !object["priority"].is_null()) {
      task.priority = text(object["priority"], where + "/priority");
    }
  };

  Host& host = TheHost();
  if (!document.is_object()) fail("", "expected an object with \"title\" and \"children\"");
  if (document.contains("title") && !document["title"].is_null()) {
    host.root->title = text(document["title"], "/title");
  }
  readFields(document, *host.root, "");
  host.root->present = true;

  struct Pending {
    const json* object;
    Task* parent;
    std::string where;
  };
  std::vector<Pending> stack{{&document, nullptr, ""}};
  std::vector<std::pair<const json*, std::string>> withoutId;
  // First every task with its own id, so that generated ids never clash with them.
  while (!stack.empty()) {
    Pending item = std::move(stack.back());
    stack.pop_back();
    Task* task = host.root;
    if (item.parent != nullptr) {
      const json& object = *item.object;
      if (!object.is_object()) fail(item.where, "expected a task object");
      QxString id;
      if (object.contains("id")) {
        id = text(object["id"], item.where + "/id");
        if (id.empty()) fail(item.where + "/id", "empty id");
        if (host.index.count(id) != 0) fail(item.where + "/id", "duplicate id \"" + Utf8(id.c_str()) + "\"");
      } else {
        id = FromAscii("\x01pending" + std::to_string(host.tasks.size()));
        withoutId.emplace_back(item.object, item.where);
      }
      task = NewTask(item.parent, std::move(id));
      if (object.contains("title") && !object["title"].is_null()) {
        task->title = text(object["title"], item.where + "/title");
      }
      readFields(object, *task, item.where);
    }
    if (item.object->contains("children")) {
      const json& children = (*item.object)["children"];
      if (!children.is_array()) fail(item.where + "/children", "expected an array of tasks");
      // Reserve the children's places in order; pushed in reverse so they pop in order.
      const size_t first = stack.size();
      for (size_t i = 0; i < children.size(); ++i) {
        stack.push_back({&children[i], task, item.where + "/children/" + std::to_string(i)});
      }
      std::reverse(stack.begin() + static_cast<long>(first), stack.end());
    }
  }
  // Give the tasks without an id theirs, now that every given id is known.
  for (auto& owned : host.tasks) {
    Task* task = owned.get();
    if (task->id.empty() || task->id[0] != QxChar(1)) continue;
    host.index.erase(task->id);
    task->id = FreshId();
    host.index.emplace(task->id, task);
  }
}

}  // namespace

extern "C" {

int QX_CDECL AddinQX_Task_IsPresent(const QxChar* taskUid) {
  const Task* task = Find(taskUid);
  const int result = task != nullptr && task->present ? 1 : 0;
  Log("AddinQX_Task_IsPresent", {Text(taskUid)}, result);
  return result;
}

int QX_CDECL AddinQX_Task_GetChildsCount(const QxChar* taskUid) {
  const Task* task = Find(taskUid);
  const int result = task != nullptr ? static_cast<int>(task->children.size()) : 0;
  Log("AddinQX_Task_GetChildsCount", {Text(taskUid)}, result);
  return result;
}

const QxChar* QX_CDECL AddinQX_Task_GetChildUID(const QxChar* taskUid, int index) {
  const Task* task = Find(taskUid);
  const QxChar* result = nullptr;
  if (task != nullptr && index >= 0 && static_cast<size_t>(index) < task->children.size()) {
    result = task->children[static_cast<size_t>(index)]->id.c_str();
  }
  Log("AddinQX_Task_GetChildUID", {Text(taskUid), index}, Text(result));
  return result;
}

const QxChar* QX_CDECL AddinQX_Task_GetTitle(const QxChar* taskUid) {
  Host& host = TheHost();
  const Task* task = Find(taskUid);
  const QxChar* result = nullptr;
  if (task != nullptr && task->title) {
    // One buffer for every title: a kept pointer now shows the newer title.
    host.titleBuffer.assign(host.titleBuffer.size(), QxChar('#'));
    host.titleBuffer = *task->title;
    result = host.titleBuffer.c_str();
  }
  Log("AddinQX_Task_GetTitle", {Text(taskUid)}, Text(result));
  return result;
}

const QxChar* QX_CDECL AddinQX_Task_Insert(const QxChar* reserved1, const QxChar* parentUid,
                                           const QxChar* title, double currentDate, int reserved5,
                                           const QxChar* reserved6, double minDate, double maxDate) {
  Host& host = TheHost();
  Task* parent = Find(parentUid);
  const QxChar* result = nullptr;
  const bool refused = host.failingTitle && title != nullptr && *host.failingTitle == title;
  if (parent != nullptr && !refused) {
    Task* task = NewTask(parent, FreshId());
    task->title = QxString(title != nullptr ? title : QX_TEXT(""));
    task->inserted = true;
    task->currentDate = currentDate;
    task->minDate = minDate;
    task->maxDate = maxDate;
    task->reserved1 = reserved1 != nullptr ? reserved1 : QX_TEXT("");
    task->reserved5 = reserved5;
    task->reserved6 = reserved6 != nullptr ? reserved6 : QX_TEXT("");
    result = ShortLived(&task->id);
  }
  if (host.logging) {
    Log("AddinQX_Task_Insert",
        {Text(reserved1), Text(parentUid), Text(title), currentDate, reserved5, Text(reserved6),
         minDate, maxDate},
        Text(result));
  }
  return result;
}

double QX_CDECL AddinQX_GetMaxDate(void) {
  Log("AddinQX_GetMaxDate", {}, TheHost().maxDate);
  return TheHost().maxDate;
}

double QX_CDECL AddinQX_GetMinDate(void) {
  Log("AddinQX_GetMinDate", {}, TheHost().minDate);
  return TheHost().minDate;
}

double QX_CDECL AddinQX_GetCurrDate(void) {
  Log("AddinQX_GetCurrDate", {}, TheHost().currentDate);
  return TheHost().currentDate;
}

int QX_CDECL AddinQX_Task_GetCategoriesCount(const QxChar* taskUid) {
  const Task* task = Find(taskUid);
  const int result = task != nullptr ? static_cast<int>(task->categories.size()) : 0;
  Log("AddinQX_Task_GetCategoriesCount", {Text(taskUid)}, result);
  return result;
}

const QxChar* QX_CDECL AddinQX_Task_GetCategoryUID(const QxChar* taskUid, int index) {
  const Task* task = Find(taskUid);
  const QxString* category = nullptr;
  if (task != nullptr && index >= 0 && static_cast<size_t>(index) < task->categories.size()) {
    category = &task->categories[static_cast<size_t>(index)];
  }
  const QxChar* result = ShortLived(category);
  Log("AddinQX_Task_GetCategoryUID", {Text(taskUid), index}, Text(result));
  return result;
}

void QX_CDECL AddinQX_Task_AddToCategory(const QxChar* taskUid, const QxChar* categoryUid) {
  Log("AddinQX_Task_AddToCategory", {Text(taskUid), Text(categoryUid)});
  Task* task = Find(taskUid);
  if (task != nullptr && categoryUid != nullptr) task->categories.emplace_back(categoryUid);
}

const QxChar* QX_CDECL AddinQX_Task_GetPriorityUID(const QxChar* taskUid) {
  const Task* task = Find(taskUid);
  const QxChar* result = ShortLived(task != nullptr && task->priority ? &*task->priority : nullptr);
  Log("AddinQX_Task_GetPriorityUID", {Text(taskUid)}, Text(result));
  return result;
}

void QX_CDECL AddinQX_Task_SetPriorityUID(const QxChar* taskUid, const QxChar* priorityUid) {
  Log("AddinQX_Task_SetPriorityUID", {Text(taskUid), Text(priorityUid)});
  Task* task = Find(taskUid);
  if (task == nullptr) return;
  if (priorityUid != nullptr) {
    task->priority = QxString(priorityUid);
  } else {
    task->priority.reset();
  }
}

void QX_CDECL AddinQX_ChangesStart(void) { Log("AddinQX_ChangesStart", {}); }

void QX_CDECL AddinQX_ChangesEnd(void) { Log("AddinQX_ChangesEnd", {}); }

void QX_CDECL AddinQX_ShowPopupCustom(const QxChar* markup, int duration) {
  Log("AddinQX_ShowPopupCustom", {Text(markup), duration});
  TheHost().popups.emplace_back(markup != nullptr ? markup : QX_TEXT(""));
}

void QxStub_Reset(void) {
  Host& host = TheHost();
  ResetTree();
  host.log.clear();
  host.popups.clear();
  host.logging = true;
  host.currentDate = kDefaultCurrentDate;
  host.minDate = kDefaultMinDate;
  host.maxDate = kDefaultMaxDate;
  host.failingTitle.reset();
}

int QxStub_LoadTasksJson(const char* json, char* error, int errorSize) {
  std::string reason;
  try {
    ResetTree();
    LoadTree(nlohmann::json::parse(json != nullptr ? json : ""));
    return 1;
  } catch (const nlohmann::json::parse_error& e) {
    reason = e.what();
    const std::string prefix = "[json.exception.parse_error.101] ";
    if (reason.compare(0, prefix.size(), prefix) == 0) reason.erase(0, prefix.size());
  } catch (const std::exception& e) {
    reason = e.what();
  }
  try {
    ResetTree();
  } catch (...) {
  }
  if (error != nullptr && errorSize > 0) {
    const size_t size = std::min(reason.size(), static_cast<size_t>(errorSize) - 1);
    std::memcpy(error, reason.data(), size);
    error[size] = '\0';
  }
  return 0;
}

char* QxStub_TasksJson(void) {
  try {
    return Duplicate(TreeJson());
  } catch (...) {
    return nullptr;
  }
}

const QxChar* QxStub_AddTask(const QxChar* parentUid, const QxChar* title, int present) {
  Task* parent = Find(parentUid);
  if (parent == nullptr) return nullptr;
  Task* task = NewTask(parent, FreshId());
  if (title != nullptr) task->title = QxString(title);
  task->present = present != 0;
  return task->id.c_str();
}

void QxStub_SetCallLog(int enabled) { TheHost().logging = enabled != 0; }

void QxStub_ClearCallLog(void) { TheHost().log.clear(); }

char* QxStub_CallLogJsonLines(void) {
  try {
    std::string out;
    for (const LogEntry& entry : TheHost().log) {
      nlohmann::json line = nlohmann::json::object();
      line["call"] = entry.call;
      nlohmann::json args = nlohmann::json::array();
      for (const LogValue& arg : entry.args) args.push_back(ToJson(arg));
      line["args"] = std::move(args);
      if (entry.result) line["result"] = ToJson(*entry.result);
      out += line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
      out += '\n';
    }
    return Duplicate(out);
  } catch (...) {
    return nullptr;
  }
}

int QxStub_PopupCount(void) { return static_cast<int>(TheHost().popups.size()); }

const QxChar* QxStub_Popup(int index) {
  const Host& host = TheHost();
  if (index < 0 || static_cast<size_t>(index) >= host.popups.size()) return nullptr;
  return host.popups[static_cast<size_t>(index)].c_str();
}

void QxStub_SetDates(double current, double minimum, double maximum) {
  Host& host = TheHost();
  host.currentDate = current;
  host.minDate = minimum;
  host.maxDate = maximum;
}

void QxStub_FailInsertOfTitle(const QxChar* title) {
  Host& host = TheHost();
  if (title != nullptr) {
    host.failingTitle = QxString(title);
  } else {
    host.failingTitle.reset();
  }
}

void QxStub_Free(char* text) { std::free(text); }

}  // extern "C"
