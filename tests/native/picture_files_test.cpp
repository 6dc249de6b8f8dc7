// Picture files and clipboard blocks as another program may leave them: the
// sizes their headers state, bitmaps written with fields that match, and
// clipboard text and bitmaps of every depth and header, or lying about their
// sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "base/bmp_file.h"
#include "base/byte_io.h"
#include "base/jpeg_codec.h"
#include "base/picture_header.h"
#include "images/clipboard_data.h"
#include "picture_bombs.h"

namespace scribly {
namespace {

using Bytes = std::vector<uint8_t>;

struct BmpFields {
  int32_t width = 5;
  int32_t height = 3;
  uint16_t planes = 1;
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t headerBytes = 40;
  // Pixel bytes actually present after the headers.
  size_t pixelBytes = 3 * 16;
};

Bytes bmp(const BmpFields& f) {
  ByteWriter out;
  out.u8('B').u8('M').u32(0).u32(0).u32(14 + f.headerBytes).u32(f.headerBytes);
  out.i32(f.width).i32(f.height).u16(f.planes).u16(f.bits).u32(f.compression);
  out.zeros(f.headerBytes - 20).zeros(f.pixelBytes);
  return out.take();
}

// A GIF of a 4 x 3 screen with one image of w x h at (left, top).
Bytes gif(uint16_t left, uint16_t top, uint16_t w, uint16_t h, bool trailer = true) {
  ByteWriter out;
  out.bytes("GIF89a", 6).u16(4).u16(3).u8(0x80).u8(0).u8(0).zeros(6);  // two-colour table
  out.u8(0x21).u8(0xF9).u8(4).zeros(4).u8(0);                          // an extension
  out.u8(0x2C).u16(left).u16(top).u16(w).u16(h).u8(0);
  out.u8(2).u8(2).u8(0x4C).u8(0x01).u8(0);  // code size, one sub-block, end
  if (trailer) out.u8(0x3B);
  return out.take();
}

// The kind and size a file's header states, or "refused".
std::string stated(const Bytes& file) {
  const auto h = readPictureFileHeader(file);
  if (!h) return "refused";
  const char* kinds[] = {"bmp", "gif", "jpeg"};
  return kinds[int(h->type)] + (" " + std::to_string(h->width)) + "x" + std::to_string(h->height);
}

TEST(PictureHeader, BitmapsGifsAndJpegsStateTheirSizeWhenTheirFieldsHoldTogetherOthersAreRefused) {
  const auto read = [](const BmpFields& f) { return readPictureFileHeader(bmp(f)); };
  EXPECT_EQ(stated(bmp({})), "bmp 5x3");
  EXPECT_EQ(stated(bmp({.height = -3})), "bmp 5x3");  // top-down
  EXPECT_TRUE(read({.width = 3, .bits = 8, .compression = 1, .pixelBytes = 2}));
  EXPECT_TRUE(read({.bits = 32, .compression = 3, .headerBytes = 108, .pixelBytes = 60}));
  // Five pixels of 24 bits: the last row needs 15 of its 16 bytes.
  EXPECT_TRUE(read({.pixelBytes = 47}));

  EXPECT_FALSE(read({.pixelBytes = 46}));
  EXPECT_FALSE(read({.width = 0}));
  EXPECT_FALSE(read({.height = 0}));
  EXPECT_FALSE(read({.planes = 2}));
  EXPECT_FALSE(read({.bits = 2}));
  EXPECT_FALSE(read({.bits = 24, .compression = 1}));
  EXPECT_FALSE(read({.height = -3, .bits = 8, .compression = 1}));
  EXPECT_FALSE(read({.compression = 4}));  // a JPEG inside
  EXPECT_FALSE(read({.headerBytes = 64}));
  // A run-length bomb: a tiny file for 900 million pixels, which fit nothing.
  const auto bomb = read({.width = 30000, .height = 30000, .bits = 8, .compression = 1});
  ASSERT_TRUE(bomb);
  EXPECT_FALSE(pictureFits(*bomb, kMaxPictureBytes));

  // GIFs state their screen, grown to their images.
  EXPECT_EQ(stated(gif(0, 0, 4, 3)), "gif 4x3");
  EXPECT_EQ(stated(gif(100, 2, 4000, 3, false)), "gif 4100x5");

  EXPECT_FALSE(readPictureFileHeader(gif(0, 0, 0, 3)));
  Bytes noImage = gif(0, 0, 4, 3);
  noImage.resize(13 + 6 + 8);  // up to the extension
  EXPECT_FALSE(readPictureFileHeader(noImage));
  // Frames a decoder would all keep, past the pixels allowed.
  Bytes frames = gif(0, 0, 4, 3, false);
  const Bytes frame(frames.begin() + 27, frames.end());
  for (int i = 0; i < 20; ++i) {
    Bytes big = frame;
    big[5] = big[6] = big[7] = big[8] = 0xFF;
    frames.insert(frames.end(), big.begin(), big.end());
  }
  EXPECT_FALSE(readPictureFileHeader(frames));

  // JPEGs state their frame unless libjpeg decodes none.
  const auto ours = encodeJpeg(Bytes(pictureBytes(33, 17), 50), 33, 17, 1 << 20);
  ASSERT_TRUE(ours);
  EXPECT_EQ(stated(*ours), "jpeg 33x17");
  EXPECT_EQ(stated(testing::arithmeticJpeg(40, 30)), "jpeg 40x30");

  // The start of frame (0xC0) of our stream: marker, length, precision,
  // height, width, components.
  size_t sof = 2;
  while ((*ours)[sof + 1] != 0xC0) sof += 2 + ((*ours)[sof + 2] << 8 | (*ours)[sof + 3]);
  auto changed = [&](size_t at, uint8_t value) {
    Bytes copy = *ours;
    copy[at] = value;
    return readPictureFileHeader(copy);
  };
  EXPECT_FALSE(changed(sof + 1, 0xC3));  // lossless
  EXPECT_FALSE(changed(sof + 4, 12));    // 12-bit samples
  Bytes noHeight = *ours;
  noHeight[sof + 5] = noHeight[sof + 6] = 0;
  EXPECT_FALSE(readPictureFileHeader(noHeight));
  EXPECT_FALSE(changed(sof + 9, 2));  // two components
  Bytes scanFirst = *ours;
  const uint8_t scan[] = {0xFF, 0xDA, 0x00, 0x02};
  scanFirst.insert(scanFirst.begin() + 2, std::begin(scan), std::end(scan));
  EXPECT_FALSE(readPictureFileHeader(scanFirst));
  EXPECT_FALSE(readPictureFileHeader(Bytes(ours->begin(), ours->begin() + sof + 6)));

  // Other formats, and sides beyond sixteen bits, are refused.
  EXPECT_FALSE(readPictureFileHeader({}));
  EXPECT_FALSE(readPictureFileHeader(Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0}));
  EXPECT_FALSE(readPictureFileHeader(Bytes{0, 0, 1, 0, 1, 0, 16, 16, 0, 0}));  // an icon
  EXPECT_FALSE(readPictureFileHeader(Bytes{0xD7, 0xCD, 0xC6, 0x9A, 0, 0}));    // a metafile
  EXPECT_TRUE(pictureFits({PictureFileType::Bmp, 0xFFFF, 1}, kMaxPictureBytes));
  EXPECT_FALSE(pictureFits({PictureFileType::Bmp, 0x10000, 1}, kMaxPictureBytes));
  EXPECT_TRUE(pictureFits({PictureFileType::Gif, 5, 3}, pictureBytes(5, 3)));
  EXPECT_FALSE(pictureFits({PictureFileType::Gif, 5, 3}, pictureBytes(5, 3) - 1));
}

// What a reader of the file finds: the fields of both headers in their order
// (file size, reserved, pixel offset, then the info header from its size on),
// and the colour table and pixels the offset divides.
struct Parsed {
  std::vector<int64_t> fields;
  std::span<const uint8_t> table, pixels;
};

Parsed parse(const Bytes& file) {
  ByteReader in(file);
  EXPECT_EQ(in.u8(), 'B');
  EXPECT_EQ(in.u8(), 'M');
  Parsed p;
  // Braces evaluate in order.
  p.fields = {in.u32(), in.u32(), in.u32(), in.u32(), in.i32(), in.i32(), in.u16(),
              in.u16(), in.u32(), in.u32(), in.u32(), in.u32(), in.u32(), in.u32()};
  EXPECT_TRUE(in.ok());
  const auto offset = static_cast<size_t>(p.fields[2]);
  EXPECT_TRUE(offset >= kBmpHeaderBytes && offset <= file.size()) << offset;
  if (offset >= kBmpHeaderBytes && offset <= file.size()) {
    p.table = std::span(file).subspan(kBmpHeaderBytes, offset - kBmpHeaderBytes);
    p.pixels = std::span(file).subspan(offset);
  }
  return p;
}

TEST(BmpFile, FieldsMatchTheFileAndPartsReadBackAtEveryDepthAndBadLayoutsAreRefused) {
  for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const auto layout = bmpLayout(13, 7, bits);
    ASSERT_TRUE(layout);
    Bytes table(layout->colourTableBytes()), pixels(layout->pixelBytes());
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i / 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7);
    const auto file = bmpFileBytes(*layout, table, pixels);
    const Parsed p = parse(file);
    // Rows bottom-up (a positive height), uncompressed, the last five fields zero.
    const auto size = static_cast<int64_t>(file.size()),
               offset = static_cast<int64_t>(54 + table.size());
    EXPECT_EQ(p.fields,
              (std::vector<int64_t>{size, 0, offset, 40, 13, 7, 1, bits, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(std::equal(p.table.begin(), p.table.end(), table.begin(), table.end()));
    EXPECT_TRUE(std::equal(p.pixels.begin(), p.pixels.end(), pixels.begin(), pixels.end()));
    EXPECT_EQ(p.pixels.size() % 7, 0u);
    EXPECT_EQ(p.pixels.size() / 7 % 4, 0u);  // rows padded to four bytes
    EXPECT_GE(p.pixels.size() / 7 * 8, size_t{13} * bits);
  }
  EXPECT_EQ(bmpLayout(13, 7, 8)->colourTableBytes(), 1024u);
  EXPECT_EQ(bmpLayout(13, 7, 16)->colourTableBytes(), 0u);

  // Bad layouts and mismatched parts are refused.
  EXPECT_FALSE(bmpLayout(0, 5, 24));
  EXPECT_FALSE(bmpLayout(5, -1, 24));
  EXPECT_FALSE(bmpLayout(5, 5, 12));
  EXPECT_FALSE(bmpLayout(0x7FFFFFFF, 0x7FFFFFFF, 32));
  EXPECT_FALSE(bmpLayout(0x7FFFFFFF, 1, 32));
  EXPECT_FALSE(bmpLayout(8192, 8193, 32));  // just past the cap
  EXPECT_TRUE(bmpLayout(8192, 8191, 32));

  const auto small = *bmpLayout(4, 4, 8);
  const std::vector<uint8_t> table(1024), pixels(16);
  EXPECT_FALSE(bmpFileBytes(small, table, pixels).empty());
  EXPECT_TRUE(bmpFileBytes(small, std::span(table).first(1020), pixels).empty());
  EXPECT_TRUE(bmpFileBytes(small, table, std::span(pixels).first(15)).empty());
  EXPECT_TRUE(bmpFileBytes(BmpLayout{4, 4, 12}, {}, pixels).empty());
}

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

TEST(ClipboardData, PicturesOfEveryDepthAndHeaderReadBottomUpOrNotAtAllAndTextEndsAtItsLimit) {
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

  // The old core header; indexes past the table are black.
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

  // What cannot be read whole is refused.
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

  // Text ends at its terminator, the block or 4020 bytes.
  EXPECT_EQ(clipboardText({reinterpret_cast<const uint8_t*>("ab\0cd"), 5}), "ab");
  EXPECT_EQ(clipboardText({reinterpret_cast<const uint8_t*>("abc"), 2}), "ab");
  EXPECT_EQ(clipboardText({}), "");
  const Bytes long_(5000, 'x');
  EXPECT_EQ(clipboardText(long_).size(), 4020u);
}

}  // namespace
}  // namespace scribly
