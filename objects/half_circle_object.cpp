#include "objects/half_circle_object.h"

namespace scribly {

bool HalfCircleObject::moveHandle(int handle, Point p) {
  const int32_t x1 = p1_.x, y1 = p1_.y, x2 = p2_.x, y2 = p2_.y;
  bool allowed;
  switch (handle) {
    case 0:
      allowed = p.x < x2 && p.y < y2;
      break;
    case 1:
      allowed = p.y < y2;
      break;
    case 2:
      allowed = p.x > x1 && p.y < y2;
      break;
    case 3:
      allowed = p.x > x1;
      break;
    case 4:
      allowed = p.x > x1 && p.y > y1;
      break;
    case 5:
      allowed = p.y > y1;
      break;
    case 6:
      allowed = p.x < x2 && p.y > y1;
      break;
    case 7:
      allowed = p.x < x2;
      break;
    case kMoveHandle:
      return true;
    default:
      return false;
  }
  return allowed && BoxObject::moveHandle(handle, p);
}

bool HalfCircleObject::geometry(Rect& e, Point& from, Point& to) const {
  // 64-bit doubling: a peer's box may sit anywhere in the 16-bit range.
  auto mirror = [](int32_t keep, int32_t across) {
    return static_cast<int32_t>(2 * int64_t{across} - keep);
  };
  const int32_t l = p1_.x, t = p1_.y, r = p2_.x, b = p2_.y;
  switch (orientation_) {
    case 1:
      e = {l, t, r, mirror(t, b)};
      from = {r, b};
      to = {l, b};
      return true;
    case 2:
      e = {l, mirror(b, t), r, b};
      from = {l, t};
      to = {r, t};
      return true;
    case 3:
      e = {l, t, mirror(l, r), b};
      from = {r, t};
      to = {r, b};
      return true;
    case 4:
      e = {mirror(r, l), t, r, b};
      from = {l, b};
      to = {l, t};
      return true;
    default:
      return false;
  }
}

bool HalfCircleObject::hitTest(Point p) {
  Rect e;
  Point from, to;
  if (!geometry(e, from, to)) return false;
  const Rect stored{p1_.x, p1_.y, p2_.x, p2_.y};
  if (fill_ != 0) return ellipseContains(e, p) && stored.contains(p);
  // A band of 2 pixels each side of the outline, whatever the pen width.
  constexpr int32_t kBand = 2;
  const bool outer = ellipseContains(e.inflated(kBand), p) && stored.inflated(kBand).contains(p);
  const bool inner = ellipseContains(e.inflated(-kBand), p) && stored.inflated(-kBand).contains(p);
  return outer && !inner;
}

std::unique_ptr<BoardObject> HalfCircleObject::clone() const {
  auto copy = std::make_unique<HalfCircleObject>(HalfCircleOrientation::Upper);
  copy->orientation_ = orientation_;
  copy->madeAs_ = madeAs_;
  copyFilledTo(*copy);
  return copy;
}

ObjectKind HalfCircleObject::kind() const {
  return validOrientation() ? static_cast<ObjectKind>(21 + orientation_) : madeAs_;
}

void HalfCircleObject::draw(Canvas* canvas, DrawMode mode, uint32_t, bool) {
  if (!canvas || !drawableWidth(width_)) return;
  CanvasStateScope scope(*canvas);
  Rect e;
  Point from, to;
  if (geometry(e, from, to)) {
    canvas->setPen(pen());
    canvas->setBrush(BrushSpec::fill(fill_));
    canvas->chord(e, from, to);
  }
  drawBoxSelection(*canvas, mode);
}

size_t HalfCircleObject::save(std::span<uint8_t> dest) const {
  ByteWriter out(kRecordSize);
  writeLayout(out, *this, [](auto& io, auto& s) { layout(io, s); });
  return emitRecord(dest, out.data());
}

bool HalfCircleObject::load(std::span<const uint8_t> record) {
  if (record.size() < kRecordSize ||
      !readLayout(record, *this, [](auto& io, auto& s) { layout(io, s); }))
    return false;
  style_ = knownPenStyle(style_);
  return true;
}

}  // namespace scribly
