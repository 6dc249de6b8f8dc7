#pragma once
// Pure functions over 24-bit pictures: blue, green, red per pixel, rows
// bottom-up, each row padded to a multiple of 4 bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/bmp_file.h"
#include "objects/geometry.h"

namespace scribly {

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
