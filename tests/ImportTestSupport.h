// What the import tests share: the host's tree as a listing of indented titles, listings in
// the format of the sample maps' expected files, their comparison, and nested maps.
#ifndef QX_TESTS_IMPORTTESTSUPPORT_H
#define QX_TESTS_IMPORTTESTSUPPORT_H

#include "mapdoc/Vocabulary.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qxtest {

/// One task of a tree: its nesting level (0 directly below the start) and its title.
struct TreeLine {
  int level;
  std::string title;
  bool operator==(const TreeLine& other) const { return level == other.level && title == other.title; }
};
using TreeListing = std::vector<TreeLine>;

/// The tasks below `task` (a node of the stand-in host's JSON tree), depth-first.
inline TreeListing ListingBelow(const nlohmann::json& task) {
  TreeListing listing;
  std::vector<std::pair<const nlohmann::json*, size_t>> stack{{&task, 0}};
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    const nlohmann::json& children = (*node)["children"];
    if (next == children.size()) {
      stack.pop_back();
      continue;
    }
    const nlohmann::json& child = children[next++];
    listing.push_back({static_cast<int>(stack.size()) - 1,
                       child["title"].is_string() ? child["title"].get<std::string>() : "(null)"});
    stack.push_back({&child, 0});
  }
  return listing;
}

/// `text` as a Python string literal in single quotes, as the expected files write titles.
inline std::string QuotedTitle(const std::string& text) {
  std::string out = "'";
  for (const char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\'': out += "\\'"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "'";
}

inline void AppendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

/// Reads a Python string literal (quotes ' or ", escapes \n \r \t \\ \' \" \xHH \uHHHH
/// \UHHHHHHHH) that makes up the whole of `text`; nothing when it is not one.
inline std::optional<std::string> ParseQuotedTitle(const std::string& text) {
  if (text.size() < 2 || (text[0] != '\'' && text[0] != '"') || text.back() != text[0]) return std::nullopt;
  const char quote = text[0];
  std::string out;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    const char c = text[i];
    if (c == quote) return std::nullopt;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i + 1 >= text.size()) return std::nullopt;
    const char e = text[i];
    const auto hex = [&](size_t digits) -> std::optional<unsigned long> {
      // The digits must end before the closing quote.
      if (i + digits + 2 > text.size()) return std::nullopt;
      const std::string part = text.substr(i + 1, digits);
      if (part.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return std::nullopt;
      }
      i += digits;
      return std::stoul(part, nullptr, 16);
    };
    std::optional<unsigned long> code;
    switch (e) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case '\\': case '\'': case '"': out += e; break;
      case 'x': code = hex(2); break;
      case 'u': code = hex(4); break;
      case 'U': code = hex(8); break;
      default: return std::nullopt;
    }
    if (e == 'x' || e == 'u' || e == 'U') {
      if (!code) return std::nullopt;
      AppendUtf8(out, *code);
    }
  }
  return out;
}

/// A listing as the sample maps' expected files write it: one title a line, two spaces of
/// indentation per level. Nothing when a line is malformed.
inline std::optional<TreeListing> ParseListing(const std::string& text) {
  TreeListing listing;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(' ') == std::string::npos) continue;
    const size_t indent = line.find_first_not_of(' ');
    if (indent % 2 != 0) return std::nullopt;
    const std::optional<std::string> title = ParseQuotedTitle(line.substr(indent));
    if (!title) return std::nullopt;
    listing.push_back({static_cast<int>(indent / 2), *title});
  }
  return listing;
}

inline std::string FormatListing(const TreeListing& listing, size_t from = 0, size_t to = SIZE_MAX) {
  std::string out;
  for (size_t i = from; i < std::min(to, listing.size()); ++i) {
    out += "    " + std::string(static_cast<size_t>(listing[i].level) * 2, ' ') +
           QuotedTitle(listing[i].title) + "\n";
  }
  if (out.empty()) out = "    (no tasks)\n";
  return out;
}

/// Equal listings; otherwise both trees (or, for long ones, the part around the first
/// difference).
inline ::testing::AssertionResult SameTree(const TreeListing& expected, const TreeListing& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  size_t first = 0;
  while (first < expected.size() && first < actual.size() && expected[first] == actual[first]) ++first;
  constexpr size_t kShown = 60;
  const size_t from = expected.size() + actual.size() <= 2 * kShown ? 0 : (first > 10 ? first - 10 : 0);
  const size_t to = from == 0 && expected.size() + actual.size() <= 2 * kShown ? SIZE_MAX : first + 10;
  return ::testing::AssertionFailure()
         << "trees differ at line " << first + 1 << " (expected " << expected.size()
         << " tasks, got " << actual.size() << ")\n  expected"
         << (to == SIZE_MAX ? "" : " (excerpt)") << ":\n" << FormatListing(expected, from, to)
         << "  got:\n" << FormatListing(actual, from, to);
}

/// A map whose deepest element is exactly `elementDepth` levels down (at least 5): sub-topics
/// nested one in the other below the central topic, titled "Level 1", "Level 2"... Their
/// number goes to `topics`.
inline std::string NestedMap(int elementDepth, int* topics = nullptr) {
  // ap:Map, ap:OneTopic and the central ap:Topic take levels 1 to 3; each sub-topic two more
  // (ap:SubTopics, ap:Topic); the deepest topic's ap:Text one, its ap:Font another.
  const bool withFont = (elementDepth - 4) % 2 != 0;
  const int count = (elementDepth - (withFont ? 5 : 4)) / 2;
  if (topics != nullptr) *topics = count;
  std::string map = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<ap:Map xmlns:ap=\"" +
                    std::string(kApplicationNamespace) + "\">\n<ap:OneTopic>\n<ap:Topic>\n";
  for (int i = 1; i <= count; ++i) map += "<ap:SubTopics>\n<ap:Topic>\n";
  for (int i = count; i >= 0; --i) {
    map += "<ap:Text PlainText=\"" + (i == 0 ? std::string("Central") : "Level " + std::to_string(i)) + "\"";
    map += i == count && withFont ? ">\n<ap:Font />\n</ap:Text>\n" : " />\n";
    map += "</ap:Topic>\n";
    if (i > 0) map += "</ap:SubTopics>\n";
  }
  return map + "</ap:OneTopic>\n</ap:Map>\n";
}

/// What NestedMap(…) gives when imported: `topics` tasks nested one in the other.
inline TreeListing NestedListing(int topics) {
  TreeListing listing;
  for (int i = 1; i <= topics; ++i) listing.push_back({i - 1, "Level " + std::to_string(i)});
  return listing;
}

}  // namespace qxtest

#endif
