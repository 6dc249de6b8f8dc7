#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/jpeg_codec.h"
#include "collab/envelope.h"
#include "objects/hand_symbol_object.h"
#include "objects/image_object.h"
#include "objects/pixel_ops.h"
#include "picture_bombs.h"
#include "recording_canvas.h"

namespace scribly {
namespace {

std::vector<uint8_t> grey(uint16_t w, uint16_t h, uint8_t v = 100) {
  return std::vector<uint8_t>(pictureBytes(w, h), v);
}

TEST(ImageObject, RecordIs24BytesAttachRefusesShortPixelsClonesCopyThemAndDrawsThemOrAPlaceholder) {
  ImageObject img;
  img.setPoints(PackedPoint::pack({-10, 20}), PackedPoint::pack({30, 40}));
  img.setAdjustmentA(7);
  img.setBrightness(-5);
  img.setContrast(9);
  const auto record = saveRecord(img);
  ASSERT_EQ(record.size(), 24u);
  EXPECT_EQ(record[8], 7);
  EXPECT_EQ(record[16], 0xFB);
  EXPECT_EQ(record[20], 9);

  ImageObject copy;
  ASSERT_TRUE(copy.load(record));
  EXPECT_EQ(saveRecord(copy), record);
  // The points alone load, the adjustments back to zero.
  ASSERT_TRUE(copy.load(std::span(record).first(8)));
  std::vector<uint8_t> pointsOnly(record.begin(), record.begin() + 8);
  pointsOnly.resize(24);
  EXPECT_EQ(saveRecord(copy), pointsOnly);
  EXPECT_FALSE(copy.load(std::span(record).first(7)));
  // Adjustments answer true even unchanged: the view repaints either way.
  EXPECT_TRUE(copy.setBrightness(0));

  // Attaching refuses empty or short pictures.
  EXPECT_FALSE(copy.attachPixels({}, 2, 2, {0, 0}, {2, 2}));
  EXPECT_FALSE(copy.attachPixels(grey(2, 2), 0, 2, {0, 0}, {2, 2}));
  EXPECT_FALSE(copy.attachPixels(std::vector<uint8_t>(15), 2, 2, {0, 0}, {2, 2}));
  EXPECT_TRUE(copy.attachPixels(grey(2, 2), 2, 2, {0, 0}, {20, 10}));
  EXPECT_EQ(copy.referenceSize(), (Size{20, 10}));

  ImageObject empty;
  EXPECT_EQ(empty.clone(), nullptr);
  // A clone has its own pixels and the adjustments.
  copy.setContrast(3);
  auto twin = copy.clone();
  ASSERT_TRUE(twin);
  EXPECT_EQ(saveRecord(*twin), saveRecord(copy));
  EXPECT_NE(static_cast<ImageObject&>(*twin).pixels().data(), copy.pixels().data());

  // A hit test normalises the box.
  empty.setPoints(PackedPoint::pack({20, 20}), PackedPoint::pack({0, 0}));
  EXPECT_EQ(hits(empty, {{0, 0}, {20, 10}}), "10");
  EXPECT_EQ(empty.first(), (Point{0, 0}));

  // Drawn from the stored pixels, copied only when adjusted; a placeholder without.
  ImageObject shown;
  ASSERT_TRUE(shown.attachPixels(grey(2, 2, 10), 2, 2, {5, 6}, {25, 26}));
  RecordingCanvas c = drawing(shown, DrawMode::Plain);
  shown.draw(&c, DrawMode::Plain, 0, false);
  EXPECT_EQ(c.with("blit"), (std::vector<std::string>{"blit 5,6-25,26 2x2", "blit 0,0-20,20 2x2"}));
  EXPECT_EQ(c.blitSources[0], shown.pixels().data());  // the stored pixels themselves
  shown.setBrightness(255);
  shown.draw(&c, DrawMode::Plain, 0, true);
  EXPECT_NE(c.blitSources[2], shown.pixels().data());
  EXPECT_EQ(c.blits[2][0], 255);
  EXPECT_EQ(shown.pixels()[0], 10);

  // Without pixels: a frame, and a red cross when large enough.
  ImageObject frame;
  frame.setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({40, 30}));
  const RecordingCanvas p = drawing(frame, DrawMode::SelectedWithHandles, 0x123456);
  EXPECT_TRUE(p.has("fill 2,2-38,28 123456"));
  EXPECT_TRUE(p.has("pen cos 0 w2 0000ff round round"));
  EXPECT_EQ(p.with("line").size(), 2u);
  EXPECT_TRUE(p.has("fill 13,8-27,22 ffffff"));
  EXPECT_EQ(p.with("fill").size(), 2u + 9);
  EXPECT_EQ(p.depth, 0);

