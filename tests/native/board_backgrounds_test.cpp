// Background scale and fit modes, and what the view shows of a page: paper,
// the picture in its scaled box, the objects, and grey past the page.
#include <gtest/gtest.h>

#include "board/page_painting.h"
#include "objects/object_factory.h"
#include "tests/native/board_test_support.h"
#include "tests/native/recording_canvas.h"

namespace scribly::testing {
namespace {

// A board whose current page has a picture 500 wide and 100 high.
struct PictureBoard : TestBoard {
  PictureBoard() {
    board->initialize(11, 12);
    files.files["C:\\a.jpg"] = Bytes(500, 7);
    EXPECT_TRUE(board->setBackgroundFile("C:\\a.jpg"));
    acknowledgeAll();
    host.sent.clear();
  }
};

TEST(BoardBackgrounds, FitModesAnnounceOnlyWhenTheViewDiffersByMoreThanTwoPixels) {
  PictureBoard b;
  b.view.client = Size{502, 98};
  b->applyScale(kFitWidth);
  b->applyScale(kFitHeight);
  EXPECT_EQ(b.host.countSent(MessageCode::kBackgroundScale), 0u);
  EXPECT_EQ(b->currentPage()->scale(), kFitHeight);

  b.view.client = Size{503, 97};
  b->applyScale(kFitWidth);
  b->applyScale(kFitHeight);
  b.acknowledgeAll();
  ASSERT_EQ(b.host.countSent(MessageCode::kBackgroundScale), 2u);
  EXPECT_EQ(parse<BackgroundScale>(b.host.sent.back().bytes)->scaleCode, 10u);
}

TEST(BoardBackgrounds, ThePictureIsDrawnInItsScaledBoxUnderTheObjects) {
  PictureBoard b;
  std::mt19937 rng(2);
  ASSERT_NE(b->commitObject(makeObject(12, rng, 11)), 0u);
  const std::string picture = " " + hexColour(FakePicture::kColour);
  auto paint = [&](const Rect& area) {
    RecordingCanvas canvas;
    b->paint(canvas, area);
    return canvas;
  };

  RecordingCanvas full = paint(Rect{0, 0, 800, 600});
  ASSERT_GE(full.ops.size(), 3u);
  EXPECT_EQ(full.ops[0], "fill 0,0-800,600 ffffff");
  EXPECT_EQ(full.ops[1], "fill 0,0-500,100" + picture);
  EXPECT_EQ(full.ops[2], "save");  // the object, over the picture

  b->applyScale(2.0f);
  EXPECT_TRUE(paint(Rect{0, 0, 800, 600}).has("fill 0,0-1000,200" + picture));
  b->applyScale(0.1f);  // outside the factors a picture is scaled by
  EXPECT_TRUE(paint(Rect{0, 0, 800, 600}).has("fill 0,0-500,100" + picture));
  b->applyScale(kCoverView);
  EXPECT_TRUE(paint(Rect{0, 0, 1000, 150}).has("fill 0,0-1000,200" + picture));
  b->applyScale(kFitWidth);
  EXPECT_TRUE(paint(Rect{0, 0, 800, 600}).has("fill 0,0-800,100" + picture));
}

TEST(BoardBackgrounds, TheViewIsGreyPastThePageAndWithoutOne) {
  const Page page(7, "p");
  RecordingCanvas canvas;
  paintPage(&page, canvas, Rect{1000, 1100, 1500, 1400});
  EXPECT_EQ(canvas.ops, (std::vector<std::string>{"fill 1000,1100-1200,1200 ffffff",
                                                  "fill 1200,1100-1500,1400 c0c0c0",
                                                  "fill 1000,1200-1200,1400 c0c0c0"}));
  RecordingCanvas none;
  paintPage(nullptr, none, Rect{0, 0, 300, 200});
  EXPECT_EQ(none.ops, (std::vector<std::string>{"fill 0,0-300,200 c0c0c0"}));
}

TEST(BoardBackgrounds, ARepaintOfPartOfTheViewDrawsOnlyTheObjectsThere) {
  Page page(7, "p");
  ObjectFactory factory(nullptr);
  for (int32_t x : {10, 400}) {
    auto rect = factory.create(12);
    rect->setPoints(PackedPoint::pack({x, 10}), PackedPoint::pack({x + 50, 60}));
    rect->setPenWidth(2);
    rect->setColour(0xFF);
    ASSERT_TRUE(page.addObject(static_cast<uint32_t>(x), std::move(rect)));
  }
  auto saves = [&](std::optional<Rect> dirty) {
    RecordingCanvas canvas;
    paintPage(&page, canvas, Rect{0, 0, 800, 600}, dirty);
    return canvas.with("save").size();
  };
  EXPECT_EQ(saves(std::nullopt), 2u);
  EXPECT_EQ(saves(Rect{380, 0, 500, 100}), 1u);
  // A pen's width and handles reach a little past the points.
  EXPECT_EQ(saves(Rect{61, 61, 62, 62}), 1u);
  EXPECT_EQ(saves(Rect{200, 200, 300, 300}), 0u);
}

}  // namespace
}  // namespace scribly::testing
