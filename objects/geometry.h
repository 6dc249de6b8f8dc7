#pragma once
// Points, boxes and the geometric tests the board objects share. Coordinates
// are signed 32-bit; products are taken in 64 bits because peers may send any
// 16-bit coordinate and the segment test multiplies two extents.
#include <cstdint>
#include <span>

namespace scribly {

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(Point, Point) = default;
};

struct Size {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(Size, Size) = default;
};

// Half-open like a Win32 RECT: right and bottom are outside.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;

  int32_t width() const { return right - left; }
  int32_t height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  Rect inflated(int32_t d) const { return {left - d, top - d, right + d, bottom + d}; }
  Rect offset(int32_t dx, int32_t dy) const {
    return {left + dx, top + dy, right + dx, bottom + dy};
  }
};

// The ordered box spanned by two corners given in any order.
Rect boxOf(Point a, Point b);
// The bounding box of a set of points; empty (all zero) for none.
Rect boundsOf(std::span<const Point> points);

// A point packed into one u32 for records: x in the low 16 bits, y in the high
// 16 bits, both read back sign-extended.
struct PackedPoint {
  uint32_t value = 0;
  friend bool operator==(PackedPoint, PackedPoint) = default;

  static PackedPoint pack(Point p) {
    return {static_cast<uint32_t>(static_cast<uint16_t>(p.x)) |
            (static_cast<uint32_t>(static_cast<uint16_t>(p.y)) << 16)};
  }
  Point unpack() const {
    return {static_cast<int16_t>(value & 0xFFFF), static_cast<int16_t>(value >> 16)};
  }
};

// Nearness of a point to a segment within tolerance t, as the line, arrow,
// triangle and pencil hit tests use it.
bool SegmentNearTest(Point p, Point a, Point b, int32_t t);

// The nine handles of a box: corners and edge centres clockwise from the top
// left, then the centre.
inline constexpr int kHandleCount = 9;
inline constexpr int32_t kHandleHalfSize = 2;
void boxHandles(Point a, Point b, Point (&out)[kHandleCount]);
// The handle square around h; right and bottom edges exclusive.
inline Rect handleSquare(Point h) {
  return {h.x - kHandleHalfSize, h.y - kHandleHalfSize, h.x + kHandleHalfSize,
          h.y + kHandleHalfSize};
}

// Whether p lies in the ellipse inscribed in box (pixel centres, so the result
// matches a filled ellipse of that box).
bool ellipseContains(const Rect& box, Point p);
// Whether p lies inside the polygon under the nonzero winding rule.
bool polygonContainsWinding(std::span<const Point> polygon, Point p);

}  // namespace scribly
