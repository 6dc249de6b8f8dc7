#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/jpeg_codec.h"
#include "objects/pixel_ops.h"

namespace scribly {
namespace {

// A picture whose every pixel is distinct: channel values encode position.
std::vector<uint8_t> numbered(uint16_t w, uint16_t h) {
  std::vector<uint8_t> px(pictureBytes(w, h), 0xEE);
  const size_t row = pictureRowBytes(w);
  for (uint16_t y = 0; y < h; ++y) {
    for (uint16_t x = 0; x < w; ++x) {
      uint8_t* p = &px[y * row + 3 * x];
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>(x * 7 + y);
    }
  }
  return px;
}

// Pixel (x, y) counted from the top of a bottom-up picture.
const uint8_t* at(const std::vector<uint8_t>& px, uint16_t w, uint16_t h, int x, int y) {
  return &px[(h - 1 - y) * pictureRowBytes(w) + 3 * x];
}

TEST(Orientation, TurnsAndMirrorsMovePixelsWhereExpected) {
  const uint16_t w = 5, h = 3;
  const auto px = numbered(w, h);
  const auto right = reorientPixels(px, w, h, Orientation::TurnRight);
  const auto left = reorientPixels(px, w, h, Orientation::TurnLeft);
  const auto mirrorX = reorientPixels(px, w, h, Orientation::MirrorLeftRight);
  const auto mirrorY = reorientPixels(px, w, h, Orientation::MirrorTopBottom);
  ASSERT_EQ(right.size(), pictureBytes(h, w));
  // The top-left pixel goes to the top-right corner on a right turn, to the
  // bottom-left on a left turn.
  EXPECT_EQ(0, std::memcmp(at(right, h, w, h - 1, 0), at(px, w, h, 0, 0), 3));
  EXPECT_EQ(0, std::memcmp(at(left, h, w, 0, w - 1), at(px, w, h, 0, 0), 3));
  EXPECT_EQ(0, std::memcmp(at(mirrorX, w, h, w - 1, 1), at(px, w, h, 0, 1), 3));
  EXPECT_EQ(0, std::memcmp(at(mirrorY, w, h, 2, h - 1), at(px, w, h, 2, 0), 3));
}

TEST(Turn, ARightAngleMatchesTheQuarterTurnAndOthersFillTheCornersWhite) {
  const uint16_t w = 5, h = 3;
  const auto px = numbered(w, h);
  const auto quarter = turnPixels(px, w, h, 90);
  ASSERT_TRUE(quarter);
  ASSERT_EQ(quarter->width, h);
  ASSERT_EQ(quarter->height, w);
  const auto right = reorientPixels(px, w, h, Orientation::TurnRight);
  for (int y = 0; y < w; ++y) {
    for (int x = 0; x < h; ++x) {
      EXPECT_EQ(0, std::memcmp(at(quarter->pixels, h, w, x, y), at(right, h, w, x, y), 3));
    }
  }

  const std::vector<uint8_t> grey(pictureBytes(100, 50), 0x80);
  const auto turned = turnPixels(grey, 100, 50, 30);
  ASSERT_TRUE(turned);
  EXPECT_EQ(turned->width, 112);  // 100 cos 30 + 50 sin 30
  EXPECT_EQ(turned->height, 93);
  const uint8_t white[3] = {0xFF, 0xFF, 0xFF}, mid[3] = {0x80, 0x80, 0x80};
  EXPECT_EQ(0, std::memcmp(at(turned->pixels, 112, 93, 0, 0), white, 3));
  EXPECT_EQ(0, std::memcmp(at(turned->pixels, 112, 93, 111, 92), white, 3));
  EXPECT_EQ(0, std::memcmp(at(turned->pixels, 112, 93, 56, 46), mid, 3));

  EXPECT_EQ(turnedBox({10, 10, 50, 30}, 90), (Rect{20, 0, 40, 40}));
  EXPECT_EQ(turnedBox({10, 10, 50, 30}, -180), (Rect{10, 10, 50, 30}));
  EXPECT_FALSE(turnPixels(std::span(px).first(10), w, h, 30));
  EXPECT_FALSE(turnPixels(grey, 100, 50, std::nan("")));
  const std::vector<uint8_t> huge(pictureBytes(60000, 2));
  EXPECT_FALSE(turnPixels(huge, 60000, 2, 45));
}

TEST(Orientation, FourRightTurnsOrTwoMirrorsGiveTheOriginalBack) {
  for (auto [w, h] : {std::pair<uint16_t, uint16_t>{5, 3}, {1, 7}, {4, 4}, {6, 1}}) {
    const auto px = numbered(w, h);
    std::vector<uint8_t> cur = px;
    uint16_t cw = w, ch = h;
    for (int i = 0; i < 4; ++i) {
      cur = reorientPixels(cur, cw, ch, Orientation::TurnRight);
      std::swap(cw, ch);
    }
    // Padding bytes are not pixels; compare the pixels only.
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        ASSERT_EQ(0, std::memcmp(at(cur, w, h, x, y), at(px, w, h, x, y), 3)) << w << "x" << h;
      }
    }
    auto back = reorientPixels(reorientPixels(px, w, h, Orientation::TurnLeft), h, w,
                               Orientation::TurnRight);
    auto mx = reorientPixels(reorientPixels(px, w, h, Orientation::MirrorLeftRight), w, h,
                             Orientation::MirrorLeftRight);
    auto my = reorientPixels(reorientPixels(px, w, h, Orientation::MirrorTopBottom), w, h,
                             Orientation::MirrorTopBottom);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        EXPECT_EQ(0, std::memcmp(at(back, w, h, x, y), at(px, w, h, x, y), 3));
        EXPECT_EQ(0, std::memcmp(at(mx, w, h, x, y), at(px, w, h, x, y), 3));
        EXPECT_EQ(0, std::memcmp(at(my, w, h, x, y), at(px, w, h, x, y), 3));
      }
    }
  }

  // Unknown codes and short buffers give nothing.
  const auto px = numbered(4, 4);
  EXPECT_TRUE(reorientPixels(px, 4, 4, static_cast<Orientation>(5)).empty());
  EXPECT_TRUE(reorientPixels(std::span(px).first(10), 4, 4, Orientation::TurnLeft).empty());
  EXPECT_TRUE(reorientPixels(px, 0, 4, Orientation::TurnLeft).empty());
}

