#pragma once
// Freehand strokes (kind 10): up to 500 points kept inline so that appending
// on every mouse move never allocates. The record travels enveloped.
#include <array>

#include "objects/board_object.h"

namespace scribly {

class PencilObject : public BoardObject {
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
  void invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const override;

 private:
  void offsetBy(int32_t dx, int32_t dy);
  void recomputeBounds() { bounds_ = boundsOf(points()); }

  Rect bounds_;
  uint32_t colour_ = 0;
  uint8_t width_ = 0;
  uint32_t style_ = 0;
  uint16_t count_ = 0;
  std::array<Point, kMaxPoints> points_{};
};

}  // namespace scribly