  // Corners given the other way round draw the same.
  ImageObject reversed;
  reversed.setPoints(PackedPoint::pack({40, 30}), PackedPoint::pack({0, 0}));
  const RecordingCanvas r = drawing(reversed, DrawMode::SelectedWithHandles, 0x123456);
  EXPECT_EQ(r.with("fill"), p.with("fill"));
  EXPECT_EQ(r.with("line"), p.with("line"));

  ImageObject small;
  small.setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({10, 10}));
  EXPECT_TRUE(drawing(small, DrawMode::Plain).with("line").empty());  // 8 x 8 inside: no cross
}

TEST(ImageObject, CornerDragsKeepTheReferenceAspectAndTheOrientationTurnsAboutTheCentre) {
  ImageObject img;
  ASSERT_TRUE(img.attachPixels(grey(4, 2), 4, 2, {0, 0}, {200, 100}));
  EXPECT_TRUE(img.moveHandle(4, {100, 100}));
  EXPECT_EQ(img.second(), (Point{100, 50}));
  // Height-limited: the pointer's row decides, the width follows.
  EXPECT_TRUE(img.moveHandle(4, {400, 60}));
  EXPECT_EQ(img.second(), (Point{120, 60}));
  EXPECT_TRUE(img.moveHandle(0, {-100, 10}));
  EXPECT_EQ(img.first(), (Point{20, 10}));
  EXPECT_TRUE(img.moveHandle(2, {200, -100}));  // x limited by y... or the reverse
  EXPECT_EQ(img.first().y, -30);
  EXPECT_EQ(img.second().x, 200);
  EXPECT_TRUE(img.moveHandle(6, {-200, 400}));
  // Refused when the corner would reach the opposite side.
  const Point a = img.first(), b = img.second();
  EXPECT_FALSE(img.moveHandle(4, {a.x, b.y + 10}));
  EXPECT_FALSE(img.moveHandle(0, {b.x + 1, a.y}));
  EXPECT_FALSE(img.moveHandle(1, {0, b.y}));
  EXPECT_FALSE(img.moveHandle(3, {a.x, 0}));
  EXPECT_FALSE(img.moveHandle(5, {0, a.y}));
  EXPECT_FALSE(img.moveHandle(7, {b.x, 0}));
  EXPECT_FALSE(img.moveHandle(9, {0, 0}));
  EXPECT_TRUE(img.moveHandle(8, {0, 0}));
  EXPECT_EQ(img.first(), a);
  EXPECT_EQ(img.second(), b);
  EXPECT_TRUE(img.moveHandle(3, {b.x + 5, 0}));  // edges move freely
  EXPECT_EQ(img.second(), (Point{b.x + 5, b.y}));

  // A zero reference side gives no aspect: the corner moves freely.
  img.setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({50, 0}));
  img.setReferenceSize();
  EXPECT_TRUE(img.moveHandle(4, {30, 70}));
  EXPECT_EQ(img.second(), (Point{30, 70}));

  // The orientation turns the pixels and the box about its centre.
  ImageObject turned;
  auto px = grey(3, 2);
  px[0] = 1;  // bottom-left pixel, blue
  ASSERT_TRUE(turned.attachPixels(px, 3, 2, {100, 100}, {160, 140}));
  EXPECT_TRUE(turned.setOrientation(4));
  EXPECT_EQ(turned.pictureWidth(), 2);
  EXPECT_EQ(turned.pictureHeight(), 3);
  EXPECT_EQ(turned.first(), (Point{110, 90}));
  EXPECT_EQ(turned.second(), (Point{150, 150}));
  // A right turn takes the bottom-left pixel to the top-left.
  EXPECT_EQ(turned.pixels()[2 * pictureRowBytes(2)], 1);
  int32_t code = 0;
  turned.getOrientation(code);
  EXPECT_EQ(code, 4);
  EXPECT_TRUE(turned.setOrientation(1));
  EXPECT_EQ(turned.pixels()[2 * pictureRowBytes(2) + 3], 1);
  EXPECT_TRUE(turned.setOrientation(77));  // stored, pixels untouched
  EXPECT_EQ(turned.pixels()[2 * pictureRowBytes(2) + 3], 1);
}

