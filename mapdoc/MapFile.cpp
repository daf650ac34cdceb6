#include "mapdoc/MapFile.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

bool IsNameStart(unsigned char c) {
  // As the XML library decides what starts an element: it takes every byte from DEL (0x7F)
  // up for a letter, so the bytes of UTF-8 sequences count, and DEL with them.
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x7F;
}

bool SaveToFile(const TiXmlDocument& document, std::FILE* file) {
  const bool written = document.SaveFile(file);
  return CloseFile(file) && written;
}

// How many bytes follow `lead` in the character it starts, as the library reckons: it trusts
// the first byte and steps over the rest, whatever they are.
constexpr int CharacterRest(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return 0;
}

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

bool HasZeroByte(std::uint64_t word) { return ((word - kOnes) & ~word & kHighBits) != 0; }
bool HasByte(std::uint64_t word, unsigned char byte) { return HasZeroByte(word ^ (kOnes * byte)); }

// What ends a run of plain bytes in a state, besides NUL: up to three bytes (repeated to fill
// the three places) and perhaps the first bytes of multi-byte characters. (CR LF counting as
// one byte matters only inside a multi-byte character, so CR does not end a run.)
struct RunStops {
  unsigned char bytes[3];
  bool leadBytes;
};

}  // namespace

// The bytes that change nothing in a state but the previous byte, built from its RunStops:
// a table for one byte at a time, and a quick test of eight at once that refuses at least
// every word holding a byte the table refuses.
struct ElementDepthScanner::PlainRun {
  bool bytes[256] = {};
  std::uint64_t high = 0;  // bits that no plain word has set
  unsigned char stops[3] = {};

  constexpr explicit PlainRun(RunStops what) {
    for (int b = 1; b < 256; ++b) {
      const bool lead = CharacterRest(static_cast<unsigned char>(b)) != 0;
      bytes[b] = !(what.leadBytes && lead) && b != what.bytes[0] && b != what.bytes[1] &&
                 b != what.bytes[2];
    }
    high = what.leadBytes ? kHighBits : 0;
    for (int i = 0; i < 3; ++i) stops[i] = what.bytes[i];
  }

  bool Plain(std::uint64_t word) const {
    return (word & high) == 0 && !HasZeroByte(word) && !HasByte(word, stops[0]) &&
           !HasByte(word, stops[1]) && !HasByte(word, stops[2]);
  }
};

const ElementDepthScanner::PlainRun* ElementDepthScanner::PlainRunOf(State state) {
  static constexpr PlainRun kText(RunStops{{'<', '<', '<'}, true});
  static constexpr PlainRun kQuoted(RunStops{{'"', '\'', '"'}, true});
  static constexpr PlainRun kStartTag(RunStops{{'"', '\'', '>'}, false});
  static constexpr PlainRun kEndTag(RunStops{{'>', '>', '>'}, false});
  switch (state) {
    case State::Text: return &kText;
    case State::Quoted: return &kQuoted;
    case State::StartTag: return &kStartTag;
    case State::EndTag: return &kEndTag;
    default: return nullptr;
  }
}

// Steps over the bytes from `p` that change nothing but the previous byte in the current
// state; returns where the first byte that matters stands (or `end`).
const char* ElementDepthScanner::SkipPlain(const char* p, const char* const end) {
  const PlainRun* plain = PlainRunOf(state_);
  if (plain == nullptr) return p;
  // Where the library steps over whole characters, a character whose other bytes hold no CR
  // (one byte less with CR LF) and no NUL (refused) is just as plain.
  const bool wholeCharacters = state_ == State::Text || state_ == State::Quoted;
  const char* const run = p;
  while (p < end) {
    std::uint64_t word;
    if (end - p >= 8 && (std::memcpy(&word, p, 8), plain->Plain(word))) {
      p += 8;
      continue;
    }
    const auto byte = static_cast<unsigned char>(*p);
    if (plain->bytes[byte]) {
      ++p;
      continue;
    }
    const int rest = wholeCharacters ? CharacterRest(byte) : 0;
    if (rest == 0 || end - p <= rest) break;
    bool whole = true;
    for (int k = 1; k <= rest; ++k) whole = whole && p[k] != '\r' && p[k] != '\0';
    if (!whole) break;
    p += rest + 1;
  }
  if (p != run) previous_ = p[-1];
  return p;
}

