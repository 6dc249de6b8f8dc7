#include <gtest/gtest.h>

#include "objects/geometry.h"
#include "objects/rect_object.h"

namespace scribly {
namespace {

TEST(PackedPoint, HalvesAreSignExtendedAndWritingKeepsLow16Bits) {
  EXPECT_EQ(PackedPoint{0xFFFE0003}.unpack(), (Point{3, -2}));
  EXPECT_EQ(PackedPoint{0x80007FFF}.unpack(), (Point{32767, -32768}));
  EXPECT_EQ(PackedPoint::pack({-1, 1}).value, 0x0001FFFFu);
  // Coordinates outside 16 bits lose their high bits.
  EXPECT_EQ(PackedPoint::pack({0x12345, 0}).unpack(), (Point{0x2345, 0}));
}

TEST(SegmentNearTest, DistanceToTheSegmentWithinToleranceWhateverTheDirectionOrExtent) {
  const int32_t t = (4 >> 1) + 1;  // a width-4 line
  EXPECT_TRUE(SegmentNearTest({50, 52}, {10, 50}, {100, 50}, t));
  EXPECT_TRUE(SegmentNearTest({50, 48}, {10, 50}, {100, 50}, t));
  EXPECT_FALSE(SegmentNearTest({50, 53}, {10, 50}, {100, 50}, t));
  // Past the end, outside the enlarged box.
  EXPECT_TRUE(SegmentNearTest({102, 50}, {10, 50}, {100, 50}, t));
  EXPECT_FALSE(SegmentNearTest({103, 50}, {10, 50}, {100, 50}, t));
  // Down-right and up-right diagonals, end points given in either order.
  for (auto [a, b] : {std::pair<Point, Point>{{0, 0}, {100, 100}}, {{100, 100}, {0, 0}}}) {
    EXPECT_TRUE(SegmentNearTest({50, 52}, a, b, 2));   // about 1.4 away
    EXPECT_FALSE(SegmentNearTest({50, 54}, a, b, 2));  // about 2.8 away
  }
  for (auto [a, b] : {std::pair<Point, Point>{{0, 100}, {100, 0}}, {{100, 0}, {0, 100}}}) {
    EXPECT_TRUE(SegmentNearTest({50, 51}, a, b, 2));
    EXPECT_FALSE(SegmentNearTest({50, 54}, a, b, 2));
  }
  // A zero-length segment is hit strictly within the tolerance on both axes.
  EXPECT_TRUE(SegmentNearTest({21, 19}, {20, 20}, {20, 20}, 2));
  EXPECT_FALSE(SegmentNearTest({22, 20}, {20, 20}, {20, 20}, 2));
  EXPECT_FALSE(SegmentNearTest({20, 18}, {20, 20}, {20, 20}, 2));
  // Extents of 65535 on both axes: their product exceeds 32 bits.
  EXPECT_TRUE(SegmentNearTest({0, 0}, {-32768, -32768}, {32767, 32767}, 2));
  EXPECT_FALSE(SegmentNearTest({0, 100}, {-32768, -32768}, {32767, 32767}, 2));
}

TEST(BoxHandles, NineHandlesWithTruncatedCentres) {
  Point h[kHandleCount];
  boxHandles({11, 20}, {0, 0}, h);  // corners in any order, clockwise from top-left
  EXPECT_EQ(h[0], (Point{0, 0}));
  EXPECT_EQ(h[3], (Point{11, 10}));
  EXPECT_EQ(h[8], (Point{5, 10}));
  boxHandles({-11, -1}, {0, 0}, h);
  EXPECT_EQ(h[8], (Point{-5, 0}));  // toward zero, not floor
}

TEST(BoxObjectHandles, SquareRightAndBottomEdgesAreExclusive) {
  RectObject r;
  r.setPoints(PackedPoint::pack({100, 100}), PackedPoint::pack({200, 160}));
  // Handle 4 at (200, 160): its square spans 198..201 on both axes.
  EXPECT_EQ(r.hitHandle({198, 158}), 4);
  EXPECT_EQ(r.hitHandle({201, 161}), 4);
  EXPECT_EQ(r.hitHandle({202, 160}), kNoHandle);
  EXPECT_EQ(r.hitHandle({200, 162}), kNoHandle);
  EXPECT_EQ(r.hitHandle({197, 160}), kNoHandle);
  EXPECT_EQ(r.hitHandle({150, 130}), 8);
  EXPECT_EQ(r.hitHandle({150, 100}), 1);
  EXPECT_EQ(r.handleCursor(8), HandleCursor::Move);
  EXPECT_EQ(r.handleCursor(2), HandleCursor::SizeNesw);
  EXPECT_EQ(r.handleCursor(9), HandleCursor::None);
  EXPECT_EQ(r.handleCursor(-1), HandleCursor::None);
}

TEST(BoxObjectHitTest, UnfilledIsABandAroundTheOutlineFilledIsTheWholeBox) {
  RectObject r;
  r.setPoints(PackedPoint::pack({100, 100}), PackedPoint::pack({200, 200}));
  r.setPenWidth(1);  // t = 3
  EXPECT_TRUE(r.hitTest({97, 150}));
  EXPECT_FALSE(r.hitTest({96, 150}));
  EXPECT_TRUE(r.hitTest({102, 150}));
  EXPECT_FALSE(r.hitTest({103, 150}));  // the shrunk box begins
  EXPECT_TRUE(r.hitTest({202, 150}));
  EXPECT_FALSE(r.hitTest({203, 150}));  // right edge exclusive
  EXPECT_FALSE(r.hitTest({150, 150}));
  r.setFill(0x123456);
  EXPECT_TRUE(r.hitTest({150, 150}));
  EXPECT_TRUE(r.hitTest({97, 97}));
  EXPECT_FALSE(r.hitTest({96, 150}));
}

TEST(BoxObjectHitTest, CrossedCornersAreSwappedInPlaceByTheNextHitTest) {
  RectObject r;
  r.setPoints(PackedPoint::pack({100, 100}), PackedPoint::pack({200, 200}));
  EXPECT_TRUE(r.moveHandle(0, {250, 260}));  // past the bottom-right corner
  EXPECT_EQ(r.first(), (Point{250, 260}));
  r.hitTest({0, 0});
  EXPECT_EQ(r.first(), (Point{200, 200}));
  EXPECT_EQ(r.second(), (Point{250, 260}));
}

TEST(BoxObjectMoves, HandlesDragsNudgesAndMoveTo) {
  RectObject r;
  r.setPoints(PackedPoint::pack({10, 10}), PackedPoint::pack({50, 30}));
  EXPECT_TRUE(r.moveHandle(2, {60, 5}));
  EXPECT_EQ(r.first(), (Point{10, 5}));
  EXPECT_EQ(r.second(), (Point{60, 30}));
  EXPECT_TRUE(r.moveHandle(8, {0, 0}));
  EXPECT_EQ(r.first(), (Point{10, 5}));
  EXPECT_FALSE(r.moveHandle(9, {0, 0}));
  EXPECT_FALSE(r.dragBy({3, 3}, {3, 3}));
  EXPECT_TRUE(r.dragBy({3, 3}, {5, 0}));
  EXPECT_EQ(r.first(), (Point{12, 2}));
  r.nudge(0);
  r.nudge(3);
  r.nudge(7);  // ignored
  EXPECT_EQ(r.first(), (Point{11, 3}));
  r.moveTo(PackedPoint::pack({0, 0}));
  EXPECT_EQ(r.first(), (Point{0, 0}));
  EXPECT_EQ(r.second(), (Point{50, 25}));
}

TEST(GeometryRegions, WindingPolygonAndEllipse) {
  const Point tri[] = {{0, 0}, {10, 0}, {0, 10}};
  EXPECT_TRUE(polygonContainsWinding(tri, {2, 2}));
  EXPECT_FALSE(polygonContainsWinding(tri, {8, 8}));
  EXPECT_TRUE(ellipseContains({0, 0, 20, 10}, {10, 5}));
  EXPECT_FALSE(ellipseContains({0, 0, 20, 10}, {0, 0}));
  EXPECT_FALSE(ellipseContains({0, 0, 0, 10}, {0, 5}));
}

}  // namespace
}  // namespace scribly
