#pragma once
// Isosceles triangles (kind 16) drawn by dragging from the apex row, with
// three corner handles afterwards.
#include <array>

#include "objects/board_object.h"

namespace scribly {

class TriangleObject : public Filled<Penned<BoardObject>> {
 public:
  static constexpr size_t kRecordSize = 25;
  // The handle the creating drag moves: it shapes the whole triangle.
  static constexpr int kCreationHandle = 3;

  // The tool's start: all three corners at the press point.
  void startAt(Point p) { corners_ = {p, p, p}; }
  const std::array<Point, 3>& corners() const { return corners_; }

  int hitHandle(Point p) const override;
  HandleCursor handleCursor(int handle) const override;
  bool moveHandle(int handle, Point p) override;
  bool dragBy(Point from, Point to) override;
  void nudge(int direction) override;
  bool hitTest(Point p) override;
  std::unique_ptr<BoardObject> clone() const override;
  ObjectKind kind() const override { return ObjectKind::Triangle; }
  void draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) override;
  size_t save(std::span<uint8_t> dest) const override;
  bool load(std::span<const uint8_t> record) override;
  void moveTo(PackedPoint p) override;
  // The first point names a handle, the second is where it goes.
  void setPoints(PackedPoint handle, PackedPoint p) override;
  PackedPoint firstPoint() const override { return PackedPoint::pack(corners_[0]); }
  PackedPoint secondPoint() const override { return PackedPoint::pack(corners_[2]); }
  void invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const override;

 private:
  template <typename Io, typename Self>
  static void layout(Io& io, Self& s) {
    io(s.corners_)(s.colour_)(s.fill_)(s.width_)(s.style_);
  }
  void offsetBy(int32_t dx, int32_t dy);

  std::array<Point, 3> corners_{};
};

}  // namespace scribly
