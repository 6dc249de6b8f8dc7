#include "share/tree_items.h"

#include <algorithm>

#include "base/xml_document.h"

namespace scribly {
namespace {

constexpr std::string_view kSuffix = "</font></text>";

std::string_view prefixSize(TreeItemStyle style) {
  return style == TreeItemStyle::Folder ? "9" : "10";
}

std::string_view prefixColour(TreeItemStyle style) {
  return style == TreeItemStyle::Red ? "255,0,0" : "0,0,255";
}

// The length of the UTF-8 sequence that starts with `lead`; stray bytes count
// as one so that a malformed name still advances.
size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

std::string treeItemMarkup(TreeItemStyle style, std::string_view faceUtf8, std::string_view name) {
  std::string out = "<text><font size=\"";
  out += prefixSize(style);
  out += "\" color=\"";
  out += prefixColour(style);
  out += "\" face=\"";
  appendXmlEscaped(out, faceUtf8);
  out += "\">";
  // One byte stays free for the terminator of the tree's buffer.
  const size_t limit = kMaxTreeItemBytes - 1 - kSuffix.size();
  std::string piece;
  for (size_t i = 0; i < name.size();) {
    const size_t length =
        std::min(sequenceLength(static_cast<unsigned char>(name[i])), name.size() - i);
    piece.clear();
    appendXmlEscaped(piece, name.substr(i, length));
    if (out.size() + piece.size() > limit) break;
    out += piece;
    i += length;
  }
  out += kSuffix;
  return out;
}

std::string treeItemName(std::string_view markup) {
  XmlDocument document;
  if (!document.parse(markup)) return {};
  return document.findFirst("font").text();
}

}  // namespace scribly
