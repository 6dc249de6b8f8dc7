#include "objects/board_object.h"

#include <algorithm>

namespace scribly {

std::vector<uint8_t> saveRecord(const BoardObject& object) {
  std::vector<uint8_t> out(object.save({}));
  if (out.empty()) return out;
  out.resize(object.save(out));
  return out;
}

std::vector<uint8_t> saveBulkRecord(const BoardObject& object) {
  std::vector<uint8_t> out(object.saveBulkData({}));
  if (out.empty()) return out;
  out.resize(object.saveBulkData(out));
  return out;
}

size_t emitRecord(std::span<uint8_t> dest, std::span<const uint8_t> record) {
  if (dest.empty()) return record.size();
  if (dest.size() < record.size()) return 0;
  std::copy(record.begin(), record.end(), dest.begin());
  return record.size();
}

PenSpec shapePen(uint32_t style, uint8_t width, uint32_t colour) {
  return {style, width, colour, PenCap::Flat, PenJoin::Miter, true};
}

PenSpec selectionPen(uint32_t width) {
  return {kPenDash, width, kSelectionGreen, PenCap::Round, PenJoin::Round, true};
}

void paintHandles(Canvas& canvas, std::span<const Point> handles) {
  for (Point h : handles) canvas.fillRect(handleSquare(h), kSelectionGreen);
}

void BoxObject::drawBoxSelection(Canvas& canvas, DrawMode mode, bool withHandles) const {
  Point handles[kHandleCount];
  boxHandles(p1_, p2_, handles);
  drawSelection(canvas, mode,
                withHandles ? std::span<const Point>(handles) : std::span<const Point>(), [&] {
                  canvas.setPen(selectionPen());
                  canvas.setBrush(BrushSpec::none());
                  canvas.rectangle(box());
                });
}

HandleCursor boxHandleCursor(int handle) {
  switch (handle) {
    case 0:
    case 4:
      return HandleCursor::SizeNwse;
    case 1:
    case 5:
      return HandleCursor::SizeNs;
    case 2:
    case 6:
      return HandleCursor::SizeNesw;
    case 3:
    case 7:
      return HandleCursor::SizeWe;
    case kMoveHandle:
      return HandleCursor::Move;
    default:
      return HandleCursor::None;
  }
}

void invalidateBox(Invalidator& view, const Rect& box, int32_t margin, int32_t dx, int32_t dy,
                   bool erase) {
  view.invalidateRect(box.inflated(margin).offset(dx, dy), erase);
}

int BoxObject::hitHandle(Point p) const {
  Point handles[kHandleCount];
  boxHandles(p1_, p2_, handles);
  for (int i = 0; i < kHandleCount; ++i) {
    if (handleSquare(handles[i]).contains(p)) return i;
  }
  return kNoHandle;
}

bool BoxObject::moveHandle(int handle, Point p) {
  switch (handle) {
    case 0:
      p1_ = p;
      break;
    case 1:
      p1_.y = p.y;
      break;
    case 2:
      p2_.x = p.x;
      p1_.y = p.y;
      break;
    case 3:
      p2_.x = p.x;
      break;
    case 4:
      p2_ = p;
      break;
    case 5:
      p2_.y = p.y;
      break;
    case 6:
      p1_.x = p.x;
      p2_.y = p.y;
      break;
    case 7:
      p1_.x = p.x;
      break;
    case kMoveHandle:
      break;
    default:
      return false;
  }
  return true;
}

bool BoxObject::dragBy(Point from, Point to) {
  if (from == to) return false;
  offsetBy(to.x - from.x, to.y - from.y);
  return true;
}

void BoxObject::nudge(int direction) {
  switch (direction) {
    case 0:
      offsetBy(-1, 0);
      break;
    case 1:
      offsetBy(1, 0);
      break;
    case 2:
      offsetBy(0, -1);
      break;
    case 3:
      offsetBy(0, 1);
      break;
    default:
      break;
  }
}

bool BoxObject::hitTest(Point p) {
  uint8_t width = 0;
  uint32_t fill = 0;
  getPenWidth(width);
  getFill(fill);
  return boxHitTest(p, width, fill);
}

void BoxObject::moveTo(PackedPoint packed) {
  const Point p = packed.unpack();
  offsetBy(p.x - p1_.x, p.y - p1_.y);
}

void BoxObject::setPoints(PackedPoint a, PackedPoint b) {
  p1_ = a.unpack();
  p2_ = b.unpack();
}

void BoxObject::invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const {
  uint8_t width = 0;
  getPenWidth(width);
  invalidateBox(view, box(), standardMargin(width), dx, dy, erase);
}

void BoxObject::offsetBy(int32_t dx, int32_t dy) {
  p1_.x += dx;
  p1_.y += dy;
  p2_.x += dx;
  p2_.y += dy;
}

void BoxObject::normalise() {
  const Rect r = box();
  p1_ = {r.left, r.top};
  p2_ = {r.right, r.bottom};
}

bool BoxObject::boxHitTest(Point p, uint8_t width, uint32_t fill) {
  normalise();
  const int32_t t = (width >> 1) + 3;
  const Rect r = box();
  if (!r.inflated(t).contains(p)) return false;
  return fill != 0 || !r.inflated(-t).contains(p);
}

}  // namespace scribly
