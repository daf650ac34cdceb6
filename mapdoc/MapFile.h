// How a map document reaches the disk and comes back: the exact file layout, a save that
// never destroys the previous file, and a load that refuses what would exhaust the stack.
#ifndef QX_MAPDOC_MAPFILE_H
#define QX_MAPDOC_MAPFILE_H

#include "platform/Platform.h"

#include <cstddef>
#include <string>

class TiXmlDocument;

/// Deepest element nesting that a map may have. Parsing, destroying and walking a document
/// each recurse once per level, on the host's thread and its 1 MiB stack.
///
/// Measured with qx_stack_probe (tests/StackProbe.cpp): maps of nested ap:Topic/ap:SubTopics
/// pairs, bisected in child processes, the phase under test in a thread with a 1 MiB stack.
/// Element levels that still fit in 1 MiB:
///   x86_64 Linux, Debian TinyXML 2.6.2, RelWithDebInfo: parse 4,659 (225 bytes a level),
///   document destructor 10,843, import walk 11,835.
///   x86_64 Windows build under wine (MinGW, TinyXML from Debian's source): parse 2,951
///   (about 355 bytes a level); the import walk still fits at 16,000.
/// 700 element levels (about 350 nested topics) is far above real maps, which nest a few
/// dozen topics, and 4.2 times below the smallest overflow measured (the Windows parse).
inline constexpr int kMaxElementDepth = 700;

/// Deepest topic nesting below the central topic that the export writes: keeps every map we
/// write within kMaxElementDepth (each topic level is an ap:Topic and an ap:SubTopics; the
/// declaration's ap:Map, ap:OneTopic and the innermost ap:Text/ap:Font take the rest).
inline constexpr int kMaxTopicDepth = (kMaxElementDepth - 6) / 2;

/// Leaves out of UTF-8 `text` the characters that XML 1.0 forbids (control characters other
/// than tab, LF and CR, and U+FFFE/U+FFFF): written as references they make the whole map
/// unreadable to strict parsers.
std::string WithoutXmlForbiddenCharacters(const char* text);

/// True when WithoutXmlForbiddenCharacters would leave anything out of `text`.
bool HasXmlForbiddenCharacters(const char* text);

/// Deepest element nesting in a stream of XML bytes, read in chunks; stops counting once
/// `limit` is passed and returns limit + 1 then. Quoted attribute values, comments, CDATA,
/// processing instructions and declarations do not count.
class ElementDepthScanner {
 public:
  explicit ElementDepthScanner(int limit) : limit_(limit) {}
  void Feed(const char* data, std::size_t size);
  int MaxDepth() const { return maxDepth_; }
  bool Exceeded() const { return maxDepth_ > limit_; }
  /// False when the library would read past the end of the text: the text holds a NUL byte,
  /// or it ends inside a multi-byte character that the library steps over whole.
  bool Readable() const;

 private:
  enum class State {
    Text, TagStart, StartTag, EndTag, Quoted, Markup, Comment, CData, PiStart,
    // Inside "<?xml ...>", read field by field as the XML library reads it, since a quoted
    // value may hold a ">" there (or not, where the library does not take it as a value).
    DeclSkip, DeclWord, DeclReadOver, DeclName, DeclBeforeEquals, DeclAfterEquals,
    DeclQuoted, DeclUnquoted,
    Stopped,  // the library stops reading here: nothing after it can nest
  };
  struct PlainRun;
  static const PlainRun* PlainRunOf(State state);
  const char* SkipPlain(const char* p, const char* end);
  void DeclarationStep(char c);
  void DeclarationByte(char c);
  bool SkipsWhiteSpace(char c);
  bool SkipsCharacterRest(char c);
  int limit_;
  int depth_ = 0;
  int maxDepth_ = 0;
  State state_ = State::Text;
  char quote_ = 0;
  char previous_ = 0;
  std::string pending_;  // the first bytes of a "<!" construct, to tell its kind
  int closeMatch_ = 0;   // bytes matched of the construct's closing sequence
  std::string word_;     // the declaration's field name so far, as given
  std::string skipped_;  // the first bytes of what may be a skipped UTF-8 mark
  int characterRest_ = 0;  // bytes of a multi-byte character still to step over
  bool nul_ = false;
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
