#pragma once
// Rectangles (kind 12) and ellipses inscribed in their box (kind 13).
#include "objects/shape_object.h"

namespace scribly {

class RectObject : public FilledObject {
 public:
  static constexpr size_t kRecordSize = kBoxRecordSize;

  std::unique_ptr<BoardObject> clone() const override;
  ObjectKind kind() const override { return ObjectKind::Rect; }
  void draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) override;
  size_t save(std::span<uint8_t> dest) const override;
  bool load(std::span<const uint8_t> record) override;
};

class EllipseObject : public FilledObject {
 public:
  static constexpr size_t kRecordSize = kBoxRecordSize;

  bool hitTest(Point p) override;
  std::unique_ptr<BoardObject> clone() const override;
  ObjectKind kind() const override { return ObjectKind::Ellipse; }
  void draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) override;
  size_t save(std::span<uint8_t> dest) const override;
  bool load(std::span<const uint8_t> record) override;
};

}  // namespace scribly
