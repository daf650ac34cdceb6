// What this module gives the shared shell: its captions and its command.
#include "shell/Plugin.h"

#include "import/Import.h"

const PluginDescription kPlugin = {
    {QX_TEXT("Import tasks from MindManager"), QX_TEXT("Импорт задач из MindManager")},
    {QX_TEXT("Import intel-card to this task"),
     QX_TEXT("Импортировать интеллект-карту к данной задаче")},
    RunImport,
};
