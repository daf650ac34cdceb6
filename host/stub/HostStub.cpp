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
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace {

struct Task {
  QxString id;  // never changes once indexed: the index keeps views of it
  std::optional<QxString> title;
  bool present = true;
  std::vector<QxString> categories;
  std::optional<QxString> priority;
  std::vector<Task*> children;
  // Set for tasks made by AddinQX_Task_Insert.
  bool inserted = false;
  double currentDate = 0, minDate = 0, maxDate = 0;
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

// Text handed out for a limited time. A newer value overwrites the older one in place, so a
// pointer kept too long reads the newer text or "###", never freed memory.
class ReusedBuffer {
 public:
  const QxChar* Set(const QxString& value) {
    Expire();
    if (value.size() > text_.capacity()) {
      retired_.push_back(std::move(text_));
      text_ = QxString();
      text_.reserve(std::max(value.size(), 2 * retired_.back().capacity()));
    }
    text_.assign(value);
    return text_.c_str();
  }
  void Expire() { std::fill(text_.begin(), text_.end(), QxChar('#')); }
  void Clear() {
    text_.clear();
    retired_.clear();
  }

 private:
  QxString text_;
  std::vector<QxString> retired_;  // outgrown buffers, kept for the pointers into them
};

struct Host {
  // Tasks in blocks: one allocation for many, and addresses that never move.
  static constexpr size_t kBlockSize = 256;
  std::vector<std::unique_ptr<Task[]>> taskBlocks;
  size_t lastBlockUsed = kBlockSize;
  // Ids given by a task file, and the root's; keyed by views of the tasks' own ids, so that a
  // lookup copies nothing.
  std::unordered_map<std::basic_string_view<QxChar>, Task*> index;
  // Ids made here, "t" and a number, by that number: a lookup touches only the task.
  std::vector<Task*> generated;
  Task* root = nullptr;
  size_t nextId = 1;
  ReusedBuffer titleBuffer;  // until the next AddinQX_Task_GetTitle
  ReusedBuffer shortLived;   // category, priority and new-task identifiers: until the next call
  unsigned long callNumber = 0;
  unsigned long shortLivedCall = 0;  // the call that set shortLived
  bool logging = true;
  std::vector<LogEntry> log;
  std::vector<QxString> popups;
  double currentDate = kDefaultCurrentDate, minDate = kDefaultMinDate, maxDate = kDefaultMaxDate;
  std::optional<QxString> failingTitle;
};

Host& TheHost();

QxString FromAscii(const std::string& text) { return QxString(text.begin(), text.end()); }

LogValue Text(const QxChar* text) {
  if (text == nullptr) return nullptr;
  return ToUtf8(text);
}

// The number of an id as GiveFreshId makes them ("t1", "t2", ...); 0 for any other id and
// for numbers past nine digits (size_t may have 32 bits), which go to the index instead.
size_t GeneratedNumber(const QxChar* id) {
  if (id[0] != 't' || id[1] < '1' || id[1] > '9') return 0;
  size_t number = 0;
  int digits = 0;
  for (const QxChar* p = id + 1; *p != 0; ++p) {
    if (*p < '0' || *p > '9' || ++digits > 9) return 0;
    number = number * 10 + static_cast<size_t>(*p - '0');
  }
  return number;
}

Task* Find(const QxChar* id) {
  if (id == nullptr) return nullptr;
  Host& host = TheHost();
  const size_t number = GeneratedNumber(id);
  if (number != 0 && number < host.generated.size() && host.generated[number] != nullptr) {
    return host.generated[number];
  }
  const auto found = host.index.find(std::basic_string_view<QxChar>(id));
  return found == host.index.end() ? nullptr : found->second;
}

// A task without id yet: GiveId or GiveFreshId follows.
Task* NewTask(Task* parent) {
  Host& host = TheHost();
  if (host.lastBlockUsed == Host::kBlockSize) {
    host.taskBlocks.push_back(std::make_unique<Task[]>(Host::kBlockSize));
    host.lastBlockUsed = 0;
  }
  Task* task = &host.taskBlocks.back()[host.lastBlockUsed++];
  if (parent != nullptr) parent->children.push_back(task);
  return task;
}

void GiveId(Task* task, QxString id) {
  task->id = std::move(id);
  TheHost().index.emplace(task->id, task);
}

// The next "t" and number that no task file has taken.
void GiveFreshId(Task* task) {
  Host& host = TheHost();
  for (;;) {
    const size_t number = host.nextId++;
    QxString id = FromAscii("t" + std::to_string(number));
    if (host.index.count(id) != 0) continue;
    if (GeneratedNumber(id.c_str()) != number) {
      GiveId(task, std::move(id));
      return;
    }
    task->id = std::move(id);
    if (host.generated.size() <= number) host.generated.resize(number + 1, nullptr);
    host.generated[number] = task;
    return;
  }
}

Task* NewTaskWithFreshId(Task* parent) {
  Task* task = NewTask(parent);
  GiveFreshId(task);
  return task;
}

void ResetTree() {
  Host& host = TheHost();
  host.index.clear();
  host.generated.clear();
  host.taskBlocks.clear();
  host.lastBlockUsed = Host::kBlockSize;
  host.nextId = 1;
  host.root = NewTask(nullptr);
  GiveId(host.root, FromAscii("root"));
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

const QxChar* ShortLived(const QxString* value) {
  Host& host = TheHost();
  host.shortLived.Expire();
  if (value == nullptr) return nullptr;
  host.shortLivedCall = host.callNumber;
  return host.shortLived.Set(*value);
}

// Opens every AddinQX_ call. Once the call has read its arguments (a short-lived answer may
// be one of them), whatever the plug-in kept of an earlier short-lived answer expires.
class HostCall {
 public:
  HostCall() { ++TheHost().callNumber; }
  ~HostCall() {
    Host& host = TheHost();
    if (host.shortLivedCall != host.callNumber) host.shortLived.Expire();
  }
  HostCall(const HostCall&) = delete;
  HostCall& operator=(const HostCall&) = delete;
};

// Callers test host.logging first, so that a host without a log builds no arguments.
void Log(const char* call, std::vector<LogValue> args, std::optional<LogValue> result = std::nullopt) {
  Host& host = TheHost();
  if (!host.logging) return;
  host.log.push_back(LogEntry{call, std::move(args), std::move(result)});
}

// Keys stay in the order written: "call", "args", "result".
nlohmann::ordered_json ToJson(const LogValue& value) {
  return std::visit([](const auto& v) { return nlohmann::ordered_json(v); }, value);
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
  AppendJsonString(out, ToUtf8(task.id.c_str()));
  out += ",\"title\":";
  if (task.title) {
    AppendJsonString(out, ToUtf8(task.title->c_str()));
  } else {
    out += "null";
  }
  out += task.present ? ",\"present\":true" : ",\"present\":false";
  out += ",\"categories\":[";
  for (size_t i = 0; i < task.categories.size(); ++i) {
    if (i > 0) out += ',';
    AppendJsonString(out, ToUtf8(task.categories[i].c_str()));
  }
  out += "],\"priority\":";
  if (task.priority) {
    AppendJsonString(out, ToUtf8(task.priority->c_str()));
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
    AppendJsonString(out, ToUtf8(host.root->title->c_str()));
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

// The parser quotes the bytes it stopped at, malformed UTF-8 among them: those are shown as
// "\xFF" so that the message itself stays valid UTF-8.
std::string ValidUtf8(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else if (lead >= 0x80) {
      length = 0;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      valid = k == 1 ? c >= low && c <= high : (c & 0xC0) == 0x80;
    }
    if (valid) {
      out.append(text, i, length);
      i += length;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[lead >> 4];
      out += kHex[lead & 15];
      ++i;
    }
  }
  return out;
}

// Builds the tree from a parsed task file; iterative, as files may nest deeply. A task's
// position ("/children/0/children/2") is spelled out only for an error message: built for
// every task it would cost time in the square of the depth.
void LoadTree(const nlohmann::json& document) {
  using nlohmann::json;
  struct Place {
    size_t parent;  // index into places; the top level is its own parent
    size_t index;   // in the parent's "children"
  };
  std::vector<Place> places{{0, 0}};
  auto where = [&](size_t place, const char* field) {
    std::vector<size_t> indexes;
    for (; place != 0; place = places[place].parent) indexes.push_back(places[place].index);
    std::string text;
    for (auto i = indexes.rbegin(); i != indexes.rend(); ++i) text += "/children/" + std::to_string(*i);
    if (field != nullptr) text += field;
    return text.empty() ? std::string("top level") : text;
  };
  auto fail = [&](size_t place, const char* field, const std::string& what) {
    throw std::runtime_error(where(place, field) + ": " + what);
  };
  auto text = [&](const json& value, size_t place, const std::string& field) -> QxString {
    if (!value.is_string()) fail(place, field.c_str(), "expected a string");
    return FromUtf8(value.get<std::string>());
  };
  auto readFields = [&](const json& object, Task& task, size_t place) {
    const auto present = object.find("present");
    if (present != object.end()) {
      if (!present->is_boolean()) fail(place, "/present", "expected true or false");
      task.present = present->get<bool>();
    }
    const auto categories = object.find("categories");
    if (categories != object.end()) {
      if (!categories->is_array()) fail(place, "/categories", "expected an array of strings");
      for (size_t i = 0; i < categories->size(); ++i) {
        task.categories.push_back(text((*categories)[i], place, "/categories/" + std::to_string(i)));
      }
    }
    const auto priority = object.find("priority");
    if (priority != object.end() && !priority->is_null()) task.priority = text(*priority, place, "/priority");
  };

  Host& host = TheHost();
  if (!document.is_object()) fail(0, nullptr, "expected an object with \"title\" and \"children\"");
  const auto rootTitle = document.find("title");
  if (rootTitle != document.end() && !rootTitle->is_null()) host.root->title = text(*rootTitle, 0, "/title");
  readFields(document, *host.root, 0);
  host.root->present = true;

  struct Pending {
    const json* object;
    Task* parent;
    size_t place;
  };
  std::vector<Pending> stack{{&document, nullptr, 0}};
  std::vector<Task*> withoutId;
  // First every task with its own id, so that generated ids never clash with them.
  while (!stack.empty()) {
    const Pending item = stack.back();
    stack.pop_back();
    Task* task = host.root;
    if (item.parent != nullptr) {
      const json& object = *item.object;
      if (!object.is_object()) fail(item.place, nullptr, "expected a task object");
      QxString id;
      const auto given = object.find("id");
      const bool hasId = given != object.end();
      if (hasId) {
        id = text(*given, item.place, "/id");
        if (id.empty()) fail(item.place, "/id", "empty id");
        if (host.index.count(id) != 0) fail(item.place, "/id", "duplicate id \"" + ToUtf8(id.c_str()) + "\"");
        task = NewTask(item.parent);
        GiveId(task, std::move(id));
      } else {
        task = NewTask(item.parent);
        withoutId.push_back(task);
      }
      const auto title = object.find("title");
      if (title != object.end() && !title->is_null()) task->title = text(*title, item.place, "/title");
      readFields(object, *task, item.place);
    }
    const auto children = item.object->find("children");
    if (children != item.object->end()) {
      if (!children->is_array()) fail(item.place, "/children", "expected an array of tasks");
      // Pushed in reverse so that they come off the stack in order.
      for (size_t i = children->size(); i-- > 0;) {
        places.push_back({item.place, i});
        stack.push_back({&(*children)[i], task, places.size() - 1});
      }
    }
  }
  // Now that every given id is known, the others get fresh ones, in document order.
  for (Task* task : withoutId) GiveFreshId(task);
}

}  // namespace

extern "C" {

int QX_CDECL AddinQX_Task_IsPresent(const QxChar* taskUid) {
  HostCall call;
  const Task* task = Find(taskUid);
  const int result = task != nullptr && task->present ? 1 : 0;
  if (TheHost().logging) Log("AddinQX_Task_IsPresent", {Text(taskUid)}, result);
  return result;
}

int QX_CDECL AddinQX_Task_GetChildsCount(const QxChar* taskUid) {
  HostCall call;
  const Task* task = Find(taskUid);
  const int result = task != nullptr ? static_cast<int>(task->children.size()) : 0;
  if (TheHost().logging) Log("AddinQX_Task_GetChildsCount", {Text(taskUid)}, result);
  return result;
}

const QxChar* QX_CDECL AddinQX_Task_GetChildUID(const QxChar* taskUid, int index) {
  HostCall call;
  const Task* task = Find(taskUid);
  const QxChar* result = nullptr;
  if (task != nullptr && index >= 0 && static_cast<size_t>(index) < task->children.size()) {
    result = task->children[static_cast<size_t>(index)]->id.c_str();
  }
  if (TheHost().logging) Log("AddinQX_Task_GetChildUID", {Text(taskUid), index}, Text(result));
  return result;
}

const QxChar* QX_CDECL AddinQX_Task_GetTitle(const QxChar* taskUid) {
  HostCall call;
  Host& host = TheHost();
  const Task* task = Find(taskUid);
  const QxChar* result = nullptr;
  if (task != nullptr && task->title) {
    result = host.titleBuffer.Set(*task->title);
  } else {
    host.titleBuffer.Expire();
  }
  if (TheHost().logging) Log("AddinQX_Task_GetTitle", {Text(taskUid)}, Text(result));
  return result;
}

const QxChar* QX_CDECL AddinQX_Task_Insert(const QxChar* reserved1, const QxChar* parentUid,
                                           const QxChar* title, double currentDate, int reserved5,
                                           const QxChar* reserved6, double minDate, double maxDate) {
  HostCall call;
  Host& host = TheHost();
  Task* parent = Find(parentUid);
  const QxChar* result = nullptr;
  const bool refused = host.failingTitle && title != nullptr && *host.failingTitle == title;
  if (parent != nullptr && !refused) {
    Task* task = NewTaskWithFreshId(parent);
    task->title = QxString(title != nullptr ? title : QX_TEXT(""));
    task->inserted = true;
    task->currentDate = currentDate;
    task->minDate = minDate;
    task->maxDate = maxDate;
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
  HostCall call;
  if (TheHost().logging) Log("AddinQX_GetMaxDate", {}, TheHost().maxDate);
  return TheHost().maxDate;
}

double QX_CDECL AddinQX_GetMinDate(void) {
  HostCall call;
  if (TheHost().logging) Log("AddinQX_GetMinDate", {}, TheHost().minDate);
  return TheHost().minDate;
}

double QX_CDECL AddinQX_GetCurrDate(void) {
  HostCall call;
  if (TheHost().logging) Log("AddinQX_GetCurrDate", {}, TheHost().currentDate);
  return TheHost().currentDate;
}

int QX_CDECL AddinQX_Task_GetCategoriesCount(const QxChar* taskUid) {
  HostCall call;
  const Task* task = Find(taskUid);
  const int result = task != nullptr ? static_cast<int>(task->categories.size()) : 0;
  if (TheHost().logging) Log("AddinQX_Task_GetCategoriesCount", {Text(taskUid)}, result);
  return result;
}

const QxChar* QX_CDECL AddinQX_Task_GetCategoryUID(const QxChar* taskUid, int index) {
  HostCall call;
  const Task* task = Find(taskUid);
  const QxString* category = nullptr;
  if (task != nullptr && index >= 0 && static_cast<size_t>(index) < task->categories.size()) {
    category = &task->categories[static_cast<size_t>(index)];
  }
  const QxChar* result = ShortLived(category);
  if (TheHost().logging) Log("AddinQX_Task_GetCategoryUID", {Text(taskUid), index}, Text(result));
  return result;
}

void QX_CDECL AddinQX_Task_AddToCategory(const QxChar* taskUid, const QxChar* categoryUid) {
  HostCall call;
  if (TheHost().logging) Log("AddinQX_Task_AddToCategory", {Text(taskUid), Text(categoryUid)});
  Task* task = Find(taskUid);
  if (task != nullptr && categoryUid != nullptr) task->categories.emplace_back(categoryUid);
}

const QxChar* QX_CDECL AddinQX_Task_GetPriorityUID(const QxChar* taskUid) {
  HostCall call;
  const Task* task = Find(taskUid);
  const QxChar* result = ShortLived(task != nullptr && task->priority ? &*task->priority : nullptr);
  if (TheHost().logging) Log("AddinQX_Task_GetPriorityUID", {Text(taskUid)}, Text(result));
  return result;
}

void QX_CDECL AddinQX_Task_SetPriorityUID(const QxChar* taskUid, const QxChar* priorityUid) {
  HostCall call;
  if (TheHost().logging) Log("AddinQX_Task_SetPriorityUID", {Text(taskUid), Text(priorityUid)});
  Task* task = Find(taskUid);
  if (task == nullptr) return;
  if (priorityUid != nullptr) {
    task->priority = QxString(priorityUid);
  } else {
    task->priority.reset();
  }
}

void QX_CDECL AddinQX_ChangesStart(void) {
  HostCall call;
  Log("AddinQX_ChangesStart", {});
}

void QX_CDECL AddinQX_ChangesEnd(void) {
  HostCall call;
  Log("AddinQX_ChangesEnd", {});
}

void QX_CDECL AddinQX_ShowPopupCustom(const QxChar* markup, int duration) {
  HostCall call;
  if (TheHost().logging) Log("AddinQX_ShowPopupCustom", {Text(markup), duration});
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
  reason = ValidUtf8(reason);
  if (error != nullptr && errorSize > 0) {
    size_t size = std::min(reason.size(), static_cast<size_t>(errorSize) - 1);
    // Cut between characters, never inside one.
    while (size > 0 && size < reason.size() && (static_cast<unsigned char>(reason[size]) & 0xC0) == 0x80) {
      --size;
    }
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
  Task* task = NewTaskWithFreshId(parent);
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
      nlohmann::ordered_json line = nlohmann::ordered_json::object();
      line["call"] = entry.call;
      nlohmann::ordered_json args = nlohmann::ordered_json::array();
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

void QxStub_ClearPopups(void) { TheHost().popups.clear(); }

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
