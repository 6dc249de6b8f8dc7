#include "objects/object_factory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "collab/envelope.h"
#include "objects/pencil_object.h"
#include "objects/text_object.h"
#include "recording_canvas.h"

namespace scribly {
namespace {

TEST(ObjectFactory, MakesKinds10To17And20To25RoundTripsEveryRecordPenStylesAndToolStarts) {
  RecordingCanvas measurer;
  ObjectFactory factory(&measurer);
  for (int kind = 0; kind < 256; ++kind) {
    auto object = factory.create(static_cast<uint8_t>(kind));
    const bool expected = (kind >= 10 && kind <= 17) || (kind >= 20 && kind <= 25);
    ASSERT_EQ(object != nullptr, expected) << kind;
    if (object) {
      EXPECT_EQ(static_cast<int>(object->kind()), kind);
    }
  }

  // Kinds without an object load no record.
  const auto record = saveRecord(*factory.create(12));
  for (uint8_t kind : {18, 19, 26})
    EXPECT_FALSE(factory.createFromRecord(kind, record)) << int(kind);

  // Shapes have fixed records; one byte short is refused and a short
  // destination gets nothing.
  const std::pair<uint8_t, size_t> sizes[] = {{11, 17}, {20, 18}, {21, 18}, {12, 21}, {13, 21},
                                              {22, 22}, {23, 22}, {24, 22}, {25, 22}, {16, 25}};
  for (auto [kind, size] : sizes) {
    const auto record = saveRecord(*factory.create(kind));
    ASSERT_EQ(record.size(), size) << int(kind);
    EXPECT_FALSE(factory.createFromRecord(kind, std::span(record).first(size - 1))) << int(kind);
    std::vector<uint8_t> small(size - 1);
    EXPECT_EQ(factory.create(kind)->save(small), 0u) << int(kind);
  }

  // A record may carry any style value; the pen gets one of the five.
  for (uint8_t kind : {10, 11, 12, 13, 16, 20, 21, 22, 23, 24, 25}) {
    for (uint32_t style : {kPenDashDotDot, 5u, 7u, 0xFFFFFFFFu}) {
      auto object = factory.create(kind);
      object->setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({40, 40}));
      if (auto* pencil = dynamic_cast<PencilObject*>(object.get())) pencil->addPoint({9, 9});
      ASSERT_TRUE(object->setPenStyle(style));
      auto copy = factory.createFromRecord(kind, saveRecord(*object));
      ASSERT_TRUE(copy) << int(kind);
      uint32_t loaded = 99;
      ASSERT_TRUE(copy->getPenStyle(loaded));
      EXPECT_EQ(loaded, style == kPenDashDotDot ? style : kPenSolid) << int(kind) << " " << style;
    }
  }

  // Tools start their shapes at the press point, dragging the right handle.
  const ToolSettings settings{3, kPenDot, 0x00FF00, 0x0000FF};
  const std::pair<uint8_t, int> tools[] = {{11, 1}, {20, 1}, {21, 1}, {12, 4}, {13, 4},
                                           {22, 4}, {25, 4}, {16, 3}, {10, -1}};
  for (auto [tool, handle] : tools) {
    auto start = factory.startFromTool(tool, {30, 40}, settings);
    ASSERT_TRUE(start.object) << int(tool);
    EXPECT_EQ(start.dragHandle, handle) << int(tool);
    EXPECT_EQ(start.object->firstPoint().unpack(), (Point{30, 40}));
    uint8_t width = 0;
    start.object->getPenWidth(width);
    EXPECT_EQ(width, 3);
  }
  for (uint8_t tool : {1, 2, 14, 15, 17, 19})
    EXPECT_FALSE(factory.startFromTool(tool, {0, 0}, settings).object) << int(tool);

  // The free-form cut is a thin red pencil stroke.
  auto start = factory.startFromTool(18, {1, 2}, {7, kPenDash, 0x00FF00, 0});
  ASSERT_TRUE(start.object);
  EXPECT_EQ(start.object->kind(), ObjectKind::Pencil);
  uint8_t width = 0;
  uint32_t colour = 0, style = 0;
  start.object->getPenWidth(width);
  start.object->getColour(colour);
  start.object->getPenStyle(style);
  EXPECT_EQ(width, 2);
  EXPECT_EQ(colour, 255u);
  EXPECT_EQ(style, kPenDash);

