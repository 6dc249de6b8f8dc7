// Clipboard blocks as another program may leave them: text without a
// terminator or too long, and bitmaps of every depth and header, or lying
// about their sizes.
#include "images/clipboard_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "base/byte_io.h"

namespace scribly {
namespace {

using Bytes = std::vector<uint8_t>;

// A packed bitmap: an info header of `headerBytes` (masks inside from 52 on),
// then `table` (masks or colours) and the pixel rows.
Bytes dib(int32_t w, int32_t h, uint16_t bits, std::vector<uint32_t> table, Bytes rows,
          uint32_t compression = 0, uint32_t headerBytes = 40, uint32_t used = 0) {
  ByteWriter out;
  out.u32(headerBytes).i32(w).i32(h).u16(1).u16(bits).u32(compression).zeros(12).u32(used).u32(0);
  if (headerBytes >= 52) {
    for (size_t i = 0; i < 3; ++i) out.u32(i < table.size() ? table[i] : 0);
    table.clear();
  }
  out.zeros(headerBytes - std::min<uint32_t>(headerBytes, headerBytes >= 52 ? 52 : 40));
  for (uint32_t v : table) out.u32(v);
  return out.bytes(rows).take();
}

// Pixels as blue, green, red from the bottom row up, without padding.
Bytes unpadded(const ClipboardPicture& p) {
  Bytes out;
  const size_t row = (3 * size_t{p.width} + 3) / 4 * 4;
  for (size_t y = 0; y < p.height; ++y)
    out.insert(out.end(), p.pixels.begin() + y * row, p.pixels.begin() + y * row + 3 * p.width);
  return out;
}

TEST(ClipboardText, EndsAtItsTerminatorTheBlockOr4020Bytes) {
  EXPECT_EQ(clipboardText({reinterpret_cast<const uint8_t*>("ab\0cd"), 5}), "ab");
  EXPECT_EQ(clipboardText({reinterpret_cast<const uint8_t*>("abc"), 2}), "ab");
  EXPECT_EQ(clipboardText({}), "");
  const Bytes long_(5000, 'x');
  EXPECT_EQ(clipboardText(long_).size(), 4020u);
}

TEST(ClipboardPicture, EveryDepthReadsAsBottomUpBlueGreenRed) {
  // Two by two: the bottom row first unless the height is negative. Read as
  // blue, green at the bottom and red, white at the top.
  const Bytes expected = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  const uint32_t blue = 0xFF, green = 0xFF00, red = 0xFF0000, white = 0xFFFFFF;
  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"24", dib(2, 2, 24, {}, {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0})},
      {"24 top-down",
       dib(2, -2, 24, {}, {0, 0, 255, 255, 255, 255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0})},
      {"32", dib(2, 2, 32, {}, {255, 0, 0, 9, 0, 255, 0, 9, 0, 0, 255, 9, 255, 255, 255, 9})},
      {"16 as 5-5-5", dib(2, 2, 16, {}, {0x1F, 0, 0xE0, 0x03, 0, 0x7C, 0xFF, 0x7F})},
      {"16 as 5-6-5",
       dib(2, 2, 16, {0xF800, 0x07E0, 0x001F}, {0x1F, 0, 0xE0, 0x07, 0, 0xF8, 0xFF, 0xFF}, 3)},
      {"32, masks in a long header",
       dib(2, 2, 32, {0xFF, 0xFF00, 0xFF0000},
           {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0}, 3, 124)},
      {"8", dib(2, 2, 8, {blue, green, red, white}, {0, 1, 0, 0, 2, 3, 0, 0}, 0, 40, 4)},
      {"4", dib(2, 2, 4, {blue, green, red, white}, {0x01, 0, 0, 0, 0x23, 0, 0, 0}, 0, 40, 4)},
  };
  for (const auto& [name, bytes] : cases) {
    const auto picture = pictureFromDib(bytes);
    ASSERT_TRUE(picture) << name;
    EXPECT_EQ(picture->width, 2) << name;
    EXPECT_EQ(picture->height, 2) << name;
    EXPECT_EQ(unpadded(*picture), expected) << name;
  }
  // One bit, its two colours listed without a count; the leftmost pixel is
  // the highest bit.
  const auto mono = pictureFromDib(dib(2, 2, 1, {blue, red}, {0x40, 0, 0, 0, 0x80, 0, 0, 0}));
  ASSERT_TRUE(mono);
  EXPECT_EQ(unpadded(*mono), (Bytes{255, 0, 0, 0, 0, 255, 0, 0, 255, 255, 0, 0}));
}

TEST(ClipboardPicture, OldCoreHeaderAndIndexesPastTheTable) {
  ByteWriter core;
  core.u32(12).u16(3).u16(1).u16(1).u16(8).bytes(Bytes{1, 2, 3, 4, 5, 6}).zeros(254 * 3);
  core.bytes(Bytes{1, 0, 0, 0});
  const auto picture = pictureFromDib(core.take());
  ASSERT_TRUE(picture);
  EXPECT_EQ(unpadded(*picture), (Bytes{4, 5, 6, 1, 2, 3, 1, 2, 3}));

  // Two colours listed; index 7 is black.
  const auto short_ = pictureFromDib(dib(1, 1, 8, {0xFFFFFF, 0xFFFFFF}, {7, 0, 0, 0}, 0, 40, 2));
  ASSERT_TRUE(short_);
  EXPECT_EQ(unpadded(*short_), (Bytes{0, 0, 0}));
}

TEST(ClipboardPicture, RefusesWhatItCannotReadWhole) {
  const Bytes row = {1, 2, 3, 0};
  EXPECT_TRUE(pictureFromDib(dib(1, 1, 24, {}, row)));
  EXPECT_FALSE(pictureFromDib(dib(1, 1, 24, {}, {1, 2, 3})));      // a byte short
  EXPECT_FALSE(pictureFromDib(dib(1, 1, 24, {}, row, 1)));         // run-length coded
  EXPECT_FALSE(pictureFromDib(dib(1, 1, 24, {0, 0, 0}, row, 3)));  // masks on 24 bits
  EXPECT_FALSE(pictureFromDib(dib(1, 1, 12, {}, row)));            // no such depth
  EXPECT_FALSE(pictureFromDib(dib(0, 1, 24, {}, row)));
  EXPECT_FALSE(pictureFromDib(dib(1, 0, 24, {}, row)));
  EXPECT_FALSE(pictureFromDib(dib(1, INT_MIN, 24, {}, row)));
  EXPECT_FALSE(pictureFromDib(dib(0x10000, 1, 24, {}, row)));
  EXPECT_FALSE(pictureFromDib(dib(1, 1, 24, {}, row, 0, 44)));              // unknown header
  EXPECT_FALSE(pictureFromDib(dib(1, 1, 24, {}, row, 0, 40, UINT32_MAX)));  // colours
  // Large enough to need more than a picture may hold, claimed by a few bytes.
  EXPECT_FALSE(pictureFromDib(dib(0xFFFF, 0xFFFF, 1, {0, 0}, row)));
  EXPECT_FALSE(pictureFromDib({}));
}

}  // namespace
}  // namespace scribly