TEST(ImageObject, BulkRecordRoundTripsAsJpegOrRawAndDecodesOnlyWithinItsBoxRatioAndRoom) {
  ImageObject img;
  ASSERT_TRUE(img.attachPixels(grey(40, 30, 180), 40, 30, {0, 0}, {40, 30}));
  EXPECT_EQ(img.saveBulkData({}), pictureBytes(40, 30) + 21);
  const auto bulk = saveBulkRecord(img);
  ASSERT_GT(bulk.size(), 12u);
  ByteReader r(bulk);
  EXPECT_EQ(r.u32(), 1u);
  EXPECT_EQ(r.u32(), bulk.size());
  EXPECT_EQ(r.u16(), 40);
  EXPECT_EQ(r.u16(), 30);

  ImageObject copy;
  ASSERT_TRUE(copy.loadBulkData(bulk));
  EXPECT_EQ(copy.pictureWidth(), 40);
  EXPECT_NEAR(copy.pixels()[100], 180, 2);
  EXPECT_FALSE(copy.loadBulkData(bulk));  // already has pixels
  EXPECT_EQ(ImageObject().saveBulkData({}), 0u);

  // Truncated, mismatched and empty bulk records are refused.
  ImageObject a;
  EXPECT_FALSE(a.loadBulkData(std::span(bulk).first(bulk.size() - 1)));  // stated length
  auto longer = bulk;
  longer.push_back(0);  // decodes fine, but is not the length stated
  EXPECT_FALSE(a.loadBulkData(longer));
  auto wrongSize = bulk;  // a stream that does not decode to the size stated
  wrongSize[8] = 17;
  EXPECT_FALSE(a.loadBulkData(wrongSize));
  auto zero = bulk;
  zero[8] = zero[9] = 0;
  EXPECT_FALSE(a.loadBulkData(zero));
  EXPECT_FALSE(a.hasPixels());
  EXPECT_FALSE(a.loadBulkData({}));

  // The raw form, for pictures too small for JPEG.
  ImageObject raw;
  ByteWriter w;
  w.u16(3).u16(2);
  auto px = grey(3, 2, 42);
  w.bytes(px);
  auto short_ = w.data();
  short_.pop_back();
  EXPECT_FALSE(raw.loadBulkData(Compress(short_)));
  ASSERT_TRUE(raw.loadBulkData(Compress(w.data())));
  EXPECT_EQ(raw.pixels(), px);
  // The JPEG stream's headers alone would pass this picture's limit.
  ImageObject received;
  ASSERT_TRUE(received.loadBulkData(saveBulkRecord(raw)));
  EXPECT_EQ(received.pixels(), px);
  ByteWriter empty;
  empty.u16(0).u16(5);
  EXPECT_FALSE(ImageObject().loadBulkData(Compress(empty.data())));

  // Bulk records decode only within their box, their ratio and the room given.
  using namespace testing;
  auto inBox = [](int32_t side) {
    auto img = std::make_unique<ImageObject>();
    img->setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({side, side}));
    return img;
  };
  // Raw: twice the box's sides, and a small picture whatever the box.
  const auto large = rawBulk(400, 400);
  EXPECT_FALSE(inBox(199)->loadBulkData(large));
  EXPECT_TRUE(inBox(200)->loadBulkData(large));
  EXPECT_TRUE(inBox(0)->loadBulkData(rawBulk(100, 100)));
  EXPECT_FALSE(inBox(200)->loadBulkWithin(large, pictureBytes(400, 400) - 1));
  // JPEG: a few hundred bytes for 12 MB of pixels is refused, our own plain
  // pictures are not.
  const auto bomb = jpegBulk(2000, 2000, arithmeticJpeg(2000, 2000));
  ASSERT_LT(bomb.size(), 1000u);
  EXPECT_FALSE(inBox(2000)->loadBulkData(bomb));
  ImageObject plain;
  ASSERT_TRUE(plain.attachPixels(grey(2000, 2000), 2000, 2000, {0, 0}, {1, 1}));
  const auto ours = saveBulkRecord(plain);
  EXPECT_TRUE(inBox(1)->loadBulkData(ours));
  EXPECT_FALSE(inBox(1)->loadBulkWithin(ours, pictureBytes(2000, 2000) - 1));
}

FontRecord tahoma() {
  FontRecord f;
  f.height = -11;
  f.setFace("Tahoma");
  return f;
}

