// Loads a module with LoadLibraryW, as the host does. Its file dialogs are the real ones from
// comdlg32.dll; a script answers them by replacing the module's imports of the two dialog
// functions in its import address table, so the script sees the very OPENFILENAMEW that the
// module filled in.
#include "support/DialogRequest.h"

#include <cstring>
#include <map>

namespace qxtest {

namespace {

using DialogFunction = BOOL(WINAPI*)(LPOPENFILENAMEW);

// The script of each patched module; a scripted dialog finds it from its caller's address.
std::map<HMODULE, DialogScript*>& Scripts() {
  static std::map<HMODULE, DialogScript*> scripts;
  return scripts;
}

HMODULE ModuleAt(const void* address) {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(address), &module);
  return module;
}

BOOL Answer(LPOPENFILENAMEW request, bool save, const void* caller) {
  const auto found = Scripts().find(ModuleAt(caller));
  if (found == Scripts().end() || found->second == nullptr || request == nullptr) return FALSE;
  const std::optional<std::string> answer = NextAnswer(*found->second, DescribeRequest(*request, save));
  if (!answer || !FillAnswer(*request, *answer)) return FALSE;
  // The offsets the real dialog reports with the path.
  const std::wstring chosen(request->lpstrFile);
  const size_t separator = chosen.find_last_of(L"\\/");
  const size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
  const size_t dot = chosen.find_last_of(L'.');
  request->nFileOffset = static_cast<WORD>(nameStart);
  request->nFileExtension =
      static_cast<WORD>(dot != std::wstring::npos && dot >= nameStart ? dot + 1 : chosen.size());
  return TRUE;
}

BOOL WINAPI ScriptedSave(LPOPENFILENAMEW request) {
  return Answer(request, true, __builtin_return_address(0));
}

BOOL WINAPI ScriptedOpen(LPOPENFILENAMEW request) {
  return Answer(request, false, __builtin_return_address(0));
}

// The import address table slot of `function` imported from comdlg32.dll, or null.
void** ImportSlot(HMODULE module, const char* function) {
  auto* base = reinterpret_cast<unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    if (::_stricmp(reinterpret_cast<const char*>(base + descriptor->Name), "comdlg32.dll") != 0) continue;
    if (descriptor->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
        return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

bool WriteSlot(void** slot, void* value) {
  DWORD oldProtection = 0;
  if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &oldProtection)) return false;
  *slot = value;
  DWORD ignored = 0;
  ::VirtualProtect(slot, sizeof *slot, oldProtection, &ignored);
  ::FlushInstructionCache(::GetCurrentProcess(), slot, sizeof *slot);
  return true;
}

}  // namespace

struct PluginModule::Impl {
  HMODULE handle = nullptr;
  const QxChar*(QX_CDECL* mainName)() = nullptr;
  const QxChar*(QX_CDECL* taskName)() = nullptr;
  void(QX_CDECL* setLanguage)(const QxChar*) = nullptr;
  void(QX_CDECL* executeMain)() = nullptr;
  void(QX_CDECL* executeTask)(const QxChar*) = nullptr;
  void** saveSlot = nullptr;
  void** openSlot = nullptr;
  void* realSave = nullptr;
  void* realOpen = nullptr;
};

PluginModule::PluginModule(const std::string& path) : impl_(new Impl) {
  impl_->handle = ::LoadLibraryW(Wide(path).c_str());
  if (impl_->handle == nullptr) return;
  auto resolve = [&](auto& function, const char* name) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
        reinterpret_cast<void*>(::GetProcAddress(impl_->handle, name)));
  };
  resolve(impl_->mainName, "GetMainCommandName");
  resolve(impl_->taskName, "GetTaskMenuCommandName");
  resolve(impl_->setLanguage, "SetLanguage");
  resolve(impl_->executeMain, "ExecuteMainCommand");
  resolve(impl_->executeTask, "TaskMenuCommandExecute");
  impl_->saveSlot = ImportSlot(impl_->handle, "GetSaveFileNameW");
  impl_->openSlot = ImportSlot(impl_->handle, "GetOpenFileNameW");
  if (impl_->saveSlot != nullptr) impl_->realSave = *impl_->saveSlot;
  if (impl_->openSlot != nullptr) impl_->realOpen = *impl_->openSlot;
}

PluginModule::~PluginModule() {
  if (impl_->handle == nullptr) return;
  SetDialogScript(nullptr);
  ::FreeLibrary(impl_->handle);
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
  if (impl_->handle == nullptr) return;
  DialogFunction save = &ScriptedSave;
  DialogFunction open = &ScriptedOpen;
  if (script != nullptr) {
    Scripts()[impl_->handle] = script;
    if (impl_->saveSlot != nullptr) WriteSlot(impl_->saveSlot, reinterpret_cast<void*>(save));
    if (impl_->openSlot != nullptr) WriteSlot(impl_->openSlot, reinterpret_cast<void*>(open));
  } else {
    Scripts().erase(impl_->handle);
    if (impl_->saveSlot != nullptr) WriteSlot(impl_->saveSlot, impl_->realSave);
    if (impl_->openSlot != nullptr) WriteSlot(impl_->openSlot, impl_->realOpen);
  }
}

}  // namespace qxtest
