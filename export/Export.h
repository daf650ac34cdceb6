// The export plug-in's command: the host's task tree, or one branch of it, as a map file.
#ifndef QX_EXPORT_EXPORT_H
#define QX_EXPORT_EXPORT_H

#include "platform/Platform.h"

class TiXmlElement;

/// Asks for a file, writes the branch under `startTask` ("root" for the whole tree) to it
/// and tells the user in the host's popup whether the data was saved. Cancel ends silently.
void RunExport(const QxChar* startTask);

/// Fills `topic` with the task's sub-topics and title, or leaves it empty for a task the
/// host reports absent. `depth` is the topic's nesting below the central topic. False when
/// the branch nests deeper than the map may (the document is then incomplete).
bool WriteTopicBranch(TiXmlElement* topic, const QxChar* taskUid, int depth);

#endif
