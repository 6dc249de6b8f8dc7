#include <gtest/gtest.h>

#include "objects/geometry.h"
#include "objects/half_circle_object.h"
#include "objects/line_object.h"
#include "objects/rect_object.h"
#include "objects/triangle_object.h"
#include "recording_canvas.h"

namespace scribly {
namespace {

template <typename T>
void place(T& o, Point a, Point b, uint8_t width = 2, uint32_t colour = 0xFF, uint32_t fill = 0) {
  o.setPoints(PackedPoint::pack(a), PackedPoint::pack(b));
  o.setPenWidth(width);
  o.setColour(colour);
  o.setFill(fill);
}

// Record sizes and round trips of every kind are in object_factory_test; this
// pins where the fields sit.
TEST(ShapeRecords, ColourFillWidthAndStyleSitAtTheirOffsets) {
  LineObject line;
  RectObject rect;
  TriangleObject triangle;
  triangle.startAt({0, 0});
  triangle.moveHandle(3, {-40, 60});
  struct Case {
    BoardObject* object;
    size_t colour, fill, width;  // fill 0: the kind has none
  };
  for (const Case& c :
       {Case{&line, 8, 0, 12}, Case{&rect, 8, 12, 16}, Case{&triangle, 12, 16, 20}}) {
    c.object->setPoints(PackedPoint::pack({-5, 7}), PackedPoint::pack({300, -400}));
    c.object->setColour(0xAABBCC);
    EXPECT_EQ(c.object->setFill(0x112233), c.fill != 0);
    c.object->setPenWidth(7);
    c.object->setPenStyle(kPenDashDot);
    const auto record = saveRecord(*c.object);
    EXPECT_EQ(record.at(c.colour), 0xCC);
    EXPECT_EQ(c.fill ? record.at(c.fill) : 0x33, 0x33);
    EXPECT_EQ(record.at(c.width), 7);
    EXPECT_EQ(record.at(c.width + 1), kPenDashDot);
  }
  EXPECT_EQ(saveRecord(line)[0], 0xFB);  // points first
  uint32_t v = 0xDEADBEEF;
  EXPECT_FALSE(line.getFill(v));
  EXPECT_EQ(v, 0xDEADBEEFu);
  EXPECT_FALSE(line.setText("x"));
  TriangleObject triangleCopy;
  ASSERT_TRUE(triangleCopy.load(saveRecord(triangle)));
  EXPECT_EQ(triangleCopy.corners(), triangle.corners());
}

TEST(LineObject, EndPointHandlesSegmentHitTestDrawingAndArrowHeads) {
  LineObject line;
  place(line, {10, 10}, {110, 10}, 4);
  EXPECT_EQ(handlesAt(line, {{9, 11}, {111, 9}, {60, 10}}), "01-");
  EXPECT_EQ(line.handleCursor(1), HandleCursor::SizeNwse);
  EXPECT_EQ(line.handleCursor(2), HandleCursor::None);
  EXPECT_FALSE(line.moveHandle(1, {110, 10}));  // unchanged
  EXPECT_TRUE(line.moveHandle(1, {110, 20}));
  EXPECT_FALSE(line.moveHandle(2, {0, 0}));
  line.moveHandle(1, {110, 10});
  EXPECT_EQ(hits(line, {{60, 12}, {60, 13}}), "10");  // width 4: two pixels either side

  // Shape pen, then handles, then the selection outline.
  place(line, {0, 0}, {10, 0}, 2, 0xFF);
  line.setPenStyle(kPenDash);
  EXPECT_EQ(
      drawing(line, DrawMode::SelectedWithHandles).ops,
      (std::vector<std::string>{"save", "pen geo 1 w2 0000ff flat miter", "line 0,0 10,0",
                                "fill -2,-2-2,2 00ff00", "fill 8,-2-12,2 00ff00",
                                "pen geo 1 w1 00ff00 round round", "line 0,0 10,0", "restore"}));
  EXPECT_EQ(drawing(line, DrawMode::Plain).ops.size(), 4u);

  // A width outside one to ten draws nothing; no context, no crash.
  for (uint8_t w : {0, 11, 255}) {
    place(line, {0, 0}, {10, 0}, w);
    EXPECT_TRUE(drawing(line, DrawMode::SelectedWithHandles).ops.empty()) << int(w);
  }
  line.draw(nullptr, DrawMode::Plain, 0, true);

  // Arrows: the kind follows the record; the heads; the invalidation margin.
  ArrowLineObject arrow(true);
  place(arrow, {0, 0}, {100, 0}, 1, 0xFF);
  const auto record = saveRecord(arrow);
  EXPECT_EQ(record.back(), 1);
  ArrowLineObject copy(false);
  ASSERT_TRUE(copy.load(record));
  EXPECT_EQ(copy.kind(), ObjectKind::DoubleArrowLine);
  EXPECT_EQ(copy.clone()->kind(), ObjectKind::DoubleArrowLine);

  const RecordingCanvas c = drawing(arrow, DrawMode::Plain);
  // Pointing left, the corners truncate toward zero from the other side.
  EXPECT_EQ(c.with("polygon"),
            (std::vector<std::string>{"polygon 92,-6 92,6 100,0", "polygon 7,6 7,-6 0,0"}));
  EXPECT_TRUE(c.has("fillmode alternate"));
  EXPECT_TRUE(c.has("pen geo 0 w1 0000ff flat miter"));
  // The zero-length arrow has no heads.
  place(arrow, {5, 5}, {5, 5}, 1, 0xFF);
  const RecordingCanvas d = drawing(arrow, DrawMode::Selected);
  EXPECT_TRUE(d.with("polygon").empty());
  EXPECT_EQ(d.with("line").size(), 2u);  // the line, and again in green

  ArrowLineObject single(false);
  place(single, {100, 50}, {10, 20}, 4);
  RecordingInvalidator v;
  single.invalidate(v, -5, 7, true);
  ASSERT_EQ(v.rects.size(), 1u);
  // margin ((4 + 4) >> 1) + 11 = 15, then the scroll offset
  EXPECT_EQ(v.rects[0], (Rect{10 - 15 - 5, 20 - 15 + 7, 100 + 15 - 5, 50 + 15 + 7}));
  EXPECT_TRUE(v.erases[0]);
  place(line, {0, 0}, {10, 10}, 4);
  line.invalidate(v, 0, 0, false);
  EXPECT_EQ(v.rects[1], (Rect{-5, -5, 15, 15}));
}

TEST(BoxShapes, HandlesBandHitsMovesColourZeroFillsEllipsesHitByTheirFociAndSelectionDrawing) {
  RectObject r;
  place(r, {0, 0}, {10, 10}, 1, 0, 0x00FF00);
  EXPECT_EQ(
      drawing(r, DrawMode::Plain).ops,
      (std::vector<std::string>{"save", "pen null", "brush 00ff00", "rect 0,0-10,10", "restore"}));
  LineObject line;  // a line of colour 0 strokes with the null pen too
  place(line, {0, 0}, {10, 0}, 1, 0);
  EXPECT_TRUE(drawing(line, DrawMode::Plain).has("pen null"));

  // Handles only with handles, the outline in both selected modes.
  place(r, {0, 0}, {10, 10});
  const RecordingCanvas sel = drawing(r, DrawMode::Selected),
                        handles = drawing(r, DrawMode::SelectedWithHandles);
  EXPECT_TRUE(sel.with("fill").empty());
  EXPECT_EQ(handles.with("fill").size(), 9u);
  EXPECT_TRUE(sel.has("pen geo 1 w1 00ff00 round round"));
  EXPECT_LT(handles.indexOf("fill 3,8-7,12 00ff00"),
            handles.indexOf("pen geo 1 w1 00ff00 round round"));

  // Ellipses hit by their foci; selected they show the ellipse, with handles the box.
  EllipseObject e;
  place(e, {0, 0}, {100, 50}, 2);  // t = 4
  // Along the major axis the focal sum grows twice as fast as the distance.
  EXPECT_EQ(hits(e, {{0, 25}, {-1, 25}, {-2, 25}, {50, 25}, {50, 2}}), "11001");
  e.setFill(1);
  // (95, 5) is in the box, outside the ellipse.
  EXPECT_EQ(hits(e, {{50, 25}, {-4, 25}, {95, 5}}), "100");
  EllipseObject tall;
  place(tall, {0, 0}, {20, 100}, 1);
  EXPECT_EQ(hits(tall, {{10, 1}, {21, 50}, {30, 50}}), "110");

  // Selected shows the ellipse, with handles the box.
  place(e, {0, 0}, {10, 10});
  EXPECT_EQ(drawing(e, DrawMode::Selected).with("ellipse").size(), 2u);
  const RecordingCanvas withHandles = drawing(e, DrawMode::SelectedWithHandles);
  EXPECT_EQ(withHandles.with("ellipse").size(), 1u);
  EXPECT_EQ(withHandles.with("rect").size(), 1u);

  // Nine handles with exclusive squares, a band hit unless filled, and moves.
  Point h[kHandleCount];
  boxHandles({11, 20}, {0, 0}, h);  // corners in any order, clockwise from top-left
  EXPECT_EQ(h[0], (Point{0, 0}));
  EXPECT_EQ(h[3], (Point{11, 10}));
  EXPECT_EQ(h[8], (Point{5, 10}));
  boxHandles({-11, -1}, {0, 0}, h);
  EXPECT_EQ(h[8], (Point{-5, 0}));  // toward zero, not floor

  // A handle's square has exclusive right and bottom edges.
  r.setPoints(PackedPoint::pack({100, 100}), PackedPoint::pack({200, 160}));
  // Handle 4 at (200, 160): its square spans 198..201 on both axes.
  EXPECT_EQ(
      handlesAt(
          r, {{198, 158}, {201, 161}, {202, 160}, {200, 162}, {197, 160}, {150, 130}, {150, 100}}),
      "44---81");
  EXPECT_EQ(r.handleCursor(8), HandleCursor::Move);
  EXPECT_EQ(r.handleCursor(2), HandleCursor::SizeNesw);
  EXPECT_EQ(r.handleCursor(9), HandleCursor::None);
  EXPECT_EQ(r.handleCursor(-1), HandleCursor::None);

  // Unfilled, a band around the outline is hit; filled, the whole box.
  r.setPoints(PackedPoint::pack({100, 100}), PackedPoint::pack({200, 200}));
  r.setPenWidth(1);  // t = 3
  // The shrunk box begins at 103; the right edge is exclusive.
  EXPECT_EQ(
      hits(r, {{97, 150}, {96, 150}, {102, 150}, {103, 150}, {202, 150}, {203, 150}, {150, 150}}),
      "1010100");
  r.setFill(0x123456);
  EXPECT_EQ(hits(r, {{150, 150}, {97, 97}, {96, 150}}), "110");

  // Crossed corners are swapped in place by the next hit test.
  r.setPoints(PackedPoint::pack({100, 100}), PackedPoint::pack({200, 200}));
  EXPECT_TRUE(r.moveHandle(0, {250, 260}));  // past the bottom-right corner
  EXPECT_EQ(r.first(), (Point{250, 260}));
  r.hitTest({0, 0});
  EXPECT_EQ(r.first(), (Point{200, 200}));
  EXPECT_EQ(r.second(), (Point{250, 260}));

  // Handles, drags, nudges and moves.
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

TEST(HalfCircleObject, RecordCarriesTheOrientationChordsAndHitsFollowItAndMovesStayOnTheirSide) {
  HalfCircleObject h(HalfCircleOrientation::Lower);
  place(h, {0, 0}, {40, 20});
  EXPECT_EQ(h.kind(), ObjectKind::HalfCircleLower);
  auto record = saveRecord(h);
  EXPECT_EQ(record[21], 2);
  HalfCircleObject copy(HalfCircleOrientation::Upper);
  ASSERT_TRUE(copy.load(record));
  EXPECT_EQ(copy.kind(), ObjectKind::HalfCircleLower);
  record[21] = 9;
  ASSERT_TRUE(copy.load(record));
  EXPECT_EQ(copy.kind(), ObjectKind::HalfCircleUpper);  // the kind it was made as
  EXPECT_FALSE(copy.hitTest({20, 0}));
  copy.setFill(1);
  EXPECT_FALSE(copy.hitTest({20, 10}));
  EXPECT_TRUE(drawing(copy, DrawMode::Plain).with("chord").empty());

  const std::pair<HalfCircleOrientation, std::string> cases[] = {
      {HalfCircleOrientation::Upper, "chord 0,0-40,40 40,20 0,20"},
      {HalfCircleOrientation::Lower, "chord 0,-20-40,20 0,0 40,0"},
      {HalfCircleOrientation::Left, "chord 0,0-80,20 40,0 40,20"},
      {HalfCircleOrientation::Right, "chord -40,0-40,20 0,20 0,0"},
  };
  for (const auto& [o, chord] : cases) {
    HalfCircleObject oriented(o);
    place(oriented, {0, 0}, {40, 20});
    EXPECT_TRUE(drawing(oriented, DrawMode::Plain).has(chord)) << chord;
  }

  // The region hit test, and moves that cross the opposite side.
  HalfCircleObject upper(HalfCircleOrientation::Upper);
  place(upper, {0, 0}, {40, 20}, 9);  // the band ignores the pen width
  // Top of the arc, along the diameter, middle, above, a box corner outside the ellipse.
  EXPECT_EQ(hits(upper, {{20, 0}, {20, 21}, {20, 10}, {20, -4}, {1, 1}}), "11000");
  upper.setFill(5);
  EXPECT_EQ(hits(upper, {{20, 10}, {20, 21}, {1, 1}}), "100");  // (20, 21) is below the box

  // Moves that cross or touch the opposite side are refused.
  place(upper, {100, 100}, {200, 150});
  EXPECT_FALSE(upper.moveHandle(4, {90, 90}));
  EXPECT_FALSE(upper.moveHandle(4, {100, 160}));  // touches the left side
  EXPECT_EQ(upper.second(), (Point{200, 150}));
  EXPECT_TRUE(upper.moveHandle(4, {101, 101}));
  EXPECT_FALSE(upper.moveHandle(0, {101, 50}));
  EXPECT_TRUE(upper.moveHandle(7, {50, 0}));
  EXPECT_EQ(upper.first(), (Point{50, 100}));
  EXPECT_FALSE(upper.moveHandle(1, {0, 101}));
  EXPECT_TRUE(upper.moveHandle(8, {0, 0}));
  EXPECT_FALSE(upper.moveHandle(9, {0, 0}));
}

TEST(TriangleObject, CreationDragMovesHitTestAndDrawing) {
  TriangleObject t;
  t.startAt({100, 100});
  EXPECT_TRUE(t.moveHandle(TriangleObject::kCreationHandle, {140, 160}));
  EXPECT_EQ(t.corners(), (std::array<Point, 3>{{{100, 160}, {120, 100}, {140, 160}}}));
  EXPECT_EQ(t.firstPoint().unpack(), (Point{100, 160}));
  EXPECT_EQ(t.secondPoint().unpack(), (Point{140, 160}));
  EXPECT_FALSE(t.moveHandle(0, {100, 160}));
  EXPECT_FALSE(t.moveHandle(4, {0, 0}));

  // Edges always hit, the interior only when filled.
  t.setPenWidth(2);
  const Point centroid{120, 140};
  EXPECT_EQ(hits(t, {{120, 160}, {120, 161}, centroid, {100, 100}}), "1100");
  t.setFill(0xFF);
  EXPECT_EQ(hits(t, {centroid, {100, 100}}), "10");

  // setPoints names the handle with its first argument.
  t.setPoints(PackedPoint{1}, PackedPoint::pack({120, 90}));
  EXPECT_EQ(t.corners()[1], (Point{120, 90}));
  // Moves shift all corners.
  TriangleObject m;
  m.startAt({0, 0});
  m.moveHandle(3, {20, 10});
  m.moveTo(PackedPoint::pack({5, 5}));
  EXPECT_EQ(m.corners(), (std::array<Point, 3>{{{5, 5}, {15, -5}, {25, 5}}}));
  m.nudge(2);
  EXPECT_EQ(m.corners(), (std::array<Point, 3>{{{5, 4}, {15, -6}, {25, 4}}}));
  EXPECT_FALSE(m.dragBy({1, 1}, {1, 1}));

  // The polygon, then the closing edge, and an outline of width two.
  t.startAt({0, 0});
  t.moveHandle(3, {20, 10});
  t.setPenWidth(3);
  t.setFill(0);
  t.setColour(0xFF);
  EXPECT_EQ(drawing(t, DrawMode::SelectedWithHandles).ops,
            (std::vector<std::string>{"save", "pen geo 0 w3 0000ff round miter", "brush null",
                                      "polygon 0,10 10,0 20,10", "line 20,10 0,10",
                                      "fill -2,8-2,12 00ff00", "fill 8,-2-12,2 00ff00",
                                      "fill 18,8-22,12 00ff00", "pen geo 1 w2 00ff00 round round",
                                      "brush null", "polygon 0,10 10,0 20,10", "restore"}));
  RecordingInvalidator v;
  t.invalidate(v, 0, 0, true);
  EXPECT_EQ(v.rects[0], (Rect{-14, -14, 34, 24}));  // 2w + 8
}

TEST(Geometry, SegmentsAreNearWithinToleranceWhateverTheDirectionOrExtentAndRegionsContain) {
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

  // Regions: a winding polygon, an ellipse, and one without width.
  const Point tri[] = {{0, 0}, {10, 0}, {0, 10}};
  EXPECT_TRUE(polygonContainsWinding(tri, {2, 2}));
  EXPECT_FALSE(polygonContainsWinding(tri, {8, 8}));
  EXPECT_TRUE(ellipseContains({0, 0, 20, 10}, {10, 5}));
  EXPECT_FALSE(ellipseContains({0, 0, 20, 10}, {0, 0}));
  EXPECT_FALSE(ellipseContains({0, 0, 0, 10}, {0, 5}));

  // Packed points: halves are sign-extended, writing keeps the low 16 bits.
  EXPECT_EQ(PackedPoint{0xFFFE0003}.unpack(), (Point{3, -2}));
  EXPECT_EQ(PackedPoint{0x80007FFF}.unpack(), (Point{32767, -32768}));
  EXPECT_EQ(PackedPoint::pack({-1, 1}).value, 0x0001FFFFu);
  // Coordinates outside 16 bits lose their high bits.
  EXPECT_EQ(PackedPoint::pack({0x12345, 0}).unpack(), (Point{0x2345, 0}));
}

}  // namespace
}  // namespace scribly
