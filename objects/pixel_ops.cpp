#include "objects/pixel_ops.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace scribly {

namespace {

// Byte offset of pixel (x, y) counted from the top, in a bottom-up buffer.
size_t pixelOffset(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  return (size_t{height} - 1 - y) * pictureRowBytes(width) + 3 * size_t{x};
}

struct Turn {
  double cos;
  double sin;
};

Turn turnOf(double degrees) {
  const double theta = degrees * 0.017453292519943295;
  return {std::cos(theta), std::sin(theta)};
}

// The bounding size of a w x h rectangle turned; rounded so that right
// angles give exact sides despite the sine's last bits.
Size turnedSize(double w, double h, Turn t) {
  return {static_cast<int32_t>(std::lround(w * std::abs(t.cos) + h * std::abs(t.sin))),
          static_cast<int32_t>(std::lround(w * std::abs(t.sin) + h * std::abs(t.cos)))};
}

}  // namespace

std::optional<TurnedPicture> turnPixels(std::span<const uint8_t> pixels, uint16_t width,
                                        uint16_t height, double degrees) {
  if (width == 0 || height == 0 || pixels.size() < pictureBytes(width, height) ||
      !std::isfinite(degrees)) {
    return std::nullopt;
  }
  const Turn t = turnOf(degrees);
  const Size size = turnedSize(width, height, t);
  if (size.width < 1 || size.height < 1 || size.width > UINT16_MAX || size.height > UINT16_MAX ||
      pictureBytes(size.width, size.height) > kMaxPictureBytes) {
    return std::nullopt;
  }
  TurnedPicture out{std::vector<uint8_t>(pictureBytes(size.width, size.height), 0xFF),
                    static_cast<uint16_t>(size.width), static_cast<uint16_t>(size.height)};
  // Pixel centres sit on whole coordinates; the turn is about the middle.
  const double srcCx = (width - 1) / 2.0, srcCy = (height - 1) / 2.0;
  const double dstCx = (out.width - 1) / 2.0, dstCy = (out.height - 1) / 2.0;
  // A source position this close to the last row or column still samples it.
  constexpr double kEdge = 1e-6;
  const size_t srcRow = pictureRowBytes(width);
  for (uint32_t y = 0; y < out.height; ++y) {
    const double dy = y - dstCy;
    uint8_t* d = &out.pixels[pixelOffset(0, y, out.width, out.height)];
    for (uint32_t x = 0; x < out.width; ++x, d += 3) {
      const double dx = x - dstCx;
      // The inverse turn finds where the destination pixel comes from.
      const double sx = dx * t.cos + dy * t.sin + srcCx;
      const double sy = -dx * t.sin + dy * t.cos + srcCy;
      if (sx < -kEdge || sy < -kEdge || sx > width - 1 + kEdge || sy > height - 1 + kEdge) {
        continue;
      }
      const auto ix = static_cast<uint32_t>(std::clamp(sx, 0.0, width - 1.0));
      const auto iy = static_cast<uint32_t>(std::clamp(sy, 0.0, height - 1.0));
      const double fx = std::clamp(sx - ix, 0.0, 1.0), fy = std::clamp(sy - iy, 0.0, 1.0);
      // Rows are bottom-up: the row below on screen comes first in memory.
      const uint8_t* p00 = &pixels[pixelOffset(ix, iy, width, height)];
      const uint8_t* p10 = ix + 1 < width ? p00 + 3 : p00;
      const uint8_t* p01 = iy + 1 < height ? p00 - srcRow : p00;
      const uint8_t* p11 = ix + 1 < width ? p01 + 3 : p01;
      const double w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy,
                   w11 = fx * fy;
      for (int c = 0; c < 3; ++c) {
        const double v = p00[c] * w00 + p10[c] * w10 + p01[c] * w01 + p11[c] * w11;
        // The sum's last bits must not take one off an even colour.
        d[c] = static_cast<uint8_t>(std::clamp(v + 1e-9, 0.0, 255.0));
      }
    }
  }
  return out;
}

Rect turnedBox(const Rect& box, double degrees) {
  const Size size = turnedSize(box.width(), box.height(), turnOf(degrees));
  // Twice the centre, so that odd sides keep it exactly.
  const int64_t cx2 = int64_t{box.left} + box.right, cy2 = int64_t{box.top} + box.bottom;
  const auto left = static_cast<int32_t>((cx2 - size.width) / 2);
  const auto top = static_cast<int32_t>((cy2 - size.height) / 2);
  return {left, top, left + size.width, top + size.height};
}

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
