#include "import/Import.h"

#include "mapdoc/MapFile.h"
#include "mapdoc/Vocabulary.h"
#include "platform/FileDialog.h"
#include "shell/TextConvert.h"

#include <tinyxml.h>

namespace {

constexpr int kFileNameSize = 1024;
const QxChar kEmpty[] = {0};

const TiXmlElement* FirstChild(const TiXmlNode* node, const char* name) {
  return node != nullptr ? node->FirstChildElement(name) : nullptr;
}

// The first ap:Topic of an ap:SubTopics and every element after it, whatever its name.
void ImportTopics(const TiXmlElement* subTopics, const QxChar* parent) {
  for (const TiXmlElement* topic = FirstChild(subTopics, kTopic); topic != nullptr;
       topic = topic->NextSiblingElement()) {
    ImportTopic(topic, parent);
  }
}

// Closes the change batch however the walk ends.
class ChangeBatch {
 public:
  ChangeBatch() { AddinQX_ChangesStart(); }
  ~ChangeBatch() { AddinQX_ChangesEnd(); }
  ChangeBatch(const ChangeBatch&) = delete;
  ChangeBatch& operator=(const ChangeBatch&) = delete;
};

}  // namespace

void ImportTopic(const TiXmlElement* topic, const QxChar* parent) {
  const double maxDate = AddinQX_GetMaxDate();
  const double minDate = AddinQX_GetMinDate();
  const double currentDate = AddinQX_GetCurrDate();
  QxString newUid;
  {
    const TiXmlElement* text = FirstChild(topic, kText);
    const MultiByteToWideText title(text != nullptr ? text->Attribute(kPlainText) : nullptr,
                                    kUtf8CodePage);
    const QxChar* inserted =
        AddinQX_Task_Insert(kEmpty, parent, title.Result() != nullptr ? title.Result() : kEmpty,
                            currentDate, 0, kEmpty, minDate, maxDate);
    // Without a task there is nothing to give categories or sub-tasks to.
    if (inserted == nullptr) return;
    newUid = inserted;
  }

  const int categoryCount = AddinQX_Task_GetCategoriesCount(parent);
  for (int i = 0; i < categoryCount; ++i) {
    AddinQX_Task_AddToCategory(newUid.c_str(), AddinQX_Task_GetCategoryUID(parent, i));
  }
  AddinQX_Task_SetPriorityUID(newUid.c_str(), AddinQX_Task_GetPriorityUID(parent));

  ImportTopics(FirstChild(topic, kSubTopics), newUid.c_str());
}

void RunImport(const QxChar* parent) {
  static const QxChar kFilter[] = QX_TEXT("xmmap\0*.xmmap\0");
  QxChar fileName[kFileNameSize] = {};
  OPENFILENAMEW request = {};
  request.lStructSize = sizeof(OPENFILENAMEW);
  request.lpstrFilter = kFilter;
  request.nFilterIndex = 1;
  request.lpstrFile = fileName;
  request.nMaxFile = kFileNameSize;
  request.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  request.lpstrDefExt = QX_TEXT("xmmap");
  if (GetOpenFileNameW(&request) == 0) return;

  TiXmlDocument document;
  if (!LoadMapDocument(document, fileName)) return;
  // TinyXML accepts text without any element, such as a UTF-16 file without byte-order mark
  // (read up to its first NUL byte: "<"). That is no XML at all, so no map either.
  if (document.RootElement() == nullptr) return;

  ChangeBatch batch;
  const TiXmlElement* centralTopic = FirstChild(FirstChild(FirstChild(&document, kMap), kOneTopic), kTopic);
  ImportTopics(FirstChild(centralTopic, kSubTopics), parent);
}
