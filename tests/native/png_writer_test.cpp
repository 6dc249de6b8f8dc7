#include "host/png_writer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace scribly {
namespace {

uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
         b[at + 3];
}

// Walks the chunks, checks every CRC and returns the inflated IDAT bytes
// (stored blocks only, which is all the writer emits).
std::vector<uint8_t> readBack(const std::vector<uint8_t>& png, uint32_t& w, uint32_t& h) {
  std::vector<uint8_t> z, raw;
  for (size_t at = 8; at + 12 <= png.size();) {
    uint32_t len = get32(png, at);
    std::string type(png.begin() + at + 4, png.begin() + at + 8);
    EXPECT_EQ(crc32(png.data() + at + 4, len + 4), get32(png, at + 8 + len)) << type;
    if (type == "IHDR") {
      w = get32(png, at + 8);
      h = get32(png, at + 12);
    }
    if (type == "IDAT") z.insert(z.end(), png.begin() + at + 8, png.begin() + at + 8 + len);
    at += 12 + len;
  }
  for (size_t at = 2; at + 5 <= z.size();) {
    bool last = z[at] & 1;
    size_t n = z[at + 1] | (z[at + 2] << 8);
    EXPECT_EQ(n ^ 0xFFFF, size_t(z[at + 3] | (z[at + 4] << 8)));
    raw.insert(raw.end(), z.begin() + at + 5, z.begin() + at + 5 + n);
    at += 5 + n;
    if (last) break;
  }
  return raw;
}

TEST(PngWriter, KnownCrcOfIend) {
  const uint8_t iend[] = {'I', 'E', 'N', 'D'};
  EXPECT_EQ(crc32(iend, 4), 0xAE426082u);
}

TEST(PngWriter, PixelsComeBackAsRgbScanlinesAcrossManyBlocks) {
  // Wide enough that the image spans several 64 KiB stored blocks.
  const uint32_t w = 300, h = 100;
  const size_t stride = w * 3 + 2;  // padded rows must not leak into the image
  std::vector<uint8_t> bgr(stride * h, 0xEE);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      bgr[y * stride + 3 * x] = static_cast<uint8_t>(x);      // blue
      bgr[y * stride + 3 * x + 1] = static_cast<uint8_t>(y);  // green
      bgr[y * stride + 3 * x + 2] = 7;                        // red
    }
  auto png = encodePng(w, h, bgr.data(), stride);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(0, memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));
  uint32_t rw = 0, rh = 0;
  auto raw = readBack(png, rw, rh);
  EXPECT_EQ(rw, w);
  EXPECT_EQ(rh, h);
  ASSERT_EQ(raw.size(), (w * 3 + 1) * h);
  const uint8_t* px = &raw[57 * (w * 3 + 1) + 1 + 3 * 201];  // row 57, column 201
  EXPECT_EQ(px[0], 7);
  EXPECT_EQ(px[1], 57);
  EXPECT_EQ(px[2], 201);
}

TEST(PngWriter, RefusesImpossibleSizes) {
  uint8_t px[3] = {};
  EXPECT_TRUE(encodePng(0, 1, px, 3).empty());
  EXPECT_TRUE(encodePng(1, 1, nullptr, 3).empty());
  EXPECT_TRUE(encodePng(2, 1, px, 3).empty());  // stride shorter than a row
}

}  // namespace
}  // namespace scribly
