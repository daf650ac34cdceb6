// Titles of any UTF-16 and a small tree shape, exported and imported back. The map must be
// well-formed XML 1.0, and every title must come back as it was, less the characters that
// XML cannot carry (unpaired surrogates turn into U+FFFD on the way). Anything else aborts.
#include "export/Export.h"
#include "fuzz/FuzzSupport.h"
#include "host/stub/HostControl.h"
#include "import/Import.h"

#include <tinyxml.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxTasks = 48;
constexpr std::size_t kMaxTitleUnits = 32;

struct Node {
  std::size_t parent;  // 0 is the root; node i + 1 is tasks[i]
  QxString title;
};

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "round trip: %s\n", what);
  std::abort();
}

bool AllowedInXml(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// What a title should read after the trip: unpaired surrogates as U+FFFD, characters that
// XML forbids left out.
QxString Expected(const QxString& title) {
  QxString out;
  for (std::size_t i = 0; i < title.size(); ++i) {
    const std::uint32_t unit = title[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < title.size() && title[i + 1] >= 0xDC00 &&
        title[i + 1] <= 0xDFFF) {
      out += title[i];
      out += title[++i];
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      out += QxChar(0xFFFD);
    } else if (AllowedInXml(unit)) {
      out += QxChar(unit);
    }
  }
  return out;
}

// Strict UTF-8 with only XML characters, raw or as character references.
void CheckMapBytes(const std::string& bytes) {
  if (bytes.compare(0, 5, "<?xml") != 0) Fail("the map does not start with its declaration");
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    std::uint32_t c;
    std::size_t length;
    if (b < 0x80) {
      c = b, length = 1;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1Fu, length = 2;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0Fu, length = 3;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07u, length = 4;
    } else {
      Fail("invalid UTF-8 lead byte in the map");
    }
    if (i + length > bytes.size()) Fail("truncated UTF-8 in the map");
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) Fail("invalid UTF-8 continuation in the map");
      c = (c << 6) | (next & 0x3Fu);
    }
    static const std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length]) Fail("overlong UTF-8 in the map");
    if (!AllowedInXml(c)) Fail("a character that XML forbids is in the map");
    if (b == '&' && i + 2 < bytes.size() && bytes[i + 1] == '#') {
      std::size_t p = i + 2;
      const bool hex = bytes[p] == 'x';
      if (hex) ++p;
      std::uint32_t value = 0;
      std::size_t digits = 0;
      for (; p < bytes.size() && bytes[p] != ';'; ++p, ++digits) {
        const char d = bytes[p];
        std::uint32_t v;
        if (d >= '0' && d <= '9') {
          v = static_cast<std::uint32_t>(d - '0');
        } else if (hex && d >= 'a' && d <= 'f') {
          v = static_cast<std::uint32_t>(d - 'a' + 10);
        } else if (hex && d >= 'A' && d <= 'F') {
          v = static_cast<std::uint32_t>(d - 'A' + 10);
        } else {
          Fail("malformed character reference in the map");
        }
        if (digits > 8) Fail("character reference too long");
        value = value * (hex ? 16 : 10) + v;
      }
      if (p == bytes.size() || digits == 0) Fail("unterminated character reference in the map");
      if (!AllowedInXml(value)) Fail("a reference to a character that XML forbids is in the map");
    }
    i += length;
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("the map cannot be read");
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Contains(const QxChar* text, const QxString& part) {
  return text != nullptr && QxString(text).find(part) != QxString::npos;
}

// The host's tree below `uid` against the nodes whose parent is `index`.
void CompareBranch(const std::vector<Node>& nodes, std::size_t index, const QxChar* uid) {
  std::vector<std::size_t> children;
  for (std::size_t i = 1; i < nodes.size(); ++i) {
    if (nodes[i].parent == index) children.push_back(i);
  }
  const QxString parentUid(uid);
  if (AddinQX_Task_GetChildsCount(parentUid.c_str()) != static_cast<int>(children.size())) {
    Fail("the tree came back with another shape");
  }
  for (std::size_t k = 0; k < children.size(); ++k) {
    const QxChar* child = AddinQX_Task_GetChildUID(parentUid.c_str(), static_cast<int>(k));
    if (child == nullptr) Fail("a task came back without an identifier");
    const QxString childUid(child);
    const QxChar* title = AddinQX_Task_GetTitle(childUid.c_str());
    if (title == nullptr || QxString(title) != Expected(nodes[children[k]].title)) {
      Fail("a title came back changed");
    }
    CompareBranch(nodes, children[k], childUid.c_str());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Per task: its parent (any earlier node), the title's length, then the title's units.
  std::vector<Node> nodes{{0, QxString()}};
  std::size_t at = 0;
  while (at + 2 <= size && nodes.size() <= kMaxTasks) {
    Node node;
    node.parent = data[at] % nodes.size();
    const std::size_t units = data[at + 1] % (kMaxTitleUnits + 1);
    at += 2;
    for (std::size_t k = 0; k < units && at + 2 <= size; ++k, at += 2) {
      const auto unit = static_cast<QxChar>(data[at] | (data[at + 1] << 8));
      if (unit == 0) break;  // the host's titles end at the first NUL
      node.title += unit;
    }
    nodes.push_back(std::move(node));
  }

  QxStub_Reset();
  QxStub_SetCallLog(0);
  std::vector<QxString> uids{QX_TEXT("root")};
  for (std::size_t i = 1; i < nodes.size(); ++i) {
    const QxChar* uid = QxStub_AddTask(uids[nodes[i].parent].c_str(), nodes[i].title.c_str(), 1);
    if (uid == nullptr) Fail("the stand-in host refused a task");
    uids.emplace_back(uid);
  }

  static const std::string path = qxfuzz::ScratchPath("trip.xmmap");
  static qxfuzz::FixedAnswer answer(path);
  SetDialogResponder(&answer);
  std::remove(path.c_str());
  RunExport(QX_TEXT("root"));
  if (QxStub_PopupCount() != 1 || !Contains(QxStub_Popup(0), QX_TEXT("Successfully saved the data"))) {
    Fail("the export did not report a saved map");
  }

  CheckMapBytes(ReadAll(path));
  {
    TiXmlDocument document;
    if (!document.LoadFile(path.c_str(), TIXML_ENCODING_UTF8)) Fail("the map does not parse");
  }

  QxStub_Reset();
  QxStub_SetCallLog(0);
  RunImport(QX_TEXT("root"));
  if (answer.Refused()) Fail("the dialog refused the map");
  SetDialogResponder(nullptr);
  CompareBranch(nodes, 0, QX_TEXT("root"));
  return 0;
}
