#pragma once
// Freehand strokes (kind 10): up to 500 points kept inline so that appending
// on every mouse move never allocates. The record travels enveloped.
#include <array>

#include "objects/board_object.h"

namespace scribly {

class PencilObject : public Penned<BoardObject> {
 public:
  static constexpr uint16_t kMaxPoints = 500;
  // Record bytes besides the points: count, two bound corners, colour, width,
  // style.
  static constexpr size_t kFixedRecordBytes = 19;
  // The longest record a stroke has: a peer's envelope inflates no further.
  static constexpr size_t kMaxRecordBytes = 4 * size_t{kMaxPoints} + kFixedRecordBytes;

  // The tool's press point. Answers false when the stroke is full or the point
  // repeats the last one.
  bool addPoint(Point p);
  std::span<const Point> points() const { return {points_.data(), count_}; }
  Rect bounds() const { return bounds_; }

  int hitHandle(Point p) const override;
  HandleCursor handleCursor(int handle) const override;
  bool moveHandle(int handle, Point p) override;
  bool dragBy(Point from, Point to) override;
  void nudge(int direction) override;
  bool hitTest(Point p) override;
  std::unique_ptr<BoardObject> clone() const override;
  ObjectKind kind() const override { return ObjectKind::Pencil; }
  void draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) override;
  size_t save(std::span<uint8_t> dest) const override;
  bool load(std::span<const uint8_t> record) override;
  void moveTo(PackedPoint p) override;
  // The first point names a handle, the second is where it goes.
  void setPoints(PackedPoint handle, PackedPoint p) override;
  PackedPoint firstPoint() const override { return PackedPoint::pack({bounds_.left, bounds_.top}); }
  PackedPoint secondPoint() const override {
    return PackedPoint::pack({bounds_.right, bounds_.bottom});
  }
  void invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const override;

 private:
  // What follows the count and the points: the bounds' corners and the pen.
  template <typename Io, typename Self>
  static void tailLayout(Io& io, Self& s) {
    io(s.bounds_)(s.colour_)(s.width_)(s.style_);
  }
  void offsetBy(int32_t dx, int32_t dy);
  void recomputeBounds() { bounds_ = boundsOf(points()); }

  Rect bounds_;
  uint16_t count_ = 0;
  std::array<Point, kMaxPoints> points_{};
};

}  // namespace scribly
