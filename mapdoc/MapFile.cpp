#include "mapdoc/MapFile.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstring>

namespace {

bool IsNameStart(unsigned char c) {
  // As the XML library decides what starts an element; bytes of UTF-8 sequences count.
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}

bool SaveToFile(const TiXmlDocument& document, std::FILE* file) {
  const bool written = document.SaveFile(file);
  return CloseFile(file) && written;
}

}  // namespace

std::string WithoutXmlForbiddenCharacters(const char* text) {
  std::string result;
  if (text == nullptr) return result;
  const size_t length = std::strlen(text);
  result.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
    // U+FFFE and U+FFFF: EF BF BE and EF BF BF.
    if (c == 0xEF && i + 2 < length && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
      i += 2;
      continue;
    }
    result += static_cast<char>(c);
  }
  return result;
}

void ElementDepthScanner::Feed(const char* data, std::size_t size) {
  const char* const end = data + size;
  for (const char* p = data; p < end && !Exceeded(); ++p) {
    const char c = *p;
    switch (state_) {
      case State::Text: {
        const void* open = std::memchr(p, '<', static_cast<size_t>(end - p));
        if (open == nullptr) return;
        p = static_cast<const char*>(open);
        state_ = State::TagStart;
        break;
      }
      case State::TagStart:
        if (c == '/') {
          state_ = State::EndTag;
        } else if (c == '!') {
          pending_ = "<!";
          state_ = State::Markup;
        } else if (IsNameStart(static_cast<unsigned char>(c))) {
          maxDepth_ = std::max(maxDepth_, ++depth_);
          state_ = State::StartTag;
        } else {
          pending_.clear();
          state_ = State::Markup;  // "<?" and anything else run to the next ">"
        }
        break;
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

bool LoadMapDocument(TiXmlDocument& document, const QxChar* path) {
  if (path == nullptr || path[0] == 0) return false;
  std::FILE* file = OpenFileForReading(path);
  if (file == nullptr) return false;
  ElementDepthScanner scanner(kMaxElementDepth);
  char chunk[64 * 1024];
  size_t got;
  while (!scanner.Exceeded() && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    scanner.Feed(chunk, got);
  }
  bool loaded = false;
  if (!scanner.Exceeded() && !std::ferror(file) && std::fseek(file, 0, SEEK_SET) == 0) {
    loaded = document.LoadFile(file, TIXML_ENCODING_UTF8);
  }
  std::fclose(file);
  return loaded;
}
