#include "board/background_picture.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "objects/pixel_ops.h"

namespace scribly {
namespace {

// The source index a new index shows: new position ÷ (to ÷ from), taken to
// the nearest whole pixel and kept inside the source. Integer arithmetic, so
// every participant picks the same pixels.
uint32_t nearestSource(uint32_t to, uint32_t from, uint32_t index) {
  const uint64_t source = (2 * uint64_t{index} * from + to) / (2 * uint64_t{to});
  return static_cast<uint32_t>(std::min<uint64_t>(source, from - 1));
}

}  // namespace

std::unique_ptr<BackgroundPicture> BackgroundPicture::make(std::vector<uint8_t> pixels,
                                                           uint16_t width, uint16_t height) {
  if (width == 0 || height == 0 || pixels.size() < pictureBytes(width, height)) return nullptr;
  pixels.resize(pictureBytes(width, height));
  return std::unique_ptr<BackgroundPicture>(
      new BackgroundPicture(std::move(pixels), width, height));
}

bool BackgroundPicture::resizable(Size size) {
  constexpr int32_t kMaxSide = std::numeric_limits<uint16_t>::max();
  if (size.width <= 0 || size.height <= 0 || size.width > kMaxSide || size.height > kMaxSide)
    return false;
  return pictureBytes(static_cast<uint16_t>(size.width), static_cast<uint16_t>(size.height)) <=
         kMaxPictureBytes;
}

std::unique_ptr<BackgroundPicture> BackgroundPicture::resized(Size size) const {
  if (!resizable(size)) return nullptr;
  const auto w = static_cast<uint16_t>(size.width);
  const auto h = static_cast<uint16_t>(size.height);
  std::vector<size_t> columns(w);
  for (uint32_t x = 0; x < w; ++x) columns[x] = 3 * size_t{nearestSource(w, width_, x)};
  const size_t fromRow = pictureRowBytes(width_);
  const size_t toRow = pictureRowBytes(w);
  std::vector<uint8_t> out(pictureBytes(w, h));
  // Rows are mapped counted from the top, as the picture shows them.
  for (uint32_t y = 0; y < h; ++y) {
    const uint32_t sy = nearestSource(h, height_, y);
    const uint8_t* from = pixels_.data() + (height_ - 1 - sy) * fromRow;
    uint8_t* to = out.data() + (h - 1 - y) * toRow;
    for (uint32_t x = 0; x < w; ++x) std::memcpy(to + 3 * size_t{x}, from + columns[x], 3);
  }
  return std::unique_ptr<BackgroundPicture>(new BackgroundPicture(std::move(out), w, h));
}

void BackgroundPicture::draw(Canvas& canvas, Point at, const Rect& within) const {
  const int32_t top = std::max(within.top, at.y) - at.y;
  const int32_t bottom = std::min(within.bottom, at.y + height_) - at.y;
  if (top >= bottom || within.right <= at.x || within.left >= at.x + width_) return;
  // Rows top to bottom - 1, counted from the top, are one run of the
  // bottom-up buffer.
  const size_t row = pictureRowBytes(width_);
  const std::span<const uint8_t> band(pixels_.data() + (height_ - bottom) * row,
                                      (bottom - top) * row);
  canvas.blitPixels(Rect{at.x, at.y + top, at.x + width_, at.y + bottom}, band, width_,
                    static_cast<uint16_t>(bottom - top));
}

void BackgroundPicture::tile(Canvas& canvas, const Rect& area, const Rect& within) const {
  const Rect r{std::max(area.left, within.left), std::max(area.top, within.top),
               std::min(area.right, within.right), std::min(area.bottom, within.bottom)};
  if (r.left >= r.right || r.top >= r.bottom) return;
  const int32_t firstX = area.left + (r.left - area.left) / width_ * width_;
  const int32_t firstY = area.top + (r.top - area.top) / height_ * height_;
  for (int32_t y = firstY; y < r.bottom; y += height_)
    for (int32_t x = firstX; x < r.right; x += width_) draw(canvas, Point{x, y}, r);
}

}  // namespace scribly
