#include "base/bmp_file.h"

#include <gtest/gtest.h>

#include "base/byte_io.h"

namespace scribly {
namespace {

// What a reader of the file finds in its headers.
struct Parsed {
  uint32_t fileSize = 0, offset = 0, infoSize = 0, compression = 0;
  int32_t width = 0, height = 0;
  uint16_t planes = 0, bits = 0;
  std::span<const uint8_t> table, pixels;
};

Parsed parse(const std::vector<uint8_t>& file) {
  ByteReader in(file);
  Parsed p;
  EXPECT_EQ(in.u8(), 'B');
  EXPECT_EQ(in.u8(), 'M');
  p.fileSize = in.u32();
  EXPECT_EQ(in.u32(), 0u);  // reserved
  p.offset = in.u32();
  p.infoSize = in.u32();
  p.width = in.i32();
  p.height = in.i32();
  p.planes = in.u16();
  p.bits = in.u16();
  p.compression = in.u32();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(in.u32(), 0u);
  EXPECT_TRUE(in.ok());
  EXPECT_LE(p.offset, file.size());
  if (p.offset >= kBmpHeaderBytes && p.offset <= file.size()) {
    p.table = std::span(file).subspan(kBmpHeaderBytes, p.offset - kBmpHeaderBytes);
    p.pixels = std::span(file).subspan(p.offset);
  }
  return p;
}

TEST(BmpFile, SizeFieldsMatchTheFileAtEveryDepth) {
  for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const auto layout = bmpLayout(13, 7, bits);
    ASSERT_TRUE(layout);
    const std::vector<uint8_t> table(layout->colourTableBytes(), 0x11);
    const std::vector<uint8_t> pixels(layout->pixelBytes(), 0x22);
    const auto file = bmpFileBytes(*layout, table, pixels);
    const Parsed p = parse(file);
    EXPECT_EQ(p.fileSize, file.size());
    EXPECT_EQ(p.offset, 54 + table.size());
    EXPECT_EQ(p.infoSize, 40u);
    EXPECT_EQ(p.width, 13);
    EXPECT_EQ(p.height, 7);  // positive: rows bottom-up
    EXPECT_EQ(p.planes, 1);
    EXPECT_EQ(p.bits, bits);
    EXPECT_EQ(p.compression, 0u);
    EXPECT_EQ(p.pixels.size() % 7, 0u);
    EXPECT_EQ(p.pixels.size() / 7 % 4, 0u);  // rows padded to four bytes
    EXPECT_GE(p.pixels.size() / 7 * 8, size_t{13} * bits);
  }
  EXPECT_EQ(bmpLayout(13, 7, 8)->colourTableBytes(), 1024u);
  EXPECT_EQ(bmpLayout(13, 7, 16)->colourTableBytes(), 0u);
}

TEST(BmpFile, PixelsAndColourTableReadBackUnchanged) {
  const auto layout = bmpLayout(5, 3, 24);  // 15 bytes of pixels in a 16-byte row
  ASSERT_TRUE(layout);
  std::vector<uint8_t> pixels(layout->pixelBytes());
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7);
  const auto file = bmpFileBytes(*layout, {}, pixels);
  const Parsed p = parse(file);
  EXPECT_TRUE(p.table.empty());
  EXPECT_TRUE(std::equal(p.pixels.begin(), p.pixels.end(), pixels.begin(), pixels.end()));

  const auto indexed = bmpLayout(3, 2, 8);
  std::vector<uint8_t> table(1024);
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i / 4);
  const std::vector<uint8_t> indexes = {9, 200, 3, 0, 255, 1, 2, 0};
  const auto indexedFile = bmpFileBytes(*indexed, table, indexes);
  const Parsed q = parse(indexedFile);
  EXPECT_TRUE(std::equal(q.table.begin(), q.table.end(), table.begin(), table.end()));
  EXPECT_TRUE(std::equal(q.pixels.begin(), q.pixels.end(), indexes.begin(), indexes.end()));
}

TEST(BmpFile, BadLayoutsAndMismatchedPartsAreRefused) {
  EXPECT_FALSE(bmpLayout(0, 5, 24));
  EXPECT_FALSE(bmpLayout(5, -1, 24));
  EXPECT_FALSE(bmpLayout(5, 5, 12));
  EXPECT_FALSE(bmpLayout(0x7FFFFFFF, 0x7FFFFFFF, 32));
  EXPECT_FALSE(bmpLayout(0x7FFFFFFF, 1, 32));
  EXPECT_FALSE(bmpLayout(8192, 8193, 32));  // just past the cap
  EXPECT_TRUE(bmpLayout(8192, 8191, 32));

  const auto layout = *bmpLayout(4, 4, 8);
  const std::vector<uint8_t> table(1024), pixels(16);
  EXPECT_FALSE(bmpFileBytes(layout, table, pixels).empty());
  EXPECT_TRUE(bmpFileBytes(layout, std::span(table).first(1020), pixels).empty());
  EXPECT_TRUE(bmpFileBytes(layout, table, std::span(pixels).first(15)).empty());
  EXPECT_TRUE(bmpFileBytes(BmpLayout{4, 4, 12}, {}, pixels).empty());
}

}  // namespace
}  // namespace scribly