  // Every kind round-trips its record, inflates no further than its longest
  // and draws balanced.
  for (uint8_t kind : {10, 11, 12, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25}) {
    auto object = factory.create(kind);
    object->setPoints(PackedPoint::pack({-7, 8}), PackedPoint::pack({90, 100}));
    if (auto* pencil = dynamic_cast<PencilObject*>(object.get())) {
      pencil->addPoint({1, 1});
      pencil->addPoint({2, 3});
    }
    object->setColour(0x102030);
    object->setPenWidth(3);
    object->setText("round trip");
    for (auto mode : {DrawMode::Plain, DrawMode::Selected, DrawMode::SelectedWithHandles}) {
      const RecordingCanvas c = drawing(*object, mode);
      EXPECT_TRUE(c.depth == 0 && c.maxDepth <= 1) << int(kind);
    }
    const auto record = saveRecord(*object);
    ASSERT_FALSE(record.empty()) << int(kind);
    EXPECT_LE(record.size(), object->save({})) << int(kind);
    auto copy = factory.createFromRecord(kind, record);
    ASSERT_TRUE(copy) << int(kind);
    EXPECT_EQ(copy->kind(), object->kind());
    EXPECT_EQ(saveRecord(*copy), record) << int(kind);
    // Hand symbols and pictures without pixels have no clone; a clone is its
    // own copy, untouched when the original moves.
    if (auto twin = copy->clone()) {
      copy->moveTo(PackedPoint::pack({500, 500}));
      EXPECT_EQ(saveRecord(*twin), record) << int(kind);
    }
  }

  // Enveloped records inflate no further than their kind's longest record.
  for (const auto& [kind, longest] :
       {std::pair{10, PencilObject::kMaxRecordBytes}, {15, TextObject::kMaxRecordBytes}}) {
    auto object = factory.create(static_cast<uint8_t>(kind));
    if (auto* pencil = dynamic_cast<PencilObject*>(object.get())) pencil->addPoint({1, 1});
    object->setText("x");
    // The record padded with zeros, which a reader skips, to its kind's longest.
    std::vector<uint8_t> payload = *Decompress(saveRecord(*object));
    payload.resize(longest);
    EXPECT_TRUE(factory.createFromRecord(static_cast<uint8_t>(kind), Compress(payload))) << kind;
    payload.resize(size_t{8} << 20);
    EXPECT_FALSE(factory.createFromRecord(static_cast<uint8_t>(kind), Compress(payload))) << kind;
  }
}

FontRecord arial(int32_t height = -13) {
  FontRecord f;
  f.height = height;
  f.weight = 400;
  f.setFace("Arial");
  return f;
}

TEST(TextObject, MeasuresFromTheTopLeftCutsAt4020BytesDrawsItsFillAndRecordsL77Bytes) {
  RecordingCanvas m;
  TextObject t(&m);
  t.setPoints(PackedPoint::pack({50, 40}), PackedPoint::pack({10, 20}));
  EXPECT_TRUE(t.setText("abc\nde"));
  EXPECT_EQ(t.first(), (Point{10, 20}));
  EXPECT_EQ(t.second(), (Point{10 + 21, 20 + 26}));
  EXPECT_TRUE(t.setText(std::string(5000, 'q')));
  EXPECT_EQ(t.text().size(), 4020u);
  // A cut never leaves half a character behind.
  EXPECT_TRUE(t.setText(std::string(4019, 'q') + "\xC3\xA9"));
  EXPECT_EQ(t.text().size(), 4019u);
  // A failed measure leaves the box as it was.
  m.measureFails = true;
  const Point before = t.second();
  EXPECT_TRUE(t.setText("hello"));
  EXPECT_EQ(t.second(), before);

  // The same font twice answers false and measures nothing again.
  m.measureFails = false;
  const int measured = m.measures;
  EXPECT_TRUE(t.setFont(arial()));
  EXPECT_EQ(m.measures, measured + 1);
  EXPECT_FALSE(t.setFont(arial()));
  EXPECT_EQ(m.measures, measured + 1);
  FontRecord bigger = arial(-20);
  EXPECT_TRUE(t.setFont(bigger));
  FontRecord out;
  EXPECT_TRUE(t.getFont(out));
  EXPECT_EQ(out, bigger);

  // No handles, width or style; hit inside its box; draws its fill.
  TextObject box;
  box.setPoints(PackedPoint::pack({10, 10}), PackedPoint::pack({20, 20}));
  EXPECT_EQ(box.hitHandle({10, 10}), kNoHandle);
  EXPECT_FALSE(box.moveHandle(4, {30, 30}));
  EXPECT_FALSE(box.setPenWidth(3));
  EXPECT_FALSE(box.setPenStyle(1));
  EXPECT_EQ(hits(box, {{10, 10}, {20, 15}}), "10");
  RecordingInvalidator v;
  box.invalidate(v, 0, 0, true);
  EXPECT_EQ(v.rects[0], (Rect{6, 6, 24, 24}));  // the fixed width 2

  // Colour zero with a fill shows only the filled box.
  box.setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({10, 10}));
  box.setText("hi");
  box.setFill(0x00FFFF);
  box.setFont(arial());
  const RecordingCanvas c = drawing(box, DrawMode::Plain);
  EXPECT_EQ(c.ops, (std::vector<std::string>{"save", "font Arial", "fill 0,0-10,10 00ffff",
                                             "textbk 00ffff", "restore"}));
  box.setColour(0xFF);
  const RecordingCanvas d = drawing(box, DrawMode::Selected);
  EXPECT_TRUE(d.has("text 0,0-10,10 hi"));
  EXPECT_TRUE(d.has("rect 0,0-10,10"));
  EXPECT_TRUE(d.with("fill").size() == 1);  // no handle squares