TEST(HandSymbolObject, RecordIs80BytesWithoutTheLabelWhichMeasuresTheBoxAndDraws) {
  HandSymbolObject hand(4242, {100, 50});
  hand.setLabel("Ann");
  hand.setColour(0xFF);
  hand.setFill(0xFFFFFF);
  hand.setFont(tahoma());
  const auto record = saveRecord(hand);
  ASSERT_EQ(record.size(), 80u);
  EXPECT_EQ(PackedPoint{ByteReader(record).u32()}.unpack(), (Point{120, 70}));
  EXPECT_EQ(record[8], 4242 & 0xFF);
  EXPECT_EQ(record[12], 0xFF);
  EXPECT_EQ(record[16], 0xFF);
  EXPECT_EQ(record[20 + 28], 'T');
  HandSymbolObject copy;
  EXPECT_FALSE(copy.load(std::span(record).first(79)));
  ASSERT_TRUE(copy.load(record));
  EXPECT_EQ(copy.displayText(), "4242");
  EXPECT_EQ(saveRecord(copy), record);
  EXPECT_EQ(copy.clone(), nullptr);

  // Label and font changes measure the box.
  RecordingCanvas m;
  HandSymbolObject labelled(7, {0, 0}, &m);
  EXPECT_TRUE(labelled.setLabel("Bo"));
  EXPECT_EQ(labelled.displayText(), "Bo(7)");
  EXPECT_EQ(labelled.second(), (Point{20 + 35, 20 + 13}));
  EXPECT_FALSE(labelled.setLabel("Bo"));
  EXPECT_TRUE(labelled.setFont(tahoma()));
  EXPECT_FALSE(labelled.setFont(tahoma()));
  EXPECT_EQ(m.measures, 2);
  EXPECT_FALSE(labelled.setPenWidth(3));
  EXPECT_EQ(labelled.hitHandle({20, 20}), kNoHandle);
  EXPECT_FALSE(labelled.moveHandle(4, {1, 1}));

  // An empty label shows only the id, colour zero no text; the hits.
  HandSymbolObject unlabelled(-5 & 0xFFFFFFFF, {0, 0});
  unlabelled.setPoints(PackedPoint::pack({20, 20}), PackedPoint::pack({60, 33}));
  unlabelled.setColour(0x0000FF);
  const RecordingCanvas c = drawing(unlabelled, DrawMode::Selected);
  EXPECT_EQ(c.ops,
            (std::vector<std::string>{"save", "bitmap 1,4 ffffff", "font ", "textbk transparent",
                                      "textcolour 0000ff", "text 20,20-60,33 -5",
                                      "pen geo 1 w1 00ff00 round round", "brush null",
                                      "rect 20,20-60,33", "restore"}));
  unlabelled.setColour(0);
  EXPECT_TRUE(drawing(unlabelled, DrawMode::Plain).with("text ").empty());
  RecordingCanvas noBitmap;
  noBitmap.bitmapAvailable = false;
  unlabelled.draw(&noBitmap, DrawMode::Selected, 0, true);
  EXPECT_EQ(noBitmap.ops, (std::vector<std::string>{"save", "restore"}));

  // Hit in the hand's square and the box.
  unlabelled.setPoints(PackedPoint::pack({20, 20}), PackedPoint::pack({50, 30}));
  EXPECT_EQ(hits(unlabelled, {{0, 0}, {19, 19}, {-1, 5}, {49, 29}, {50, 25}, {25, 10}}), "110100");
  RecordingInvalidator v;
  unlabelled.invalidate(v, 0, 0, true);
  EXPECT_EQ(v.rects[0], (Rect{-3, -3, 53, 33}));
}

// A picture whose every pixel is distinct: channel values encode position.
std::vector<uint8_t> numbered(uint16_t w, uint16_t h) {
  std::vector<uint8_t> px(pictureBytes(w, h), 0xEE);
  const size_t row = pictureRowBytes(w);
  for (uint16_t y = 0; y < h; ++y) {
    for (uint16_t x = 0; x < w; ++x) {
      uint8_t* p = &px[y * row + 3 * x];
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>(x * 7 + y);
    }
  }
  return px;
}

// Pixel (x, y) counted from the top of a bottom-up picture.
const uint8_t* at(const std::vector<uint8_t>& px, uint16_t w, uint16_t h, int x, int y) {
  return &px[(h - 1 - y) * pictureRowBytes(w) + 3 * x];
}

