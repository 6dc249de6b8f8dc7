#pragma once
// Isosceles triangles (kind 16) drawn by dragging from the apex row, with
// three corner handles afterwards.
#include <array>

#include "objects/board_object.h"

namespace scribly {

class TriangleObject : public BoardObject {
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
  bool setPenWidth(uint8_t width) override { return assignIfChanged(width_, width); }
  bool getPenWidth(uint8_t& width) const override {
    width = width_;
    return true;
  }
  bool setPenStyle(uint32_t style) override { return assignIfChanged(style_, style); }
  bool getPenStyle(uint32_t& style) const override {
    style = style_;
    return true;
  }
  bool setColour(uint32_t colour) override { return assignIfChanged(colour_, colour); }
  bool getColour(uint32_t& colour) const override {
    colour = colour_;
    return true;
  }
  bool setFill(uint32_t fill) override { return assignIfChanged(fill_, fill); }
  bool getFill(uint32_t& fill) const override {
    fill = fill_;
    return true;
  }
  void invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const override;

 private:
  void offsetBy(int32_t dx, int32_t dy);

  uint32_t fill_ = 0;
  uint32_t colour_ = 0;
  uint8_t width_ = 0;
  uint32_t style_ = 0;
  std::array<Point, 3> corners_{};
};

}  // namespace scribly
