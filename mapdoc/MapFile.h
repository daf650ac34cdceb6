// How a map document reaches the disk and comes back: the exact file layout, a save that
// never destroys the previous file, and a load that refuses what would exhaust the stack.
#ifndef QX_MAPDOC_MAPFILE_H
#define QX_MAPDOC_MAPFILE_H

#include "platform/Platform.h"

#include <cstddef>
#include <string>

class TiXmlDocument;

/// Deepest element nesting that a map may have. Parsing, destroying and walking a document
/// each recurse once per level, inside the host's thread and its 1 MiB stack.
///
/// Measured with tests/StackProbe.cpp on a thread with a 1 MiB stack (the stack of a Windows
/// main thread), nesting ap:Topic/ap:SubTopics pairs until the process overflows:
///   x86_64 Linux, Debian TinyXML:      parse overflows near 4,600 element levels;
///   x86_64 Windows build under wine:   see the same probe, run by the Windows test suite.
/// 1,000 levels (about 500 nested topics) is far above real maps, which nest a few dozen
/// topics, and more than four times below the smallest overflow measured.
inline constexpr int kMaxElementDepth = 1000;

/// Deepest topic nesting below the central topic that the export writes: keeps every map we
/// write within kMaxElementDepth (each topic level is an ap:Topic and an ap:SubTopics; the
/// declaration's ap:Map, ap:OneTopic and the innermost ap:Text/ap:Font take the rest).
inline constexpr int kMaxTopicDepth = (kMaxElementDepth - 6) / 2;

/// Leaves out of UTF-8 `text` the characters that XML 1.0 forbids (control characters other
/// than tab, LF and CR, and U+FFFE/U+FFFF): written as references they make the whole map
/// unreadable to strict parsers.
std::string WithoutXmlForbiddenCharacters(const char* text);

/// Deepest element nesting in a stream of XML bytes, read in chunks; stops counting once
/// `limit` is passed and returns limit + 1 then. Quoted attribute values, comments, CDATA,
/// processing instructions and declarations do not count.
class ElementDepthScanner {
 public:
  explicit ElementDepthScanner(int limit) : limit_(limit) {}
  void Feed(const char* data, std::size_t size);
  int MaxDepth() const { return maxDepth_; }
  bool Exceeded() const { return maxDepth_ > limit_; }

 private:
  enum class State { Text, TagStart, StartTag, EndTag, Quoted, Markup, Comment, CData };
  int limit_;
  int depth_ = 0;
  int maxDepth_ = 0;
  State state_ = State::Text;
  char quote_ = 0;
  char previous_ = 0;
  std::string pending_;  // the first bytes of a "<!" construct, to tell its kind
  int closeMatch_ = 0;   // bytes matched of the construct's closing sequence
};

/// Saves `document` to `path`: UTF-8 without byte-order mark, CR LF after every line. A
/// regular or missing target is replaced only by a complete, closed copy; any other target
/// (a device, a pipe, a link) is written in place. False when anything failed, the final
/// flush and close included.
bool SaveMapDocument(const TiXmlDocument& document, const QxChar* path);

/// Loads `path` as UTF-8, whatever its declaration says. False when the file cannot be
/// read, is not well-formed, or nests deeper than kMaxElementDepth.
bool LoadMapDocument(TiXmlDocument& document, const QxChar* path);

#endif