  // Text that does not convert stops the drawing.
  RecordingCanvas none;
  none.textConverts = false;
  box.draw(&none, DrawMode::Selected, 0, true);
  EXPECT_TRUE(none.with("rect").empty());
  EXPECT_EQ(none.depth, 0);

  // The record: 77 bytes and the text, enveloped; short ones are refused.
  TextObject saved;
  saved.setPoints(PackedPoint::pack({-1, 2}), PackedPoint::pack({30, 40}));
  saved.setText("0123456789");
  saved.setColour(0x0000FF);
  saved.setFill(0x00FFFF);
  saved.setFont(arial());
  EXPECT_EQ(saved.save({}), 96u);
  const auto record = saveRecord(saved);
  const auto payload = Decompress(record);
  ASSERT_TRUE(payload);
  ASSERT_EQ(payload->size(), 10u + 77);
  EXPECT_EQ((*payload)[8], 0xFF);
  EXPECT_EQ((*payload)[12], 0xFF);
  EXPECT_EQ((*payload)[76], '0');
  EXPECT_EQ(payload->back(), 0);

  TextObject copy(&m);
  ASSERT_TRUE(copy.load(record));
  EXPECT_EQ(copy.text(), "0123456789");
  EXPECT_EQ(saveRecord(copy), record);  // with the record's box, not a measured one

  // Short records and text without a terminator are refused.
  saved.setText("abc");
  auto shorter = *Decompress(saveRecord(saved));
  shorter.pop_back();  // the terminator
  EXPECT_FALSE(copy.load(Compress(shorter)));
  shorter.resize(76);
  EXPECT_FALSE(copy.load(Compress(shorter)));
  shorter.push_back(0);  // an empty text is fine
  EXPECT_TRUE(copy.load(Compress(shorter)));
  EXPECT_EQ(copy.text(), "");
  EXPECT_FALSE(copy.load({}));

  // Copying the text out needs room for the terminator.
  saved.setText("hello");
  char small[5];
  uint16_t length = 0xBEEF;
  EXPECT_FALSE(saved.getText(small, length));
  EXPECT_EQ(length, 0xBEEF);
  char exact[6];
  std::memset(exact, 'x', sizeof exact);
  EXPECT_TRUE(saved.getText(exact, length));
  EXPECT_EQ(length, 5);
  EXPECT_STREQ(exact, "hello");

  // Fonts take sixty bytes; a face without a terminator is cut at 32.
  FontRecord f = arial();
  f.italic = 1;
  ByteWriter w;
  f.write(w);
  ASSERT_EQ(w.size(), FontRecord::kSize);
  EXPECT_EQ(w.data()[20], 1);
  EXPECT_EQ(w.data()[28], 'A');
  ByteReader r(w.data());
  EXPECT_EQ(FontRecord::read(r), f);

