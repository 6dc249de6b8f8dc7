#include "objects/rect_object.h"

#include <cmath>
#include <cstdlib>

namespace scribly {

std::unique_ptr<BoardObject> RectObject::clone() const {
  auto copy = std::make_unique<RectObject>();
  copyFilledTo(*copy);
  return copy;
}

void RectObject::draw(Canvas* canvas, DrawMode mode, uint32_t, bool) {
  if (!canvas || !drawableWidth(width_)) return;
  CanvasStateScope scope(*canvas);
  canvas->setPen(pen());
  canvas->setBrush(BrushSpec::fill(fill_));
  canvas->rectangle(box());
  drawBoxSelection(*canvas, mode);
}

size_t RectObject::save(std::span<uint8_t> dest) const { return saveBoxRecord(dest); }

bool RectObject::load(std::span<const uint8_t> record) { return loadBoxRecord(record); }

bool EllipseObject::hitTest(Point p) {
  const double a = std::fabs(double{1.0} * p2_.x - p1_.x);
  const double b = std::fabs(double{1.0} * p2_.y - p1_.y);
  const double cx = (double{1.0} * p1_.x + p2_.x) * 0.5;
  const double cy = (double{1.0} * p1_.y + p2_.y) * 0.5;
  double f1x = cx, f1y = cy, f2x = cx, f2y = cy, major;
  if (a >= b) {
    const double c = std::sqrt(a * a - b * b) * 0.5;
    f1x -= c;
    f2x += c;
    major = a;
  } else {
    const double c = std::sqrt(b * b - a * a) * 0.5;
    f1y -= c;
    f2y += c;
    major = b;
  }
  const double d = std::hypot(p.x - f1x, p.y - f1y) + std::hypot(p.x - f2x, p.y - f2y);
  const double t = (width_ >> 1) + 3.0;
  if (fill_ != 0) return d <= t + major;
  return std::fabs(d - major) < t;
}

std::unique_ptr<BoardObject> EllipseObject::clone() const {
  auto copy = std::make_unique<EllipseObject>();
  copyFilledTo(*copy);
  return copy;
}

void EllipseObject::draw(Canvas* canvas, DrawMode mode, uint32_t, bool) {
  if (!canvas || !drawableWidth(width_)) return;
  CanvasStateScope scope(*canvas);
  canvas->setPen(pen());
  canvas->setBrush(BrushSpec::fill(fill_));
  canvas->ellipse(box());
  // Selected shows the ellipse itself; with handles, the box they sit on.
  if (mode != DrawMode::Selected) return drawBoxSelection(*canvas, mode);
  canvas->setPen(selectionPen());
  canvas->setBrush(BrushSpec::none());
  canvas->ellipse(box());
}

size_t EllipseObject::save(std::span<uint8_t> dest) const { return saveBoxRecord(dest); }

bool EllipseObject::load(std::span<const uint8_t> record) { return loadBoxRecord(record); }

}  // namespace scribly
