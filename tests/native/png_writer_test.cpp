#include "host/png_writer.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

namespace scribly {
namespace {

// Decodes with libpng as RGB; empty on any failure.
std::vector<uint8_t> decodeRgb(const std::vector<uint8_t>& png, uint32_t& w, uint32_t& h) {
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  w = image.width;
  h = image.height;
  return rgb;
}

TEST(PngWriter, PixelsComeBackAsRgbFromPaddedRows) {
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
  EXPECT_LT(png.size(), w * 3 * h / 4);  // compressed, not stored
  uint32_t rw = 0, rh = 0;
  auto rgb = decodeRgb(png, rw, rh);
  EXPECT_EQ(rw, w);
  EXPECT_EQ(rh, h);
  ASSERT_EQ(rgb.size(), w * 3 * h);
  const uint8_t* px = &rgb[57 * w * 3 + 3 * 201];  // row 57, column 201
  EXPECT_EQ(px[0], 7);
  EXPECT_EQ(px[1], 57);
  EXPECT_EQ(px[2], 201);
  EXPECT_EQ(rgb.back(), static_cast<uint8_t>(w - 1));  // the last row is whole
}

TEST(PngWriter, RefusesImpossibleSizes) {
  uint8_t px[3] = {};
  EXPECT_TRUE(encodePng(0, 1, px, 3).empty());
  EXPECT_TRUE(encodePng(1, 1, nullptr, 3).empty());
  EXPECT_TRUE(encodePng(2, 1, px, 3).empty());  // stride shorter than a row
}

}  // namespace
}  // namespace scribly