  std::vector<uint8_t> bytes = w.data();
  std::memset(bytes.data() + 28, 'x', 32);
  ByteReader unterminated(bytes);
  EXPECT_EQ(FontRecord::read(unterminated).face(), std::string(32, 'x'));
}

void stroke(PencilObject& p, std::initializer_list<Point> points, uint8_t width = 2) {
  for (Point q : points) p.addPoint(q);
  p.setPenWidth(width);
  p.setColour(0xFF);
}

TEST(PencilObject, RecordsRoundTripStrokesFillHitMoveAndDrawAsOnePolyline) {
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
  EXPECT_EQ(copy.bounds(), (Rect{-3, -20, 30, 40}));
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
  EXPECT_TRUE(drawing(copy, DrawMode::SelectedWithHandles).ops.empty());

  // Full strokes and repeated points add nothing.
  PencilObject full;
  EXPECT_TRUE(full.addPoint({5, 5}));
  EXPECT_FALSE(full.addPoint({5, 5}));
  EXPECT_TRUE(full.addPoint({6, 5}));
  EXPECT_TRUE(full.addPoint({5, 5}));  // only consecutive repeats are dropped
  for (int i = 3; i < PencilObject::kMaxPoints; ++i) ASSERT_TRUE(full.addPoint({i * 2, i}));
  ASSERT_EQ(full.points().size(), 500u);
  const Rect bounds = full.bounds();
  EXPECT_FALSE(full.addPoint({-1000, 5000}));
  EXPECT_EQ(full.points().size(), 500u);
  EXPECT_EQ(full.bounds(), bounds);
  EXPECT_EQ(bounds, (Rect{5, 3, 998, 499}));

  // Hits within the width; every point is a handle.
  PencilObject hit;
  stroke(hit, {{0, 0}, {100, 0}, {100, 100}}, 2);  // t = 4
  EXPECT_EQ(hits(hit, {{50, 3}, {50, 4}, {97, 50}, {50, 50}}), "1010");

  // Every point is a handle.
  EXPECT_EQ(handlesAt(hit, {{101, 1}, {50, 0}}), "1-");
  EXPECT_EQ(hit.handleCursor(2), HandleCursor::SizeNwse);
  EXPECT_EQ(hit.handleCursor(3), HandleCursor::None);
  EXPECT_EQ(hit.handleCursor(-1), HandleCursor::None);
  EXPECT_FALSE(hit.moveHandle(3, {0, 0}));
  EXPECT_FALSE(hit.moveHandle(-1, {0, 0}));
  hit.setPoints(PackedPoint{2}, PackedPoint::pack({20, 30}));
  EXPECT_EQ(hit.points()[2], (Point{20, 30}));

  // Moves offset every point and the bounds.
  PencilObject moved;
  stroke(moved, {{10, 10}, {20, 30}});
  moved.moveTo(PackedPoint::pack({0, 0}));
  EXPECT_EQ(moved.points()[1], (Point{10, 20}));
  EXPECT_EQ(moved.bounds(), (Rect{0, 0, 10, 20}));
  EXPECT_TRUE(moved.dragBy({0, 0}, {1, 2}));
  moved.nudge(1);
  EXPECT_EQ(moved.points()[0], (Point{2, 2}));
  EXPECT_EQ(moved.secondPoint().unpack(), (Point{12, 22}));
  RecordingInvalidator v;
  moved.invalidate(v, 0, 0, true);
  EXPECT_EQ(v.rects[0], (Rect{-2, -2, 16, 26}));  // width + 2

  // One polyline with round caps, then the handles and the outline.
  PencilObject drawn;
  stroke(drawn, {{0, 0}, {10, 0}}, 3);
  EXPECT_EQ(drawing(drawn, DrawMode::SelectedWithHandles).ops,
            (std::vector<std::string>{"save", "pen geo 0 w3 0000ff round round",
                                      "polyline 0,0 10,0", "fill -2,-2-2,2 00ff00",
                                      "fill 8,-2-12,2 00ff00", "pen geo 1 w1 00ff00 round round",
                                      "polyline 0,0 10,0", "restore"}));
}

}  // namespace
}  // namespace scribly
