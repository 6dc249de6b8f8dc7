// Tree item and tip markup from arbitrary bytes: parsing and renaming never
// read out of bounds, and a renamed item reads back with the new name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "uiengine/item_markup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const scribly::ItemMarkup item = scribly::parseItemMarkup(text);
  if (item.name.size() > scribly::kMaxItemMarkupBytes) std::abort();
  if (scribly::parseTipMarkup(text).name.size() > size) std::abort();
  const std::string renamed = scribly::renameItemMarkup(text, "page 7");
  if (renamed.size() <= scribly::kMaxItemMarkupBytes &&
      scribly::parseItemMarkup(renamed).name != "page 7")
    std::abort();
  return 0;
}
