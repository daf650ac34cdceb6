// What each plug-in module supplies to the shared shell: its two captions and its command
// body, which is given the task to start from ("root" or a task's identifier).
#ifndef QX_SHELL_PLUGIN_H
#define QX_SHELL_PLUGIN_H

#include "shell/Language.h"

struct PluginDescription {
  CommandCaption mainCommand;
  CommandCaption taskMenuCommand;
  void (*runCommand)(const QxChar* taskUid);
};

/// Defined once by each module.
extern const PluginDescription kPlugin;

/// The task identifier in the context-menu argument: the text before the first "+", the
/// whole text without one, and empty for a null argument.
QxString ParseTaskMenuArgument(const QxChar* argument);

#endif
