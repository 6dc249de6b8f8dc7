#pragma once
// A page background's pixels: a decoded picture file, its scaled copy, or a
// template tile. 24-bit, rows bottom-up and padded as in objects/pixel_ops.h.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "objects/canvas.h"
#include "objects/geometry.h"

namespace scribly {

class BackgroundPicture {
 public:
  // Null when the picture is empty or the buffer is shorter than it.
  static std::unique_ptr<BackgroundPicture> make(std::vector<uint8_t> pixels, uint16_t width,
                                                 uint16_t height);

  Size size() const { return {width_, height_}; }
  std::span<const uint8_t> pixels() const { return pixels_; }

  // Whether a picture may be resized to `size`: not empty, nor larger than a
  // picture may be.
  static bool resizable(Size size);
  // A copy resized to `size`, each pixel taken from the nearest source pixel;
  // null when the size is not resizable.
  std::unique_ptr<BackgroundPicture> resized(Size size) const;

  // Copies the picture at its own size with its corner at `at`; only the rows
  // that meet `within` go to the canvas.
  void draw(Canvas& canvas, Point at, const Rect& within) const;
  // Repeats the picture from the corner of `area` over all of it; only the
  // copies that meet `within` go to the canvas.
  void tile(Canvas& canvas, const Rect& area, const Rect& within) const;

 private:
  BackgroundPicture(std::vector<uint8_t> pixels, uint16_t width, uint16_t height)
      : pixels_(std::move(pixels)), width_(width), height_(height) {}

  std::vector<uint8_t> pixels_;
  uint16_t width_;
  uint16_t height_;
};

}  // namespace scribly
