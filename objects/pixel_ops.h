#pragma once
// Pure functions over 24-bit pictures: blue, green, red per pixel, rows
// bottom-up, each row padded to a multiple of 4 bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "objects/geometry.h"

namespace scribly {

// Bytes in one padded row; 0 for an empty row.
inline size_t pictureRowBytes(uint32_t width) {
  return width == 0 ? 0 : ((3 * size_t{width} - 1) / 4 + 1) * 4;
}
inline size_t pictureBytes(uint32_t width, uint32_t height) {
  return pictureRowBytes(width) * height;
}

// Largest pixel buffer accepted from a peer or a decoder.
inline constexpr size_t kMaxPictureBytes = size_t{64} << 20;

enum class Orientation : int32_t {
  MirrorLeftRight = 1,
  MirrorTopBottom = 2,
  TurnLeft = 3,
  TurnRight = 4,
};

// The picture turned or mirrored; for the turns the width and height swap.
// Every code is an exact permutation of the pixels. Empty for an unknown code
// or a buffer shorter than the picture.
std::vector<uint8_t> reorientPixels(std::span<const uint8_t> pixels, uint16_t width,
                                    uint16_t height, Orientation code);

struct TurnedPicture {
  std::vector<uint8_t> pixels;
  uint16_t width = 0;
  uint16_t height = 0;
};

// The picture turned by `degrees` about its centre (positive turns clockwise
// on screen) into the bounding size of the turned picture, each pixel the
// bilinear mix of the four source pixels around it, white where no source
// pixel lies. None for a buffer shorter than the picture, or when the result
// would exceed 16-bit sides or kMaxPictureBytes.
std::optional<TurnedPicture> turnPixels(std::span<const uint8_t> pixels, uint16_t width,
                                        uint16_t height, double degrees);
// The bounding box of `box` turned by `degrees` about its centre.
Rect turnedBox(const Rect& box, double degrees);

// One channel value after brightness b, then contrast k (each only when
// non-zero).
uint8_t adjustChannel(uint8_t c, int32_t brightness, int32_t contrast);
// Applies both adjustments to every pixel of the picture in place.
void adjustPixels(std::span<uint8_t> pixels, uint16_t width, uint16_t height, int32_t brightness,
                  int32_t contrast);

}  // namespace scribly
