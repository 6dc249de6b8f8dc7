#include "objects/line_object.h"

#include <cmath>

namespace scribly {

int LineObject::hitHandle(Point p) const {
  if (handleSquare(p1_).contains(p)) return 0;
  if (handleSquare(p2_).contains(p)) return 1;
  return kNoHandle;
}

HandleCursor LineObject::handleCursor(int handle) const {
  return handle == 0 || handle == 1 ? HandleCursor::SizeNwse : HandleCursor::None;
}

bool LineObject::moveHandle(int handle, Point p) {
  if (handle == 0) return assignIfChanged(p1_, p);
  if (handle == 1) return assignIfChanged(p2_, p);
  return false;
}

bool LineObject::hitTest(Point p) { return SegmentNearTest(p, p1_, p2_, (width_ >> 1) + 1); }

void LineObject::copyLineTo(LineObject& other) const {
  other.width_ = width_;
  other.style_ = style_;
  other.colour_ = colour_;
  other.p1_ = p1_;
  other.p2_ = p2_;
}

std::unique_ptr<BoardObject> LineObject::clone() const {
  auto copy = std::make_unique<LineObject>();
  copyLineTo(*copy);
  return copy;
}

void LineObject::draw(Canvas* canvas, DrawMode mode, uint32_t, bool) {
  if (!canvas || !drawableWidth(width_)) return;
  CanvasStateScope scope(*canvas);
  canvas->setPen(pen());
  canvas->line(p1_, p2_);
  drawSelection(*canvas, mode, std::array{p1_, p2_}, [&] {
    canvas->setPen(selectionPen());
    canvas->line(p1_, p2_);
  });
}

size_t LineObject::save(std::span<uint8_t> dest) const {
  ByteWriter out(kRecordSize);
  writeLayout(out, *this, [](auto& io, auto& s) { lineLayout(io, s); });
  return emitRecord(dest, out.data());
}

bool LineObject::load(std::span<const uint8_t> record) {
  if (record.size() < kRecordSize ||
      !readLayout(record, *this, [](auto& io, auto& s) { lineLayout(io, s); }))
    return false;
  style_ = knownPenStyle(style_);
  return true;
}

void LineObject::moveTo(PackedPoint p) { dragBy(p1_, p.unpack()); }

namespace {

// The offsets of the two base corners from the tip of the head at the second
// point; none for a zero-length arrow, which has no direction.
std::optional<std::array<std::array<double, 2>, 2>> headOffsets(Point from, Point to) {
  const double dx = double{1.0} * to.x - from.x;
  const double dy = double{1.0} * to.y - from.y;
  const double d = std::sqrt(dx * dx + dy * dy);
  if (d == 0) return std::nullopt;
  const double a = std::trunc(ArrowLineObject::kHeadLength * dx / d);
  const double b = std::trunc(ArrowLineObject::kHeadLength * dy / d);
  // The angle value 30 halved and taken in radians: the base corners land
  // about 40.56 degrees off the line, 10 pixels back.
  constexpr double kHalfAngle = 30.0 * 0.5;
  std::array<std::array<double, 2>, 2> out;
  const double signs[2] = {-1.0, 1.0};
  for (int i = 0; i < 2; ++i) {
    const double theta = signs[i] * kHalfAngle;
    const double c = std::cos(theta), s = std::sin(theta);
    out[i] = {a * c - b * s, a * s + b * c};
  }
  return out;
}

int32_t truncated(double v) { return static_cast<int32_t>(std::trunc(v)); }

}  // namespace

std::optional<ArrowHead> arrowHeadAt(Point from, Point to) {
  const auto offsets = headOffsets(from, to);
  if (!offsets) return std::nullopt;
  ArrowHead head;
  for (int i = 0; i < 2; ++i) {
    head[i] = {truncated(to.x + (*offsets)[i][0]), truncated(to.y + (*offsets)[i][1])};
  }
  head[2] = to;
  return head;
}

void drawArrow(Canvas& canvas, Point from, Point to, bool twoHeads, uint32_t style, uint8_t width,
               uint32_t colour) {
  canvas.setPen(shapePen(style, width, colour));
  canvas.line(from, to);
  canvas.setPen(shapePen(kPenSolid, 1, colour));
  canvas.setBrush(BrushSpec::solid(colour));
  canvas.setFillMode(FillMode::Alternate);
  const auto head = arrowHeadAt(from, to);
  if (!head) return;
  canvas.polygon(*head);
  // The head at the first point is the same head drawn backwards.
  if (twoHeads) canvas.polygon(*arrowHeadAt(to, from));
}

std::unique_ptr<BoardObject> ArrowLineObject::clone() const {
  auto copy = std::make_unique<ArrowLineObject>(headCount_ != 0);
  copy->headCount_ = headCount_;
  copyLineTo(*copy);
  return copy;
}

void ArrowLineObject::draw(Canvas* canvas, DrawMode mode, uint32_t, bool) {
  if (!canvas || !drawableWidth(width_)) return;
  CanvasStateScope scope(*canvas);
  drawArrow(*canvas, p1_, p2_, headCount_ != 0, style_, width_, colour_);
  drawSelection(*canvas, mode, std::array{p1_, p2_}, [&] {
    drawArrow(*canvas, p1_, p2_, headCount_ != 0, style_, width_, kSelectionGreen);
  });
}

size_t ArrowLineObject::save(std::span<uint8_t> dest) const {
  ByteWriter out(kRecordSize);
  writeLayout(out, *this, [](auto& io, auto& s) { layout(io, s); });
  return emitRecord(dest, out.data());
}

bool ArrowLineObject::load(std::span<const uint8_t> record) {
  if (record.size() < kRecordSize ||
      !readLayout(record, *this, [](auto& io, auto& s) { layout(io, s); }))
    return false;
  style_ = knownPenStyle(style_);
  return true;
}

void ArrowLineObject::invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const {
  invalidateBox(view, box(), ((width_ + 4) >> 1) + 11, dx, dy, erase);
}

}  // namespace scribly
