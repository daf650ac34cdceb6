// Loads a module with dlopen; its dialogs are the stand-in's, answered by the script.
#include "support/DialogRequest.h"

#include <dlfcn.h>

namespace qxtest {

namespace {

class ScriptResponder : public DialogResponder {
 public:
  explicit ScriptResponder(DialogScript& script) : script_(script) {}
  std::optional<std::string> Ask(const OPENFILENAMEW& request, bool save) override {
    return NextAnswer(script_, DescribeRequest(request, save));
  }
  bool ConfirmOverwrite(const std::string&) override { return script_.confirmOverwrite; }
  void Refuse(const std::string& message) override { script_.refusals.push_back(message); }

 private:
  DialogScript& script_;
};

}  // namespace

struct PluginModule::Impl {
  void* handle = nullptr;
  const QxChar* (*mainName)() = nullptr;
  const QxChar* (*taskName)() = nullptr;
  void (*setLanguage)(const QxChar*) = nullptr;
  void (*executeMain)() = nullptr;
  void (*executeTask)(const QxChar*) = nullptr;
  std::unique_ptr<ScriptResponder> responder;
};

PluginModule::PluginModule(const std::string& path) : impl_(new Impl) {
  impl_->handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (impl_->handle == nullptr) return;
  auto resolve = [&](auto& function, const char* name) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(impl_->handle, name));
  };
  resolve(impl_->mainName, "GetMainCommandName");
  resolve(impl_->taskName, "GetTaskMenuCommandName");
  resolve(impl_->setLanguage, "SetLanguage");
  resolve(impl_->executeMain, "ExecuteMainCommand");
  resolve(impl_->executeTask, "TaskMenuCommandExecute");
}

PluginModule::~PluginModule() {
  SetDialogResponder(nullptr);
  if (impl_->handle != nullptr) ::dlclose(impl_->handle);
}

bool PluginModule::Loaded() const {
  return impl_->handle != nullptr && impl_->mainName && impl_->taskName && impl_->setLanguage &&
         impl_->executeMain && impl_->executeTask;
}

const QxChar* PluginModule::MainCommandName() const { return impl_->mainName(); }
const QxChar* PluginModule::TaskMenuCommandName() const { return impl_->taskName(); }
void PluginModule::SetLanguage(const QxChar* language) const { impl_->setLanguage(language); }
void PluginModule::ExecuteMainCommand() const { impl_->executeMain(); }
void PluginModule::TaskMenuCommandExecute(const QxChar* argument) const { impl_->executeTask(argument); }

void PluginModule::SetDialogScript(DialogScript* script) {
  impl_->responder.reset(script != nullptr ? new ScriptResponder(*script) : nullptr);
  SetDialogResponder(impl_->responder.get());
}

}  // namespace qxtest
