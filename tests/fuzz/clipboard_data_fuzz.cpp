// Clipboard blocks from arbitrary bytes: the text stays inside the block and
// its limit, and a bitmap that reads has exactly the pixels its size needs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "images/clipboard_data.h"
#include "objects/pixel_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scribly;
  const std::span<const uint8_t> block(data, size);
  const std::string_view text = clipboardText(block);
  if (text.size() > kClipboardTextBytes || text.size() > size) abort();
  if (auto picture = pictureFromDib(block)) {
    if (picture->width == 0 || picture->height == 0 ||
        picture->pixels.size() != pictureBytes(picture->width, picture->height))
      abort();
  }
  return 0;
}