namespace {

// How many bytes at `text` (of `length`) make a character that XML 1.0 forbids; 0 for an
// allowed one. U+FFFE and U+FFFF are EF BF BE and EF BF BF.
size_t ForbiddenLength(const char* text, size_t length) {
  const auto c = static_cast<unsigned char>(text[0]);
  if (c < 0x20) return c != '\t' && c != '\n' && c != '\r' ? 1 : 0;
  if (c == 0xEF && length > 2 && static_cast<unsigned char>(text[1]) == 0xBF &&
      (static_cast<unsigned char>(text[2]) & 0xFE) == 0xBE) {
    return 3;
  }
  return 0;
}

}  // namespace

bool HasXmlForbiddenCharacters(const char* text) {
  if (text == nullptr) return false;
  const size_t length = std::strlen(text);
  for (size_t i = 0; i < length; ++i) {
    if (ForbiddenLength(text + i, length - i) != 0) return true;
  }
  return false;
}

std::string WithoutXmlForbiddenCharacters(const char* text) {
  std::string result;
  if (text == nullptr) return result;
  const size_t length = std::strlen(text);
  result.reserve(length);
  for (size_t i = 0; i < length;) {
    const size_t forbidden = ForbiddenLength(text + i, length - i);
    if (forbidden == 0) result += text[i];
    i += forbidden != 0 ? forbidden : 1;
  }
  return result;
}

void ElementDepthScanner::Feed(const char* data, std::size_t size) {
  const char* const end = data + size;
  for (const char* p = data; p < end && !Exceeded(); ++p) {
    if (characterRest_ == 0) {
      p = SkipPlain(p, end);
      if (p == end) break;
    }
    char c = *p;
    // The library reads CR LF and a lone CR as one LF, and nothing after a NUL byte.
    if (c == '\n' && previous_ == '\r') {
      previous_ = 0;
      continue;
    }
    if (c == '\0' && state_ != State::Stopped) nul_ = true;
    switch (state_) {
      case State::Text:
        if (SkipsCharacterRest(c)) break;
        if (c == '<') state_ = State::TagStart;
        break;
      case State::TagStart:
        if (c == '/') {
          state_ = State::EndTag;
        } else if (c == '!') {
          pending_ = "<!";
          state_ = State::Markup;
        } else if (c == '>') {
          state_ = State::Text;  // "<>"
        } else if (IsNameStart(static_cast<unsigned char>(c))) {
          maxDepth_ = std::max(maxDepth_, ++depth_);
          state_ = State::StartTag;
        } else if (c == '?') {
          pending_ = "<?";
          state_ = State::PiStart;
        } else {
          pending_.clear();
          state_ = State::Markup;  // anything else runs to the next ">"
        }
        break;
      case State::PiStart:
        // "<?xml", in any case, is the declaration; other instructions run to the next ">".
        pending_ += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (std::strncmp(pending_.c_str(), "<?xml", pending_.size()) != 0) {
          pending_.clear();
          state_ = c == '>' ? State::Text : State::Markup;
        } else if (pending_.size() == 5) {
          pending_.clear();
          state_ = State::DeclSkip;
        }
        break;
      case State::DeclSkip:
      case State::DeclWord:
      case State::DeclReadOver:
      case State::DeclName:
      case State::DeclBeforeEquals:
      case State::DeclAfterEquals:
      case State::DeclQuoted:
      case State::DeclUnquoted:
        DeclarationStep(c);
        break;
      case State::Stopped:
        return;
      case State::StartTag:
        if (c == '"' || c == '\'') {
          quote_ = c;
          state_ = State::Quoted;
        } else if (c == '>') {
          if (previous_ == '/') --depth_;
          state_ = State::Text;
        }
        break;
      case State::Quoted:
        if (SkipsCharacterRest(c)) break;
        if (c == quote_) state_ = State::StartTag;
        break;
      case State::EndTag:
        if (c == '>') {
          if (depth_ > 0) --depth_;
          state_ = State::Text;
        }
        break;
      case State::Markup:
        // Tell "<!--" and "<![CDATA[" from other declarations by their first bytes.
        if (!pending_.empty() && pending_.size() < 9) {
          pending_ += c;
          if (pending_ == "<!--") {
            state_ = State::Comment;
            closeMatch_ = 0;
            break;
          }
          if (pending_ == "<![CDATA[") {
            state_ = State::CData;
            closeMatch_ = 0;
            break;
          }
          if (std::strncmp(pending_.c_str(), "<!--", pending_.size()) != 0 &&
              std::strncmp(pending_.c_str(), "<![CDATA[", pending_.size()) != 0) {
            pending_.clear();
          }
        }
        if (c == '>') {
          pending_.clear();
          state_ = State::Text;
        }
        break;
      case State::Comment:
      case State::CData: {
        const char closing = state_ == State::Comment ? '-' : ']';
        if (c == closing) {
          closeMatch_ = std::min(closeMatch_ + 1, 2);
        } else if (c == '>' && closeMatch_ == 2) {
          state_ = State::Text;
          pending_.clear();
        } else {
          closeMatch_ = 0;
        }
        break;
      }
    }
    previous_ = c;
  }
}