TEST(PixelAdjustment, BrightnessClampsThenContrastAndExtremesStayDefined) {
  EXPECT_EQ(adjustChannel(100, 255, 0), 255);
  EXPECT_EQ(adjustChannel(100, -255, 0), 0);
  // k = 50: values up to 50 go black, from 205 white.
  EXPECT_EQ(adjustChannel(50, 0, 50), 0);
  EXPECT_EQ(adjustChannel(205, 0, 50), 255);
  EXPECT_EQ(adjustChannel(100, 0, -50), 110);  // (c * 155 / 255) + 50
  // Brightness first, then contrast.
  EXPECT_EQ(adjustChannel(40, 20, 50), 16);  // 60 -> (10 / 0.6078) = 16.45
  // Extreme peer values stay defined.
  EXPECT_EQ(adjustChannel(200, INT32_MAX, INT32_MIN), adjustChannel(255, 0, INT32_MIN));
  EXPECT_EQ(adjustChannel(200, 0, 200), 0);  // k above 127 never divides
  EXPECT_EQ(adjustChannel(201, 0, 200), 255);

  // Row padding is left alone.
  std::vector<uint8_t> px(pictureBytes(1, 2), 7);
  adjustPixels(px, 1, 2, 255, 0);
  EXPECT_EQ(px, (std::vector<uint8_t>{255, 255, 255, 7, 255, 255, 255, 7}));
}

// A smooth photo-like picture: gradients with a little texture.
std::vector<uint8_t> photo(uint16_t w, uint16_t h) {
  std::vector<uint8_t> px(pictureBytes(w, h));
  const size_t row = pictureRowBytes(w);
  for (uint16_t y = 0; y < h; ++y) {
    for (uint16_t x = 0; x < w; ++x) {
      uint8_t* p = &px[y * row + 3 * x];
      p[0] = static_cast<uint8_t>(128 + 100 * std::sin(x / 40.0));
      p[1] = static_cast<uint8_t>(y * 255 / h);
      p[2] = static_cast<uint8_t>((x + y) * 255 / (w + h) + ((x * 13 + y * 7) % 9));
    }
  }
  return px;
}

TEST(Jpeg, PhotoRoundTripsWithinASmallMeanErrorAndBadStreamsAreRefused) {
  const uint16_t w = 640, h = 480;
  const auto px = photo(w, h);
  const auto jpeg = encodeJpeg(px, w, h, pictureBytes(w, h) + 9);
  ASSERT_TRUE(jpeg);
  EXPECT_LT(jpeg->size(), px.size() / 4);
  EXPECT_EQ((*jpeg)[0], 0xFF);
  EXPECT_EQ((*jpeg)[1], 0xD8);
  const auto back = decodeJpeg(*jpeg, w, h);
  ASSERT_TRUE(back);
  double error = 0;
  for (uint16_t y = 0; y < h; ++y) {
    for (int i = 0; i < 3 * w; ++i) {
      error +=
          std::abs(int((*back)[y * pictureRowBytes(w) + i]) - int(px[y * pictureRowBytes(w) + i]));
    }
  }
  EXPECT_LT(error / (3.0 * w * h), 3.0);
  // Rows stay bottom-up: the green gradient rises with the row index.
  EXPECT_LT((*back)[1], (*back)[(h - 1) * pictureRowBytes(w) + 1]);

  // Mismatched sizes, truncated streams and oversized output are refused.
  EXPECT_FALSE(decodeJpeg(*jpeg, w + 1, h));
  EXPECT_FALSE(decodeJpeg(*jpeg, w, h - 1));
  // libjpeg only warns about a stream cut short and pads it grey.
  EXPECT_FALSE(decodeJpeg(std::span(*jpeg).first(jpeg->size() - 2), w, h));
  EXPECT_FALSE(decodeJpeg(std::span(*jpeg).first(jpeg->size() / 2), w, h));
  EXPECT_FALSE(decodeJpeg(std::span(*jpeg).first(20), w, h));
  EXPECT_FALSE(decodeJpeg({}, w, h));
  EXPECT_FALSE(encodeJpeg(px, w, h, 100));  // would exceed the room allowed
  EXPECT_FALSE(encodeJpeg(std::span(px).first(10), w, h, 1 << 20));
}

}  // namespace
}  // namespace scribly
