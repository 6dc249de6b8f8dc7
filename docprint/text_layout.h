#pragma once
// Plain text laid out on pages of a monospace grid: any bytes in, lines of
// valid UTF-8 out. Tabs jump to the next multiple of eight columns, long lines
// wrap at the column count, a form feed starts a new page, other control
// characters show as spaces and bytes that are not UTF-8 as U+FFFD.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace scribly {

inline constexpr int kTabColumns = 8;
// Texts longer than this many pages are refused rather than cut short.
inline constexpr size_t kMaxTextPages = 1000;

struct TextPage {
  std::vector<std::string> lines;
};

struct TextLayout {
  std::vector<TextPage> pages;
  // More than kMaxTextPages pages: `pages` holds only the first ones.
  bool tooLong = false;
};

// At least one page, even for no text at all (an empty document prints as
// one empty page). `columns` and `linesPerPage` below 1 count as 1.
TextLayout layoutText(std::span<const uint8_t> utf8, int columns, int linesPerPage);

// Whether the bytes are well-formed UTF-8 (a leading byte order mark allowed).
bool isUtf8(std::span<const uint8_t> bytes);

// Columns a code point takes in a monospace font: 2 for wide East Asian
// characters, else 1.
int columnsOf(char32_t codePoint);

}  // namespace scribly
