#include "objects/pixel_ops.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace scribly {

namespace {

// Byte offset of pixel (x, y) counted from the top, in a bottom-up buffer.
size_t pixelOffset(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  return (size_t{height} - 1 - y) * pictureRowBytes(width) + 3 * size_t{x};
}

}  // namespace

std::vector<uint8_t> reorientPixels(std::span<const uint8_t> pixels, uint16_t width,
                                    uint16_t height, Orientation code) {
  if (width == 0 || height == 0 || pixels.size() < pictureBytes(width, height)) return {};
  const bool turn = code == Orientation::TurnLeft || code == Orientation::TurnRight;
  if (!turn && code != Orientation::MirrorLeftRight && code != Orientation::MirrorTopBottom) {
    return {};
  }
  const uint16_t outW = turn ? height : width;
  const uint16_t outH = turn ? width : height;
  std::vector<uint8_t> out(pictureBytes(outW, outH), 0);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t dx, dy;
      switch (code) {
        case Orientation::MirrorLeftRight:
          dx = width - 1 - x;
          dy = y;
          break;
        case Orientation::MirrorTopBottom:
          dx = x;
          dy = height - 1 - y;
          break;
        case Orientation::TurnLeft:
          // The top row becomes the left column, read bottom to top.
          dx = y;
          dy = width - 1 - x;
          break;
        default:
          // The top row becomes the right column, read top to bottom.
          dx = height - 1 - y;
          dy = x;
          break;
      }
      std::memcpy(&out[pixelOffset(dx, dy, outW, outH)], &pixels[pixelOffset(x, y, width, height)],
                  3);
    }
  }
  return out;
}

uint8_t adjustChannel(uint8_t c, int32_t brightness, int32_t contrast) {
  // 64-bit and floating arithmetic: a peer may send any 32-bit value.
  int64_t v = c;
  if (brightness != 0) v = std::clamp<int64_t>(v + brightness, 0, 255);
  const int64_t k = contrast;
  if (k > 0) {
    if (v <= k) {
      v = 0;
    } else if (v >= 255 - k) {
      v = 255;
    } else {
      v = static_cast<int64_t>(static_cast<double>(v - k) / ((255 - 2 * k) * (1.0 / 255)));
    }
  } else if (k < 0) {
    // Kept in 8 bits as the drawing always stored it; strong negative values
    // wrap rather than saturate.
    v = v * (255 + 2 * k) / 255 - k;
  }
  return static_cast<uint8_t>(v & 0xFF);
}

void adjustPixels(std::span<uint8_t> pixels, uint16_t width, uint16_t height, int32_t brightness,
                  int32_t contrast) {
  if (brightness == 0 && contrast == 0) return;
  std::array<uint8_t, 256> table;
  for (int c = 0; c < 256; ++c)
    table[c] = adjustChannel(static_cast<uint8_t>(c), brightness, contrast);
  const size_t rowBytes = pictureRowBytes(width);
  const size_t rows = std::min<size_t>(height, rowBytes == 0 ? 0 : pixels.size() / rowBytes);
  for (size_t r = 0; r < rows; ++r) {
    uint8_t* row = pixels.data() + r * rowBytes;
    for (size_t i = 0; i < 3 * size_t{width}; ++i) row[i] = table[row[i]];
  }
}

}  // namespace scribly