bool ElementDepthScanner::Readable() const {
  return !nul_ && (characterRest_ == 0 || state_ == State::Stopped) && skipped_.empty();
}

namespace {

bool IsWhiteSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool IsNameByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x7F || std::isalnum(u) || c == '_' || c == '-' || c == '.' || c == ':';
}

constexpr const char* kDeclarationFields[] = {"version", "encoding", "standalone"};

}  // namespace

// In character data and quoted values the library steps over a character at a time, taking
// the length of a multi-byte character from its first byte whatever follows, so the bytes it
// steps over ("<" or a quote among them) mean nothing. True when `c` is such a byte.
bool ElementDepthScanner::SkipsCharacterRest(char c) {
  if (characterRest_ > 0) {
    --characterRest_;
    return true;
  }
  characterRest_ = CharacterRest(static_cast<unsigned char>(c));
  return false;
}

void ElementDepthScanner::DeclarationStep(char c) {
  const bool skipping = state_ == State::DeclSkip || state_ == State::DeclBeforeEquals ||
                        state_ == State::DeclAfterEquals;
  if (skipping && SkipsWhiteSpace(c)) return;
  DeclarationByte(c);
}

// Between the declaration's fields the library skips white space and, with it, the UTF-8
// byte-order mark and the UTF-8 forms of U+FFFE and U+FFFF. True when `c` went that way.
bool ElementDepthScanner::SkipsWhiteSpace(char c) {
  if (skipped_.empty()) {
    if (IsWhiteSpace(c)) return true;
    if (static_cast<unsigned char>(c) != 0xEF) return false;
    skipped_ += c;
    return true;
  }
  skipped_ += c;
  const auto second = static_cast<unsigned char>(skipped_[1]);
  if (skipped_.size() == 2 && (second == 0xBB || second == 0xBF)) return true;
  if (skipped_.size() == 3) {
    const auto third = static_cast<unsigned char>(skipped_[2]);
    if ((second == 0xBB && third == 0xBF) || (second == 0xBF && (third == 0xBE || third == 0xBF))) {
      skipped_.clear();
      return true;
    }
  }
  // None of them: the bytes count one by one, the first as it stands.
  std::string bytes;
  bytes.swap(skipped_);
  DeclarationByte(bytes[0]);
  for (size_t i = 1; i < bytes.size() && state_ != State::Stopped && state_ != State::Text; ++i) {
    DeclarationStep(bytes[i]);
  }
  return true;
}

// One byte of the declaration that is not skipped white space.
void ElementDepthScanner::DeclarationByte(char c) {
  switch (state_) {
    case State::DeclSkip:
      if (c == '>') {
        state_ = State::Text;
      } else {
        word_.clear();
        state_ = State::DeclWord;
        DeclarationByte(c);
      }
      return;
    case State::DeclWord: {
      word_ += c;
      std::string lower = word_;
      for (char& b : lower) b = static_cast<char>(std::tolower(static_cast<unsigned char>(b)));
      bool prefix = false;
      for (const char* field : kDeclarationFields) {
        if (lower == field) {
          state_ = State::DeclName;
          return;
        }
        if (std::strncmp(field, lower.c_str(), lower.size()) == 0) prefix = true;
      }
      if (prefix) return;
      // Not a field: the library reads over it up to white space or ">".
      std::string bytes;
      bytes.swap(word_);
      state_ = State::DeclReadOver;
      for (size_t i = 0; i < bytes.size() && state_ == State::DeclReadOver; ++i) DeclarationByte(bytes[i]);
      return;
    }
    case State::DeclReadOver:
      if (c == '>') state_ = State::Text;
      else if (IsWhiteSpace(c)) state_ = State::DeclSkip;
      return;
    case State::DeclName:
      if (IsNameByte(c)) return;
      state_ = State::DeclBeforeEquals;
      DeclarationStep(c);
      return;
    case State::DeclBeforeEquals:
      state_ = c == '=' ? State::DeclAfterEquals : State::Stopped;
      return;
    case State::DeclAfterEquals:
      if (c == '"' || c == '\'') {
        quote_ = c;
        state_ = State::DeclQuoted;
      } else {
        state_ = State::DeclUnquoted;
        DeclarationByte(c);
      }
      return;
    case State::DeclQuoted:
      if (SkipsCharacterRest(c)) return;
      if (c == quote_) state_ = State::DeclSkip;
      return;
    case State::DeclUnquoted:
      if (c == '"' || c == '\'') {
        state_ = State::Stopped;
      } else if (IsWhiteSpace(c) || c == '/' || c == '>') {
        state_ = State::DeclSkip;
        DeclarationStep(c);
      }
      return;
    default:
      return;
  }
}

