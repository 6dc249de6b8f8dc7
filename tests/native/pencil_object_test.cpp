#include "objects/pencil_object.h"

#include <gtest/gtest.h>

#include "collab/envelope.h"
#include "recording_canvas.h"

namespace scribly {
namespace {

void stroke(PencilObject& p, std::initializer_list<Point> points, uint8_t width = 2) {
  for (Point q : points) p.addPoint(q);
  p.setPenWidth(width);
  p.setColour(0xFF);
}

TEST(PencilObject, FullStrokesAndRepeatedPointsAddNothing) {
  PencilObject p;
  EXPECT_TRUE(p.addPoint({5, 5}));
  EXPECT_FALSE(p.addPoint({5, 5}));
  EXPECT_TRUE(p.addPoint({6, 5}));
  EXPECT_TRUE(p.addPoint({5, 5}));  // only consecutive repeats are dropped
  for (int i = 3; i < PencilObject::kMaxPoints; ++i) ASSERT_TRUE(p.addPoint({i * 2, i}));
  ASSERT_EQ(p.points().size(), 500u);
  const Rect bounds = p.bounds();
  EXPECT_FALSE(p.addPoint({-1000, 5000}));
  EXPECT_EQ(p.points().size(), 500u);
  EXPECT_EQ(p.bounds(), bounds);
  EXPECT_EQ(bounds, (Rect{5, 3, 998, 499}));
}

TEST(PencilObject, RecordsRoundTripThroughTheEnvelopeAndBadOnesAreRefused) {
  PencilObject p;
  stroke(p, {{-3, 4}, {10, -20}, {30, 40}}, 5);
  p.setPenStyle(kPenDash);
  EXPECT_EQ(p.save({}), 4u * 3 + 28);
  const auto record = saveRecord(p);
  const auto payload = Decompress(record);
  ASSERT_TRUE(payload);
  ASSERT_EQ(payload->size(), 4u * 3 + 19);
  EXPECT_EQ((*payload)[0], 3);
  EXPECT_EQ(PackedPoint{ByteReader(std::span(*payload).subspan(2)).u32()}.unpack(), (Point{-3, 4}));

  PencilObject copy;
  ASSERT_TRUE(copy.load(record));
  ASSERT_EQ(copy.points().size(), 3u);
  EXPECT_EQ(copy.points()[1], (Point{10, -20}));
  EXPECT_EQ(copy.bounds(), (Rect{-3, -20, 30, 40}));
  uint8_t width = 0;
  copy.getPenWidth(width);
  EXPECT_EQ(width, 5);
  EXPECT_EQ(saveRecord(copy), record);

  // Empty, oversized and short records are refused; the last good one stands.
  PencilObject empty;
  EXPECT_EQ(empty.save({}), 0u);

  auto build = [](uint16_t n, size_t bytes) {
    ByteWriter w;
    w.u16(n);
    w.zeros(bytes - 2);
    return Compress(w.data());
  };
  EXPECT_TRUE(copy.load(build(2, 27)));
  EXPECT_FALSE(copy.load(build(2, 26)));
  EXPECT_FALSE(copy.load(build(0, 19)));
  EXPECT_FALSE(copy.load(build(501, 4 * 501 + 19)));
  EXPECT_FALSE(copy.load({}));
  const uint8_t badEnvelope[] = {1, 50, 0, 0, 0, 200, 0, 0, 0, 'B', 'Z'};
  EXPECT_FALSE(copy.load(badEnvelope));
  EXPECT_EQ(copy.points().size(), 2u);

  // Loaded bounds stand until a point changes.
  ByteWriter w;
  w.u16(2);
  writePoint(w, {0, 0});
  writePoint(w, {10, 10});
  writePoint(w, {-50, -50});  // bounds that disagree with the points
  writePoint(w, {50, 50});
  w.u32(0xFF).u8(1).u32(0);
  ASSERT_TRUE(copy.load(Compress(w.data())));
  EXPECT_EQ(copy.firstPoint().unpack(), (Point{-50, -50}));
  EXPECT_TRUE(copy.moveHandle(1, {20, 5}));
  EXPECT_EQ(copy.bounds(), (Rect{0, 0, 20, 5}));

  // A one-point stroke saves and loads, but never draws or hits.
  PencilObject dot;
  stroke(dot, {{7, 7}});
  ASSERT_TRUE(copy.load(saveRecord(dot)));
  copy.setPenWidth(2);
  EXPECT_FALSE(copy.hitTest({7, 7}));
  RecordingCanvas c;
  copy.draw(&c, DrawMode::SelectedWithHandles, 0, true);
  EXPECT_TRUE(c.ops.empty());
}

TEST(PencilObject, HitsSegmentsWithinTheWidthAndEveryPointIsAHandle) {
  PencilObject p;
  stroke(p, {{0, 0}, {100, 0}, {100, 100}}, 2);  // t = 4
  EXPECT_TRUE(p.hitTest({50, 3}));
  EXPECT_FALSE(p.hitTest({50, 4}));
  EXPECT_TRUE(p.hitTest({97, 50}));
  EXPECT_FALSE(p.hitTest({50, 50}));

  // Every point is a handle.
  EXPECT_EQ(p.hitHandle({101, 1}), 1);
  EXPECT_EQ(p.hitHandle({50, 0}), kNoHandle);
  EXPECT_EQ(p.handleCursor(2), HandleCursor::SizeNwse);
  EXPECT_EQ(p.handleCursor(3), HandleCursor::None);
  EXPECT_EQ(p.handleCursor(-1), HandleCursor::None);
  EXPECT_FALSE(p.moveHandle(3, {0, 0}));
  EXPECT_FALSE(p.moveHandle(-1, {0, 0}));
  p.setPoints(PackedPoint{2}, PackedPoint::pack({20, 30}));
  EXPECT_EQ(p.points()[2], (Point{20, 30}));
}

TEST(PencilObject, MovesOffsetPointsAndBounds) {
  PencilObject p;
  stroke(p, {{10, 10}, {20, 30}});
  p.moveTo(PackedPoint::pack({0, 0}));
  EXPECT_EQ(p.points()[1], (Point{10, 20}));
  EXPECT_EQ(p.bounds(), (Rect{0, 0, 10, 20}));
  EXPECT_TRUE(p.dragBy({0, 0}, {1, 2}));
  p.nudge(1);
  EXPECT_EQ(p.points()[0], (Point{2, 2}));
  EXPECT_EQ(p.secondPoint().unpack(), (Point{12, 22}));
  RecordingInvalidator v;
  p.invalidate(v, 0, 0, true);
  EXPECT_EQ(v.rects[0], (Rect{-2, -2, 16, 26}));  // width + 2
}

TEST(PencilObject, DrawsOnePolylineWithRoundCapsThenHandlesAndOutline) {
  PencilObject p;
  stroke(p, {{0, 0}, {10, 0}}, 3);
  RecordingCanvas c;
  p.draw(&c, DrawMode::SelectedWithHandles, 0, true);
  const std::vector<std::string> expected = {"save",
                                             "pen geo 0 w3 0000ff round round",
                                             "polyline 0,0 10,0",
                                             "fill -2,-2-2,2 00ff00",
                                             "fill 8,-2-12,2 00ff00",
                                             "pen geo 1 w1 00ff00 round round",
                                             "polyline 0,0 10,0",
                                             "restore"};
  EXPECT_EQ(c.ops, expected);
}

TEST(PencilObject, CloneIsIndependent) {
  PencilObject p;
  stroke(p, {{0, 0}, {10, 0}});
  auto copy = p.clone();
  p.moveHandle(0, {5, 5});
  EXPECT_EQ(copy->firstPoint().unpack(), (Point{0, 0}));
  EXPECT_EQ(copy->kind(), ObjectKind::Pencil);
}

}  // namespace
}  // namespace scribly
