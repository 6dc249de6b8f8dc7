#include "docprint/text_layout.h"

#include <algorithm>

namespace scribly {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// One code point from `bytes` at `pos`, advancing `pos`; malformed, overlong
// and surrogate sequences give U+FFFD and consume one byte.
char32_t nextCodePoint(std::span<const uint8_t> bytes, size_t& pos) {
  const uint8_t lead = bytes[pos++];
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, minimum = 0x10000;
  } else {
    return kReplacement;
  }
  if (bytes.size() - pos < static_cast<size_t>(extra)) return kReplacement;
  for (int i = 0; i < extra; ++i) {
    if ((bytes[pos + i] & 0xC0) != 0x80) return kReplacement;
    cp = (cp << 6) | (bytes[pos + i] & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
  pos += extra;
  return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

class Pager {
 public:
  Pager(int columns, int linesPerPage)
      : columns_(std::max(columns, 1)), linesPerPage_(std::max(linesPerPage, 1)) {
    layout_.pages.emplace_back();
  }

  bool full() const { return layout_.tooLong; }

  void put(char32_t cp) {
    const int width = std::min(columnsOf(cp), columns_);
    if (column_ + width > columns_) endLine();
    appendUtf8(line_, cp);
    column_ += width;
  }

  void tab() {
    const int spaces = kTabColumns - column_ % kTabColumns;
    if (column_ + spaces > columns_) {
      endLine();
      return;
    }
    line_.append(static_cast<size_t>(spaces), ' ');
    column_ += spaces;
  }

  void endLine() {
    if (layout_.tooLong) return;
    if (static_cast<int>(layout_.pages.back().lines.size()) == linesPerPage_) newPage();
    if (layout_.tooLong) return;
    // Trailing blanks draw nothing.
    line_.erase(line_.find_last_not_of(' ') + 1);
    layout_.pages.back().lines.push_back(std::move(line_));
    line_.clear();
    column_ = 0;
  }

  void formFeed() {
    if (column_ > 0 || !line_.empty()) endLine();
    newPage();
  }

  TextLayout finish() {
    if (column_ > 0) endLine();
    // A closing form feed asks for no blank page after it.
    if (layout_.pages.size() > 1 && layout_.pages.back().lines.empty()) layout_.pages.pop_back();
    return std::move(layout_);
  }

 private:
  void newPage() {
    if (layout_.pages.size() == kMaxTextPages) {
      layout_.tooLong = true;
      return;
    }
    layout_.pages.emplace_back();
  }

  int columns_;
  int linesPerPage_;
  TextLayout layout_;
  std::string line_;
  int column_ = 0;
};

}  // namespace

int columnsOf(char32_t cp) {
  const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                    (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                    (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                    (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
  return wide ? 2 : 1;
}

bool isUtf8(std::span<const uint8_t> bytes) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t start = pos;
    if (nextCodePoint(bytes, pos) == kReplacement &&
        !(pos - start == 3 && bytes[start] == 0xEF && bytes[start + 1] == 0xBF &&
          bytes[start + 2] == 0xBD)) {
      return false;
    }
  }
  return true;
}

TextLayout layoutText(std::span<const uint8_t> utf8, int columns, int linesPerPage) {
  Pager pager(columns, linesPerPage);
  size_t pos = 0;
  if (utf8.size() >= 3 && utf8[0] == 0xEF && utf8[1] == 0xBB && utf8[2] == 0xBF) pos = 3;
  while (pos < utf8.size() && !pager.full()) {
    const char32_t cp = nextCodePoint(utf8, pos);
    if (cp == '\r') {
      if (pos < utf8.size() && utf8[pos] == '\n') ++pos;
      pager.endLine();
    } else if (cp == '\n') {
      pager.endLine();
    } else if (cp == '\t') {
      pager.tab();
    } else if (cp == '\f') {
      pager.formFeed();
    } else {
      pager.put(cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0) ? U' ' : cp);
    }
  }
  return pager.finish();
}

}  // namespace scribly
