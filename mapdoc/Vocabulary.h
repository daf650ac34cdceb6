// The names of the map format that both plug-ins use, each written exactly once.
#ifndef QX_MAPDOC_VOCABULARY_H
#define QX_MAPDOC_VOCABULARY_H

inline constexpr char kMap[] = "ap:Map";
inline constexpr char kNamespaceAttribute[] = "xmlns:ap";
inline constexpr char kOneTopic[] = "ap:OneTopic";
inline constexpr char kTopic[] = "ap:Topic";
inline constexpr char kSubTopics[] = "ap:SubTopics";
inline constexpr char kText[] = "ap:Text";
inline constexpr char kPlainText[] = "PlainText";
inline constexpr char kFont[] = "ap:Font";

inline constexpr char kXmlVersion[] = "1.0";
inline constexpr char kXmlEncoding[] = "UTF-8";
inline constexpr char kApplicationNamespace[] =
    "http://schemas.mindjet.com/MindManager/Application/2003";

#endif
