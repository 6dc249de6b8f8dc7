#include "objects/pencil_object.h"

#include <algorithm>

#include "collab/envelope.h"
#include "objects/record_layout.h"

namespace scribly {

bool PencilObject::addPoint(Point p) {
  if (count_ >= kMaxPoints) return false;
  if (count_ > 0 && points_[count_ - 1] == p) return false;
  points_[count_++] = p;
  recomputeBounds();
  return true;
}

int PencilObject::hitHandle(Point p) const {
  for (uint16_t i = 0; i < count_; ++i) {
    if (handleSquare(points_[i]).contains(p)) return i;
  }
  return kNoHandle;
}

HandleCursor PencilObject::handleCursor(int handle) const {
  return handle >= 0 && handle < count_ ? HandleCursor::SizeNwse : HandleCursor::None;
}

bool PencilObject::moveHandle(int handle, Point p) {
  if (handle < 0 || handle >= count_) return false;
  points_[handle] = p;
  recomputeBounds();
  return true;
}

bool PencilObject::dragBy(Point from, Point to) {
  if (from == to) return false;
  offsetBy(to.x - from.x, to.y - from.y);
  return true;
}

void PencilObject::nudge(int direction) {
  static constexpr Point kSteps[4] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
  if (direction >= 0 && direction < 4) offsetBy(kSteps[direction].x, kSteps[direction].y);
}

bool PencilObject::hitTest(Point p) {
  if (count_ < 2) return false;
  const int32_t t = (width_ >> 1) + 3;
  for (uint16_t i = 1; i < count_; ++i) {
    if (SegmentNearTest(p, points_[i - 1], points_[i], t)) return true;
  }
  return false;
}

std::unique_ptr<BoardObject> PencilObject::clone() const {
  auto copy = std::make_unique<PencilObject>();
  copy->bounds_ = bounds_;
  copy->colour_ = colour_;
  copy->width_ = width_;
  copy->style_ = style_;
  copy->count_ = count_;
  copy->points_ = points_;
  return copy;
}

void PencilObject::draw(Canvas* canvas, DrawMode mode, uint32_t, bool) {
  if (!canvas || !drawableWidth(width_) || count_ < 2) return;
  CanvasStateScope scope(*canvas);
  canvas->setPen({style_, width_, colour_, PenCap::Round, PenJoin::Round, true});
  canvas->polyline(points());
  drawSelection(*canvas, mode, points(), [&] {
    canvas->setPen(selectionPen());
    canvas->polyline(points());
  });
}

size_t PencilObject::save(std::span<uint8_t> dest) const {
  if (count_ == 0 || count_ > kMaxPoints) return 0;
  // Room for the envelope's header around the bare record.
  if (dest.empty()) return 4 * size_t{count_} + kFixedRecordBytes + kEnvelopeHeaderBytes;
  ByteWriter out(4 * size_t{count_} + kFixedRecordBytes);
  out.u16(count_);
  for (Point p : points()) writePoint(out, p);
  writeLayout(out, *this, [](auto& io, auto& s) { tailLayout(io, s); });
  return emitRecord(dest, Compress(out.data()));
}

bool PencilObject::load(std::span<const uint8_t> record) {
  const auto payload = Decompress(record, kMaxRecordBytes);
  if (!payload) return false;
  ByteReader in(*payload);
  const uint16_t n = in.u16();
  if (n == 0 || n > kMaxPoints || payload->size() < 4 * size_t{n} + kFixedRecordBytes) {
    return false;
  }
  std::array<Point, kMaxPoints> points{};
  for (uint16_t i = 0; i < n; ++i) points[i] = readPoint(in);
  // The record's bounds stand until the next point change recomputes them.
  if (!in.ok() || !readLayout(std::span(*payload).subspan(in.offset()), *this,
                              [](auto& io, auto& s) { tailLayout(io, s); }))
    return false;
  count_ = n;
  points_ = points;
  style_ = knownPenStyle(style_);
  return true;
}

void PencilObject::moveTo(PackedPoint packed) {
  const Point p = packed.unpack();
  offsetBy(p.x - bounds_.left, p.y - bounds_.top);
}

void PencilObject::setPoints(PackedPoint handle, PackedPoint p) {
  moveHandle(static_cast<int>(static_cast<int32_t>(handle.value)), p.unpack());
}

void PencilObject::invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const {
  const Rect b{std::min(bounds_.left, bounds_.right), std::min(bounds_.top, bounds_.bottom),
               std::max(bounds_.left, bounds_.right), std::max(bounds_.top, bounds_.bottom)};
  invalidateBox(view, b, width_ + 2, dx, dy, erase);
}

void PencilObject::offsetBy(int32_t dx, int32_t dy) {
  for (uint16_t i = 0; i < count_; ++i) {
    Point& p = points_[i];
    p.x += dx;
    p.y += dy;
  }
  bounds_ = bounds_.offset(dx, dy);
}

}  // namespace scribly
