#pragma once
// Half ellipses (kinds 22 to 25): one half of the ellipse whose other half
// would mirror the box across one of its sides.
#include "objects/shape_object.h"

namespace scribly {

enum class HalfCircleOrientation : uint8_t { Upper = 1, Lower = 2, Left = 3, Right = 4 };

class HalfCircleObject : public FilledObject {
 public:
  static constexpr size_t kRecordSize = kBoxRecordSize + 1;

  explicit HalfCircleObject(HalfCircleOrientation orientation)
      : orientation_(static_cast<uint8_t>(orientation)) {}

  // Refuses moves that would let the box cross or touch its opposite side, so
  // the box stays ordered.
  bool moveHandle(int handle, Point p) override;
  bool hitTest(Point p) override;
  std::unique_ptr<BoardObject> clone() const override;
  ObjectKind kind() const override;
  void draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) override;
  size_t save(std::span<uint8_t> dest) const override;
  bool load(std::span<const uint8_t> record) override;

  uint8_t orientation() const { return orientation_; }
  // The full ellipse's box and the chord's ends; false for an orientation
  // outside 1..4, which draws nothing and is never hit.
  bool geometry(Rect& fullEllipse, Point& chordFrom, Point& chordTo) const;

 private:
  template <typename Io, typename Self>
  static void layout(Io& io, Self& s) {
    boxLayout(io, s);
    io(s.orientation_);
  }
  bool validOrientation() const { return orientation_ >= 1 && orientation_ <= 4; }

  uint8_t orientation_;
  // The kind made for, which a record with a bad orientation byte keeps.
  ObjectKind madeAs_ = static_cast<ObjectKind>(21 + orientation_);
};

}  // namespace scribly
