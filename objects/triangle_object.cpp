#include "objects/triangle_object.h"

#include "objects/record_layout.h"

namespace scribly {

int TriangleObject::hitHandle(Point p) const {
  for (int i = 0; i < 3; ++i) {
    if (handleSquare(corners_[i]).contains(p)) return i;
  }
  return kNoHandle;
}

HandleCursor TriangleObject::handleCursor(int handle) const {
  return handle >= 0 && handle < 3 ? HandleCursor::SizeNwse : HandleCursor::None;
}

bool TriangleObject::moveHandle(int handle, Point p) {
  if (handle >= 0 && handle < 3) return assignIfChanged(corners_[handle], p);
  if (handle != kCreationHandle) return false;
  // Apex on the press row, base on the pointer's row.
  corners_[0].y = p.y;
  corners_[1].x = static_cast<int32_t>((int64_t{corners_[0].x} + p.x) / 2);
  corners_[2] = p;
  return true;
}

bool TriangleObject::dragBy(Point from, Point to) {
  if (from == to) return false;
  offsetBy(to.x - from.x, to.y - from.y);
  return true;
}

void TriangleObject::nudge(int direction) {
  static constexpr Point kSteps[4] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
  if (direction >= 0 && direction < 4) offsetBy(kSteps[direction].x, kSteps[direction].y);
}

bool TriangleObject::hitTest(Point p) {
  const int32_t t = (width_ >> 1) + 1;
  for (int i = 0; i < 3; ++i) {
    if (SegmentNearTest(p, corners_[i], corners_[(i + 1) % 3], t)) return true;
  }
  return fill_ != 0 && polygonContainsWinding(corners_, p);
}

std::unique_ptr<BoardObject> TriangleObject::clone() const {
  auto copy = std::make_unique<TriangleObject>();
  copy->fill_ = fill_;
  copy->colour_ = colour_;
  copy->width_ = width_;
  copy->style_ = style_;
  copy->corners_ = corners_;
  return copy;
}

void TriangleObject::draw(Canvas* canvas, DrawMode mode, uint32_t, bool) {
  if (!canvas || !drawableWidth(width_)) return;
  CanvasStateScope scope(*canvas);
  canvas->setPen({style_, width_, colour_, PenCap::Round, PenJoin::Miter, true});
  canvas->setBrush(BrushSpec::fill(fill_));
  canvas->polygon(corners_);
  canvas->line(corners_[2], corners_[0]);
  drawSelection(*canvas, mode, corners_, [&] {
    canvas->setPen(selectionPen(2));
    canvas->setBrush(BrushSpec::none());
    canvas->polygon(corners_);
  });
}

size_t TriangleObject::save(std::span<uint8_t> dest) const {
  ByteWriter out(kRecordSize);
  writeLayout(out, *this, [](auto& io, auto& s) { layout(io, s); });
  return emitRecord(dest, out.data());
}

bool TriangleObject::load(std::span<const uint8_t> record) {
  if (record.size() < kRecordSize ||
      !readLayout(record, *this, [](auto& io, auto& s) { layout(io, s); }))
    return false;
  style_ = knownPenStyle(style_);
  return true;
}

void TriangleObject::moveTo(PackedPoint packed) {
  const Point p = packed.unpack();
  offsetBy(p.x - corners_[0].x, p.y - corners_[0].y);
}

void TriangleObject::setPoints(PackedPoint handle, PackedPoint p) {
  moveHandle(static_cast<int>(static_cast<int32_t>(handle.value)), p.unpack());
}

void TriangleObject::invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const {
  invalidateBox(view, boundsOf(corners_), 2 * width_ + 8, dx, dy, erase);
}

void TriangleObject::offsetBy(int32_t dx, int32_t dy) {
  for (Point& c : corners_) {
    c.x += dx;
    c.y += dy;
  }
}

}  // namespace scribly
