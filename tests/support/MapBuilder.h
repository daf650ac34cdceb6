// Map documents built here in the tests, independently of the export's own code, so that a
// byte-exact comparison of the two means something.
#ifndef QX_TESTS_SUPPORT_MAPBUILDER_H
#define QX_TESTS_SUPPORT_MAPBUILDER_H

#include "mapdoc/Vocabulary.h"

#include <tinyxml.h>

#include <vector>

namespace qxtest {

// A topic as the export builds it: sub-topics first, then the title; absent: an empty topic.
struct TopicShape {
  const char* title;  // null: a task the host reports absent
  std::vector<TopicShape> children;
};

inline void AddTopic(TiXmlElement* topic, const TopicShape& shape) {
  if (shape.title == nullptr) return;
  if (!shape.children.empty()) {
    auto* subTopics = new TiXmlElement(kSubTopics);
    topic->LinkEndChild(subTopics);
    for (const TopicShape& child : shape.children) {
      auto* childTopic = new TiXmlElement(kTopic);
      subTopics->LinkEndChild(childTopic);
      AddTopic(childTopic, child);
    }
  }
  auto* text = new TiXmlElement(kText);
  topic->LinkEndChild(text);
  text->SetAttribute(kPlainText, shape.title);
  text->LinkEndChild(new TiXmlElement(kFont));
}

inline void BuildMap(TiXmlDocument& document, const TopicShape& central) {
  document.LinkEndChild(new TiXmlDeclaration(kXmlVersion, kXmlEncoding, ""));
  auto* map = new TiXmlElement(kMap);
  document.LinkEndChild(map);
  map->SetAttribute(kNamespaceAttribute, kApplicationNamespace);
  auto* oneTopic = new TiXmlElement(kOneTopic);
  map->LinkEndChild(oneTopic);
  auto* topic = new TiXmlElement(kTopic);
  oneTopic->LinkEndChild(topic);
  AddTopic(topic, central);
}

}  // namespace qxtest

#endif
