#include "objects/text_object.h"

#include <gtest/gtest.h>

#include <cstring>

#include "collab/envelope.h"
#include "recording_canvas.h"

namespace scribly {
namespace {

FontRecord arial(int32_t height = -13) {
  FontRecord f;
  f.height = height;
  f.weight = 400;
  f.setFace("Arial");
  return f;
}

TEST(FontRecord, SixtyBytesAndAFaceWithoutTerminatorIsCutAt32) {
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

TEST(TextObject, TextAndFontChangesMeasureFromTheTopLeftAndTextIsCutAt4020Bytes) {
  CountingMeasurer m;
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
  m.fails = true;
  const Point before = t.second();
  EXPECT_TRUE(t.setText("hello"));
  EXPECT_EQ(t.second(), before);

  // The same font twice answers false and measures nothing again.
  m.fails = false;
  const int measured = m.calls;
  EXPECT_TRUE(t.setFont(arial()));
  EXPECT_EQ(m.calls, measured + 1);
  EXPECT_FALSE(t.setFont(arial()));
  EXPECT_EQ(m.calls, measured + 1);
  FontRecord bigger = arial(-20);
  EXPECT_TRUE(t.setFont(bigger));
  FontRecord out;
  EXPECT_TRUE(t.getFont(out));
  EXPECT_EQ(out, bigger);
}

TEST(TextObject, RecordIsL77BytesEnvelopedRoundTripsAndRefusesShortOnes) {
  TextObject t;
  t.setPoints(PackedPoint::pack({-1, 2}), PackedPoint::pack({30, 40}));
  t.setText("0123456789");
  t.setColour(0x0000FF);
  t.setFill(0x00FFFF);
  t.setFont(arial());
  EXPECT_EQ(t.save({}), 96u);
  const auto record = saveRecord(t);
  const auto payload = Decompress(record);
  ASSERT_TRUE(payload);
  ASSERT_EQ(payload->size(), 10u + 77);
  EXPECT_EQ((*payload)[8], 0xFF);
  EXPECT_EQ((*payload)[12], 0xFF);
  EXPECT_EQ((*payload)[76], '0');
  EXPECT_EQ(payload->back(), 0);

  CountingMeasurer m;
  TextObject copy(&m);
  ASSERT_TRUE(copy.load(record));
  EXPECT_EQ(copy.text(), "0123456789");
  EXPECT_EQ(copy.first(), (Point{-1, 2}));
  EXPECT_EQ(copy.second(), (Point{30, 40}));  // the record's box, not a measured one
  EXPECT_EQ(copy.font(), arial());
  EXPECT_EQ(saveRecord(copy), record);

  // Short records and text without a terminator are refused.
  t.setText("abc");
  auto shorter = *Decompress(saveRecord(t));
  shorter.pop_back();  // the terminator
  EXPECT_FALSE(copy.load(Compress(shorter)));
  shorter.resize(76);
  EXPECT_FALSE(copy.load(Compress(shorter)));
  shorter.push_back(0);  // an empty text is fine
  EXPECT_TRUE(copy.load(Compress(shorter)));
  EXPECT_EQ(copy.text(), "");
  EXPECT_FALSE(copy.load({}));

  // Copying the text out needs room for the terminator.
  t.setText("hello");
  char small[5];
  uint16_t length = 0xBEEF;
  EXPECT_FALSE(t.getText(small, length));
  EXPECT_EQ(length, 0xBEEF);
  char exact[6];
  std::memset(exact, 'x', sizeof exact);
  EXPECT_TRUE(t.getText(exact, length));
  EXPECT_EQ(length, 5);
  EXPECT_STREQ(exact, "hello");
}

TEST(TextObject, HasNoHandlesWidthOrStyleAndIsHitInsideItsBox) {
  TextObject t;
  t.setPoints(PackedPoint::pack({10, 10}), PackedPoint::pack({20, 20}));
  EXPECT_EQ(t.hitHandle({10, 10}), kNoHandle);
  EXPECT_FALSE(t.moveHandle(4, {30, 30}));
  EXPECT_FALSE(t.setPenWidth(3));
  EXPECT_FALSE(t.setPenStyle(1));
  EXPECT_TRUE(t.hitTest({10, 10}));
  EXPECT_FALSE(t.hitTest({20, 15}));
  RecordingInvalidator v;
  t.invalidate(v, 0, 0, true);
  EXPECT_EQ(v.rects[0], (Rect{6, 6, 24, 24}));  // the fixed width 2
}

TEST(TextObject, ColourZeroWithFillShowsOnlyTheFilledBox) {
  TextObject t;
  t.setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({10, 10}));
  t.setText("hi");
  t.setFill(0x00FFFF);
  t.setFont(arial());
  RecordingCanvas c;
  t.draw(&c, DrawMode::Plain, 0, true);
  EXPECT_EQ(c.ops, (std::vector<std::string>{"save", "font Arial", "fill 0,0-10,10 00ffff",
                                             "textbk 00ffff", "restore"}));
  t.setColour(0xFF);
  RecordingCanvas d;
  t.draw(&d, DrawMode::Selected, 0, true);
  EXPECT_TRUE(d.has("text 0,0-10,10 hi"));
  EXPECT_TRUE(d.has("rect 0,0-10,10"));
  EXPECT_TRUE(d.with("fill").size() == 1);  // no handle squares

  // Text that does not convert stops the drawing.
  RecordingCanvas none;
  none.textConverts = false;
  t.draw(&none, DrawMode::Selected, 0, true);
  EXPECT_TRUE(none.with("rect").empty());
  EXPECT_EQ(none.depth, 0);
}

}  // namespace
}  // namespace scribly
