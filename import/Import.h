// The import plug-in's command: one new host task per topic of a map file.
#ifndef QX_IMPORT_IMPORT_H
#define QX_IMPORT_IMPORT_H

#include "platform/Platform.h"

class TiXmlElement;

/// Asks for a map file and creates its topics below `parent` ("root" or a task), inside one
/// change batch. Cancel, or a file that does not load, changes nothing in the host.
void RunImport(const QxChar* parent);

/// Creates the task for `topic` under `parent`, with the parent's categories and priority,
/// then the tasks of its sub-topics under it.
void ImportTopic(const TiXmlElement* topic, const QxChar* parent);

#endif
