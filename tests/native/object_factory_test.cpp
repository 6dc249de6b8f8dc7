#include "objects/object_factory.h"

#include <gtest/gtest.h>

#include "collab/envelope.h"
#include "objects/pencil_object.h"
#include "objects/text_object.h"
#include "recording_canvas.h"

namespace scribly {
namespace {

TEST(ObjectFactory, MakesObjectsForKinds10To17And20To25Only) {
  ObjectFactory factory;
  for (int kind = 0; kind < 256; ++kind) {
    auto object = factory.create(static_cast<uint8_t>(kind));
    const bool expected = (kind >= 10 && kind <= 17) || (kind >= 20 && kind <= 25);
    ASSERT_EQ(object != nullptr, expected) << kind;
    if (object) {
      EXPECT_EQ(static_cast<int>(object->kind()), kind);
    }
  }
}

TEST(ObjectFactory, CreateFromRecordLoadsOrDiscards) {
  ObjectFactory factory;
  auto rect = factory.create(12);
  rect->setPoints(PackedPoint::pack({1, 2}), PackedPoint::pack({3, 4}));
  const auto record = saveRecord(*rect);
  auto loaded = factory.createFromRecord(12, record);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->secondPoint().unpack(), (Point{3, 4}));
  EXPECT_FALSE(factory.createFromRecord(12, std::span(record).first(20)));
  EXPECT_FALSE(factory.createFromRecord(18, record));
  EXPECT_FALSE(factory.createFromRecord(19, record));
  EXPECT_FALSE(factory.createFromRecord(26, record));
}

TEST(ObjectFactory, EnvelopedRecordsInflateNoFurtherThanTheirKindsLongestRecord) {
  RecordingCanvas measurer;
  ObjectFactory factory(&measurer);
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

TEST(ObjectFactory, EveryKindRoundTripsItsRecord) {
  RecordingCanvas measurer;
  ObjectFactory factory(&measurer);
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
    const auto record = saveRecord(*object);
    ASSERT_FALSE(record.empty()) << int(kind);
    EXPECT_LE(record.size(), object->save({})) << int(kind);
    auto copy = factory.createFromRecord(kind, record);
    ASSERT_TRUE(copy) << int(kind);
    EXPECT_EQ(copy->kind(), object->kind());
    EXPECT_EQ(saveRecord(*copy), record) << int(kind);
    // Hand symbols and pictures without pixels have no clone.
    if (auto twin = copy->clone()) {
      EXPECT_EQ(saveRecord(*twin), record) << int(kind);
    }
  }
}

// Shapes have fixed records; one byte short is refused and a short destination
// gets nothing.
TEST(ObjectFactory, ShapeRecordsHaveTheirFixedSizes) {
  ObjectFactory factory;
  const std::pair<uint8_t, size_t> sizes[] = {{11, 17}, {20, 18}, {21, 18}, {12, 21}, {13, 21},
                                              {22, 22}, {23, 22}, {24, 22}, {25, 22}, {16, 25}};
  for (auto [kind, size] : sizes) {
    const auto record = saveRecord(*factory.create(kind));
    ASSERT_EQ(record.size(), size) << int(kind);
    EXPECT_FALSE(factory.createFromRecord(kind, std::span(record).first(size - 1))) << int(kind);
    std::vector<uint8_t> small(size - 1);
    EXPECT_EQ(factory.create(kind)->save(small), 0u) << int(kind);
  }
}

// A record may carry any style value; the pen gets one of the five.
TEST(ObjectFactory, RecordedPenStylesOutsideTheFiveLoadAsSolid) {
  ObjectFactory factory;
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
}

TEST(ObjectFactory, EveryKindDrawsWithBalancedSaveAndRestoreInEveryMode) {
  RecordingCanvas measurer;
  ObjectFactory factory(&measurer);
  for (uint8_t kind : {10, 11, 12, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25}) {
    for (auto mode : {DrawMode::Plain, DrawMode::Selected, DrawMode::SelectedWithHandles}) {
      auto object = factory.create(kind);
      object->setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({40, 40}));
      object->setPenWidth(2);
      object->setColour(0xFF);
      RecordingCanvas c;
      object->draw(&c, mode, 0, true);
      EXPECT_EQ(c.depth, 0) << int(kind);
      EXPECT_LE(c.maxDepth, 1) << int(kind);
    }
  }
}

TEST(ObjectFactoryTools, ShapesStartAtThePressPointWithTheirCreationHandle) {
  ObjectFactory factory;
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
  for (uint8_t tool : {1, 2, 14, 15, 17, 19}) {
    EXPECT_FALSE(factory.startFromTool(tool, {0, 0}, settings).object) << int(tool);
  }
}

TEST(ObjectFactoryTools, FreeCutIsAThinRedPencilStroke) {
  ObjectFactory factory;
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
}

}  // namespace
}  // namespace scribly