// Compares the pixels of two w x h pictures, not their row padding.
::testing::AssertionResult samePixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                                      uint16_t w, uint16_t h) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (std::memcmp(at(a, w, h, x, y), at(b, w, h, x, y), 3) != 0)
        return ::testing::AssertionFailure() << w << "x" << h << " differs at " << x << "," << y;
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(PixelOps, TurnsMirrorsAndAnyAngleMovePixelsWhereExpectedAndAdjustmentsStayDefined) {
  const uint16_t w = 5, h = 3;
  const auto px = numbered(w, h);
  const auto right = reorientPixels(px, w, h, Orientation::TurnRight);
  const auto left = reorientPixels(px, w, h, Orientation::TurnLeft);
  const auto mirrorX = reorientPixels(px, w, h, Orientation::MirrorLeftRight);
  const auto mirrorY = reorientPixels(px, w, h, Orientation::MirrorTopBottom);
  ASSERT_EQ(right.size(), pictureBytes(h, w));
  // The top-left pixel goes to the top-right corner on a right turn, to the
  // bottom-left on a left turn.
  EXPECT_EQ(0, std::memcmp(at(right, h, w, h - 1, 0), at(px, w, h, 0, 0), 3));
  EXPECT_EQ(0, std::memcmp(at(left, h, w, 0, w - 1), at(px, w, h, 0, 0), 3));
  EXPECT_EQ(0, std::memcmp(at(mirrorX, w, h, w - 1, 1), at(px, w, h, 0, 1), 3));
  EXPECT_EQ(0, std::memcmp(at(mirrorY, w, h, 2, h - 1), at(px, w, h, 2, 0), 3));

  // A right angle matches the quarter turn; other angles fill the corners white.
  const auto quarter = turnPixels(px, w, h, 90);
  ASSERT_TRUE(quarter);
  ASSERT_EQ(quarter->width, h);
  ASSERT_EQ(quarter->height, w);
  EXPECT_TRUE(samePixels(quarter->pixels, reorientPixels(px, w, h, Orientation::TurnRight), h, w));

  const std::vector<uint8_t> grey(pictureBytes(100, 50), 0x80);
  const auto turned = turnPixels(grey, 100, 50, 30);
  ASSERT_TRUE(turned);
  EXPECT_EQ(turned->width, 112);  // 100 cos 30 + 50 sin 30
  EXPECT_EQ(turned->height, 93);
  const uint8_t white[3] = {0xFF, 0xFF, 0xFF}, mid[3] = {0x80, 0x80, 0x80};
  EXPECT_EQ(0, std::memcmp(at(turned->pixels, 112, 93, 0, 0), white, 3));
  EXPECT_EQ(0, std::memcmp(at(turned->pixels, 112, 93, 111, 92), white, 3));
  EXPECT_EQ(0, std::memcmp(at(turned->pixels, 112, 93, 56, 46), mid, 3));

  EXPECT_EQ(turnedBox({10, 10, 50, 30}, 90), (Rect{20, 0, 40, 40}));
  EXPECT_EQ(turnedBox({10, 10, 50, 30}, -180), (Rect{10, 10, 50, 30}));
  EXPECT_FALSE(turnPixels(std::span(px).first(10), w, h, 30));
  EXPECT_FALSE(turnPixels(grey, 100, 50, std::nan("")));
  const std::vector<uint8_t> huge(pictureBytes(60000, 2));
  EXPECT_FALSE(turnPixels(huge, 60000, 2, 45));

  // Four right turns or two mirrors give the original, at any shape.
  for (auto [w, h] : {std::pair<uint16_t, uint16_t>{5, 3}, {1, 7}, {4, 4}, {6, 1}}) {
    const auto px = numbered(w, h);
    std::vector<uint8_t> cur = px;
    uint16_t cw = w, ch = h;
    for (int i = 0; i < 4; ++i) {
      cur = reorientPixels(cur, cw, ch, Orientation::TurnRight);
      std::swap(cw, ch);
    }
    EXPECT_TRUE(samePixels(cur, px, w, h));
    EXPECT_TRUE(samePixels(reorientPixels(reorientPixels(px, w, h, Orientation::TurnLeft), h, w,
                                          Orientation::TurnRight),
                           px, w, h));
    for (Orientation mirror : {Orientation::MirrorLeftRight, Orientation::MirrorTopBottom}) {
      EXPECT_TRUE(
          samePixels(reorientPixels(reorientPixels(px, w, h, mirror), w, h, mirror), px, w, h));
    }
  }

  // Unknown codes and short buffers give nothing.
  const auto square = numbered(4, 4);
  EXPECT_TRUE(reorientPixels(square, 4, 4, static_cast<Orientation>(5)).empty());
  EXPECT_TRUE(reorientPixels(std::span(square).first(10), 4, 4, Orientation::TurnLeft).empty());
  EXPECT_TRUE(reorientPixels(square, 0, 4, Orientation::TurnLeft).empty());

  // Brightness clamps, then contrast; extremes stay defined and padding stays.
  EXPECT_EQ(adjustChannel(100, 255, 0), 255);
  EXPECT_EQ(adjustChannel(100, -255, 0), 0);
  // k = 50: values up to 50 go black, from 205 white.
  EXPECT_EQ(adjustChannel(50, 0, 50), 0);
  EXPECT_EQ(adjustChannel(205, 0, 50), 255);
  EXPECT_EQ(adjustChannel(100, 0, -50), 110);  // (c * 155 / 255) + 50
  // Brightness first, then contrast.
  EXPECT_EQ(adjustChannel(40, 20, 50), 16);  // 60 -> (10 / 0.6078) = 16.45
  // Extreme peer values stay defined.
  EXPECT_EQ(adjustChannel(200, INT32_MAX, INT32_MIN), adjustChannel(255, 0, INT32_MIN));
  EXPECT_EQ(adjustChannel(200, 0, 200), 0);  // k above 127 never divides
  EXPECT_EQ(adjustChannel(201, 0, 200), 255);

  // Row padding is left alone.
  std::vector<uint8_t> padded(pictureBytes(1, 2), 7);
  adjustPixels(padded, 1, 2, 255, 0);
  EXPECT_EQ(padded, (std::vector<uint8_t>{255, 255, 255, 7, 255, 255, 255, 7}));
}

