// Text documents from arbitrary bytes: the layout never reads past the end,
// stays within its page cap and grid, and hands out valid UTF-8 only.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "docprint/text_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int columns = data[0] % 100;
  const int lines = data[1] % 70;
  const scribly::TextLayout layout =
      scribly::layoutText(std::span(data + 2, size - 2), columns, lines);
  if (layout.pages.empty() || layout.pages.size() > scribly::kMaxTextPages) std::abort();
  for (const scribly::TextPage& page : layout.pages) {
    if (page.lines.size() > static_cast<size_t>(lines < 1 ? 1 : lines)) std::abort();
    for (const std::string& line : page.lines) {
      const std::span bytes(reinterpret_cast<const uint8_t*>(line.data()), line.size());
      if (!scribly::isUtf8(bytes) ||
          line.size() > 4 * static_cast<size_t>(columns < 1 ? 1 : columns))
        std::abort();
    }
  }
  return 0;
}
