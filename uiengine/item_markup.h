#pragma once
// The markup of a tree item's text: <text><font size="10" color="0,0,255"
// face="...">name</font></text>. The tree shows the name in that colour; the
// program reads the markup back. Item texts come from file names and page
// names, so anything that is not such markup shows as it stands.
#include <cstdint>
#include <string>
#include <string_view>

namespace scribly {

struct ItemMarkup {
  std::string name;              // UTF-8
  uint32_t colour = 0xFFFFFFFF;  // red in the low byte; all ones: the tree's own
  int32_t size = 0;              // points; 0: the tree's own
  std::string face;
};

// Items longer than this are cut: the program reads at most 512 bytes back.
inline constexpr size_t kMaxItemMarkupBytes = 512;

ItemMarkup parseItemMarkup(std::string_view markup);

// `markup` with the text inside its "font" element replaced by `name` (the
// label a user typed), or plain `name` when `markup` was plain.
std::string renameItemMarkup(std::string_view markup, std::string_view name);

// A tip markup, <tip width="200"><font face="..." size="9" color="255,0,255">
// text</font></tip>: `name` holds the words inside its "font" elements, nested
// markup included, in document order (empty when it does not parse); the font
// is that of the first "font" element under "tip", refined by the fonts
// nested in it (a tree item's markup keeps its own colour inside a tip).
struct TipMarkup : ItemMarkup {
  int32_t width = 0;  // pixels; 0: the tip's own
};

TipMarkup parseTipMarkup(std::string_view markup);

}  // namespace scribly
