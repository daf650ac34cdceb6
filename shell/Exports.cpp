// The five entry points, shared by both modules. Nothing may escape to the host: every
// failure, out-of-memory included, ends the call quietly.
#include "shell/Exports.h"

#include "shell/Plugin.h"

namespace {

const QxChar kRootTask[] = {'r', 'o', 'o', 't', 0};

void RunCommand(const QxChar* taskUid) {
  try {
    kPlugin.runCommand(taskUid);
  } catch (...) {
  }
}

}  // namespace

const QxChar* QX_CDECL GetMainCommandName(void) { return SelectCaption(kPlugin.mainCommand); }

const QxChar* QX_CDECL GetTaskMenuCommandName(void) {
  return SelectCaption(kPlugin.taskMenuCommand);
}

void QX_CDECL SetLanguage(const QxChar* language) {
  try {
    SetCurrentLanguage(language);
  } catch (...) {
  }
}

void QX_CDECL ExecuteMainCommand(void) { RunCommand(kRootTask); }

void QX_CDECL TaskMenuCommandExecute(const QxChar* argument) {
  try {
    const QxString taskUid = ParseTaskMenuArgument(argument);
    RunCommand(taskUid.c_str());
  } catch (...) {
  }
}