// A smooth photo-like picture: gradients with a little texture.
std::vector<uint8_t> photo(uint16_t w, uint16_t h) {
  std::vector<uint8_t> px(pictureBytes(w, h));
  const size_t row = pictureRowBytes(w);
  for (uint16_t y = 0; y < h; ++y) {
    for (uint16_t x = 0; x < w; ++x) {
      uint8_t* p = &px[y * row + 3 * x];
      p[0] = static_cast<uint8_t>(128 + 100 * std::sin(x / 40.0));
      p[1] = static_cast<uint8_t>(y * 255 / h);
      p[2] = static_cast<uint8_t>((x + y) * 255 / (w + h) + ((x * 13 + y * 7) % 9));
    }
  }
  return px;
}

TEST(Jpeg, PhotoRoundTripsWithinASmallMeanErrorAndBadStreamsAreRefused) {
  const uint16_t w = 640, h = 480;
  const auto px = photo(w, h);
  const auto jpeg = encodeJpeg(px, w, h, pictureBytes(w, h) + 9);
  ASSERT_TRUE(jpeg);
  EXPECT_LT(jpeg->size(), px.size() / 4);
  EXPECT_EQ((*jpeg)[0], 0xFF);
  EXPECT_EQ((*jpeg)[1], 0xD8);
  const auto back = decodeJpeg(*jpeg, w, h);
  ASSERT_TRUE(back);
  double error = 0;  // rows of 640 pixels have no padding
  for (size_t i = 0; i < px.size(); ++i) error += std::abs(int((*back)[i]) - int(px[i]));
  EXPECT_LT(error / (3.0 * w * h), 3.0);
  // Rows stay bottom-up: the green gradient rises with the row index.
  EXPECT_LT((*back)[1], (*back)[(h - 1) * pictureRowBytes(w) + 1]);

  // Mismatched sizes, truncated streams and oversized output are refused.
  EXPECT_FALSE(decodeJpeg(*jpeg, w + 1, h));
  EXPECT_FALSE(decodeJpeg(*jpeg, w, h - 1));
  // libjpeg only warns about a stream cut short and pads it grey.
  EXPECT_FALSE(decodeJpeg(std::span(*jpeg).first(jpeg->size() - 2), w, h));
  EXPECT_FALSE(decodeJpeg(std::span(*jpeg).first(jpeg->size() / 2), w, h));
  EXPECT_FALSE(decodeJpeg(std::span(*jpeg).first(20), w, h));
  EXPECT_FALSE(decodeJpeg({}, w, h));
  EXPECT_FALSE(encodeJpeg(px, w, h, 100));  // would exceed the room allowed
  EXPECT_FALSE(encodeJpeg(std::span(px).first(10), w, h, 1 << 20));
}

}  // namespace
}  // namespace scribly
