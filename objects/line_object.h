#pragma once
// Straight lines (kind 11) and arrow lines with one or two heads (20, 21).
#include <array>
#include <optional>

#include "objects/shape_object.h"

namespace scribly {

class LineObject : public StrokedObject {
 public:
  static constexpr size_t kRecordSize = 17;

  int hitHandle(Point p) const override;
  HandleCursor handleCursor(int handle) const override;
  bool moveHandle(int handle, Point p) override;
  bool hitTest(Point p) override;
  std::unique_ptr<BoardObject> clone() const override;
  ObjectKind kind() const override { return ObjectKind::Line; }
  void draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) override;
  size_t save(std::span<uint8_t> dest) const override;
  bool load(std::span<const uint8_t> record) override;
  void moveTo(PackedPoint p) override;

 protected:
  template <typename Io, typename Self>
  static void lineLayout(Io& io, Self& s) {
    io(s.p1_)(s.p2_)(s.colour_)(s.width_)(s.style_);
  }
  void copyLineTo(LineObject& other) const;
};

// The corners of one arrowhead: the two base corners, then the tip.
using ArrowHead = std::array<Point, 3>;
// The head at `to` of the arrow from `from`; none for a zero-length arrow.
std::optional<ArrowHead> arrowHeadAt(Point from, Point to);
// Strokes the line and fills one head at the second point, or a head at each
// end.
void drawArrow(Canvas& canvas, Point from, Point to, bool twoHeads, uint32_t style, uint8_t width,
               uint32_t colour);

class ArrowLineObject : public LineObject {
 public:
  static constexpr size_t kRecordSize = 18;
  static constexpr int32_t kHeadLength = 10;

  explicit ArrowLineObject(bool twoHeads) : headCount_(twoHeads ? 1 : 0) {}

  std::unique_ptr<BoardObject> clone() const override;
  ObjectKind kind() const override {
    return headCount_ == 0 ? ObjectKind::ArrowLine : ObjectKind::DoubleArrowLine;
  }
  void draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) override;
  size_t save(std::span<uint8_t> dest) const override;
  bool load(std::span<const uint8_t> record) override;
  void invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const override;

 private:
  template <typename Io, typename Self>
  static void layout(Io& io, Self& s) {
    lineLayout(io, s);
    io(s.headCount_);
  }
  // 0 draws one head, any other value two.
  uint8_t headCount_;
};

}  // namespace scribly