bool SaveMapDocument(const TiXmlDocument& document, const QxChar* path) {
  if (path == nullptr || path[0] == 0) return false;
  if (GetFileKind(path) == FileKind::Other) {
    std::FILE* file = OpenTextFileForWriting(path);
    return file != nullptr && SaveToFile(document, file);
  }
  QxString tempPath;
  std::FILE* file = CreateTextFileBeside(path, tempPath);
  if (file == nullptr) return false;
  if (SaveToFile(document, file) && ReplaceFileWith(path, tempPath.c_str())) return true;
  RemoveFile(tempPath.c_str());
  return false;
}

namespace {

const char* Find(const char* from, const char* to, char byte) {
  return static_cast<const char*>(std::memchr(from, byte, static_cast<size_t>(to - from)));
}

// As the library's own file loading does before parsing: CR LF and a lone CR become LF, and
// the text ends at its first NUL byte. The scanner reads each stretch as soon as it is
// written, while it is still in the cache. Returns the new length.
size_t NormalizeAndScan(char* text, size_t length, ElementDepthScanner& scanner) {
  constexpr size_t kStretch = 64 * 1024;
  const char* const end = text + length;
  const char* p = text;
  char* q = text;
  bool nul = false;
  while (p < end && !nul && !scanner.Exceeded()) {
    const char* stretchEnd = p + std::min(kStretch, static_cast<size_t>(end - p));
    if (const char* found = Find(p, stretchEnd, '\0')) {
      stretchEnd = found;
      nul = true;
    }
    char* const written = q;
    while (p < stretchEnd) {
      const char* const cr = Find(p, stretchEnd, '\r');
      const char* const runEnd = cr != nullptr ? cr : stretchEnd;
      if (q != p) std::memmove(q, p, static_cast<size_t>(runEnd - p));
      q += runEnd - p;
      p = runEnd;
      if (cr != nullptr) {
        *q++ = '\n';
        ++p;
        if (p < end && *p == '\n') ++p;  // a NUL here ends the text instead
      }
    }
    scanner.Feed(written, static_cast<size_t>(q - written));
  }
  // The scanner refuses a NUL byte where it would matter, as it does in a raw file.
  if (nul) scanner.Feed("", 1);
  return static_cast<size_t>(q - text);
}

}  // namespace

bool LoadMapDocument(TiXmlDocument& document, const QxChar* path) {
  if (path == nullptr || path[0] == 0) return false;
  std::FILE* file = OpenFileForReading(path);
  if (file == nullptr) return false;
  // Read once, whole, as the library would: the depth check and the parse share the copy.
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  std::unique_ptr<char[]> text;
  if (length > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
    // A file too large for memory is refused, not thrown into the host.
    text.reset(new (std::nothrow) char[static_cast<size_t>(length) + 1]);
    if (text && std::fread(text.get(), static_cast<size_t>(length), 1, file) != 1) text.reset();
  }
  std::fclose(file);
  if (!text) return false;

  ElementDepthScanner scanner(kMaxElementDepth);
  const size_t normalized = NormalizeAndScan(text.get(), static_cast<size_t>(length), scanner);
  if (scanner.Exceeded() || !scanner.Readable()) return false;
  text[normalized] = '\0';
  document.Clear();
  document.Parse(text.get(), nullptr, TIXML_ENCODING_UTF8);
  return !document.Error();
}
