// What this module gives the shared shell: its captions and its command.
#include "shell/Plugin.h"

#include "export/Export.h"

const PluginDescription kPlugin = {
    {QX_TEXT("Export all tasks to MindManager"), QX_TEXT("Экспорт всех задач в MindManager")},
    {QX_TEXT("Export task branch to MindManager"), QX_TEXT("Экспорт ветки задач в MindManager")},
    RunExport,
};
