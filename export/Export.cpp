#include "export/Export.h"

#include "export/ResultPopup.h"
#include "mapdoc/MapFile.h"
#include "mapdoc/Vocabulary.h"
#include "platform/FileDialog.h"
#include "shell/Language.h"
#include "shell/TextConvert.h"

#include <tinyxml.h>

namespace {

constexpr int kFileNameSize = 1024;

// Sub-topics, then the title; the start task goes through here without the presence test.
bool FillTopic(TiXmlElement* topic, const QxChar* taskUid, int depth) {
  const int childCount = AddinQX_Task_GetChildsCount(taskUid);
  if (childCount > 0) {
    // Deeper maps could not be read back without exhausting the host's stack.
    if (depth >= kMaxTopicDepth) return false;
    auto* subTopics = new TiXmlElement(kSubTopics);
    topic->LinkEndChild(subTopics);
    for (int i = 0; i < childCount; ++i) {
      auto* child = new TiXmlElement(kTopic);
      subTopics->LinkEndChild(child);
      const QxChar* childUid = AddinQX_Task_GetChildUID(taskUid, i);
      // No identifier: keep the child's place, as for an absent task.
      if (childUid == nullptr) continue;
      if (!WriteTopicBranch(child, childUid, depth + 1)) return false;
    }
  }
  auto* text = new TiXmlElement(kText);
  topic->LinkEndChild(text);
  WideToMultiByteText title(AddinQX_Task_GetTitle(taskUid), kUtf8CodePage);
  const char* plain = title.Result() != nullptr ? title.Result() : "";
  // Titles almost never hold such characters: no copy for them.
  if (HasXmlForbiddenCharacters(plain)) {
    text->SetAttribute(kPlainText, WithoutXmlForbiddenCharacters(plain));
  } else {
    text->SetAttribute(kPlainText, plain);
  }
  text->LinkEndChild(new TiXmlElement(kFont));
  return true;
}

const QxChar* ResultMessage(bool saved) {
  if (IsRussianLanguage()) {
    return saved ? QX_TEXT("Данные успешно сохранены") : QX_TEXT("Не удалось сохранить данные");
  }
  return saved ? QX_TEXT("Successfully saved the data") : QX_TEXT("Failed to save the data");
}

}  // namespace

bool WriteTopicBranch(TiXmlElement* topic, const QxChar* taskUid, int depth) {
  if (AddinQX_Task_IsPresent(taskUid) == 0) return true;
  if (topic == nullptr) return true;
  return FillTopic(topic, taskUid, depth);
}

void RunExport(const QxChar* startTask) {
  static const QxChar kFilter[] = QX_TEXT("xmapp\0*.XMMAP\0");
  QxChar fileName[kFileNameSize] = {};
  OPENFILENAMEW request = {};
  request.lStructSize = sizeof(OPENFILENAMEW);
  request.lpstrFilter = kFilter;
  request.nFilterIndex = 1;
  request.lpstrFile = fileName;
  request.nMaxFile = kFileNameSize;
  request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
  request.lpstrDefExt = QX_TEXT("xmmap");
  if (GetSaveFileNameW(&request) == 0) return;

  bool saved = false;
  {
    TiXmlDocument document;
    document.LinkEndChild(new TiXmlDeclaration(kXmlVersion, kXmlEncoding, ""));
    auto* map = new TiXmlElement(kMap);
    document.LinkEndChild(map);
    map->SetAttribute(kNamespaceAttribute, kApplicationNamespace);
    auto* oneTopic = new TiXmlElement(kOneTopic);
    map->LinkEndChild(oneTopic);
    auto* centralTopic = new TiXmlElement(kTopic);
    oneTopic->LinkEndChild(centralTopic);
    // A branch too deep to read back is not saved at all.
    saved = FillTopic(centralTopic, startTask, 0) && SaveMapDocument(document, fileName);
  }
  ShowResultPopup(ResultMessage(saved));
}
