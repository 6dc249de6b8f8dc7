// Background scale and fit modes with the scaled copy they keep, the page
// size that follows the picture, templates, and what the view shows of a
// page: the picture or the template under the objects, grey past the page.
#include <gtest/gtest.h>

#include "board/page_painting.h"
#include "objects/object_factory.h"
#include "tests/native/board_test_support.h"
#include "tests/native/recording_canvas.h"

namespace scribly::testing {
namespace {

// A board whose current page has a picture `width` wide and 100 high.
struct PictureBoard : JoinedBoard {
  explicit PictureBoard(size_t width = 500) {
    files.files["C:\\a.jpg"] = Bytes(width, 7);
    EXPECT_TRUE(board->setBackgroundFile("C:\\a.jpg"));
    acknowledgeAll();
    host.sent.clear();
  }
  std::vector<uint32_t> sentScaleCodes() {
    std::vector<uint32_t> codes;
    for (const BackgroundScale& m : sentOf<BackgroundScale>()) codes.push_back(m.scaleCode);
    return codes;
  }
  Size shown() const { return board->currentPage()->shownPicture()->size(); }
};

// The source pixel a shown pixel came from, by its colour (see testPicture).
Point sourceOf(const BackgroundPicture& picture, int32_t x, int32_t y) {
  const Size size = picture.size();
  const uint8_t* p = &picture.pixels()[(size.height - 1 - y) * pictureRowBytes(size.width) + 3 * x];
  return {p[0] + 256 * p[2], p[1]};
}

TEST(BoardBackgrounds, AFixedFactorIsSentOnceKeptAsANearestPixelCopyAndSentAgainOnAVisit) {
  PictureBoard b(1000);
  const size_t held = b->heldPictureBytes();
  b->applyScale(0.65f);
  b->applyScale(0.65f);
  EXPECT_EQ(b.sentScaleCodes(), std::vector<uint32_t>{2});
  // The copy counts against the budget before it is first shown.
  EXPECT_EQ(b->heldPictureBytes(), held + pictureBytes(650, 65));
  ASSERT_EQ(b.shown(), (Size{650, 65}));
  const BackgroundPicture& shown = *b->currentPage()->shownPicture();
  EXPECT_EQ(sourceOf(shown, 0, 0), (Point{0, 0}));
  EXPECT_EQ(sourceOf(shown, 13, 13), (Point{20, 20}));
  EXPECT_EQ(sourceOf(shown, 649, 64), (Point{998, 98}));

  // Painting copies the kept picture at its own size, only the rows asked for.
  RecordingCanvas canvas;
  b->paint(canvas, Rect{0, 0, 800, 600}, Rect{0, 10, 800, 20});
  EXPECT_TRUE(canvas.has("blit 0,10-650,20 650x10"));

  b->applyScale(2.0f);
  EXPECT_EQ(b.shown(), (Size{2000, 200}));
  EXPECT_EQ(sourceOf(*b->currentPage()->shownPicture(), 3, 3), (Point{2, 2}));
  b->applyScale(0.1f);  // outside the factors a picture is scaled by
  EXPECT_EQ(b.shown(), (Size{1000, 100}));
  b->applyScale(1.0f);
  EXPECT_EQ(b->currentPage()->shownPicture(), b->currentPage()->backgroundPicture());

  // The factor is reapplied and sent again on every visit.
  b.sentScaleCodes();
  b.host.sent.clear();
  b->applyScale(0.75f);
  b->goToPage(2, false);
  b->goToPage(1, false);
  EXPECT_EQ(b.sentScaleCodes(), (std::vector<uint32_t>{3, 3}));
  EXPECT_EQ(b.shown(), (Size{750, 75}));
}

TEST(BoardBackgrounds, FitModesStretchOneSideAndAnnounceOnlyBeyondTwoPixels) {
  PictureBoard b;
  b.view.client = Size{502, 98};
  b->applyScale(kFitWidth);
  b->applyScale(kFitHeight);
  EXPECT_TRUE(b.sentScaleCodes().empty());
  EXPECT_EQ(b->currentPage()->scale(), kFitHeight);
  EXPECT_EQ(b.shown(), (Size{500, 100}));

  b.view.client = Size{803, 397};
  b->applyScale(kFitWidth);
  EXPECT_EQ(b.shown(), (Size{803, 100}));
  b->applyScale(kFitHeight);
  EXPECT_EQ(b.shown(), (Size{500, 397}));
  b->applyScale(kFitHeight);  // worked out again, and sent again
  EXPECT_EQ(b.sentScaleCodes(), (std::vector<uint32_t>{9, 10, 10}));

  // Covering the view takes the larger ratio: 803 / 500 over 397 / 100 is
  // beyond 3, so the picture stays; a wider view makes it 2.5 times.
  b->applyScale(kCoverView);
  EXPECT_EQ(b.shown(), (Size{500, 100}));
  b.view.client = Size{1250, 200};
  b->applyScale(1.0f);
  b->applyScale(kCoverView);
  EXPECT_EQ(b.shown(), (Size{1250, 250}));
}

TEST(BoardBackgrounds, ThePageGrowsWithTheShownPictureAndShrinksWithoutIt) {
  JoinedBoard b;
  b.decoder.height = 900;
  b.files.files["C:\\wide.bmp"] = Bytes(2000, 1);
  ASSERT_TRUE(b->setBackgroundFile("C:\\wide.bmp"));
  EXPECT_EQ(b->pageSize(), (Size{2000, 1200}));
  b->applyScale(1.5f);
  EXPECT_EQ(b->pageSize(), (Size{3000, 1350}));

  RecordingCanvas canvas;
  b->paint(canvas, Rect{2900, 1300, 3100, 1400});
  EXPECT_EQ(canvas.ops.front(), "fill 2900,1300-3000,1350 ffffff");
  EXPECT_TRUE(canvas.has("fill 3000,1300-3100,1400 c0c0c0"));

  b->goToPage(2, false);
  EXPECT_EQ(b->pageSize(), (Size{1200, 1200}));
  b->goToPage(1, false);  // the factor comes back with the page
  EXPECT_EQ(b->pageSize(), (Size{3000, 1350}));
  b->setTemplateBackground("none");
  EXPECT_EQ(b->pageSize(), (Size{1200, 1200}));
}

// A peer keeps the factor of a scale message that comes before the picture it
// scales, or for a page it does not show: the page shows at that factor once
// shown there, as it does here.
TEST(BoardBackgrounds, APeerShowsAPictureAtTheFactorItWasScaledToBeforeItShowedIt) {
  for (const bool elsewhere : {false, true}) {
    SCOPED_TRACE(elsewhere ? "on another page" : "before the picture came");
    InMemoryRelay relay(InMemoryRelay::Mode::PeerToPeer, 2, 5);
    relay.node(0).files.files["C:\\a.jpg"] = Bytes(400, 7);
    if (elsewhere) relay.board(1).goToPage(2, false);
    ASSERT_TRUE(relay.board(0).setBackgroundFile("C:\\a.jpg"));
    relay.board(0).applyScale(0.65f);
    ASSERT_TRUE(relay.drain());
    relay.board(1).goToPage(1, false);
    ASSERT_TRUE(relay.drain());
    ASSERT_NE(relay.board(1).currentPage()->shownPicture(), nullptr);
    EXPECT_EQ(relay.board(1).currentPage()->shownPicture()->size(), (Size{260, 65}));
    EXPECT_EQ(relay.board(0).currentPage()->shownPicture()->size(), (Size{260, 65}));
  }
}

TEST(BoardBackgrounds, CoveringTheViewIsSentAsZeroWhichAPeerShowsAtFullSizeAsAnyUnknownCode) {
  InMemoryRelay relay(InMemoryRelay::Mode::PeerToPeer, 2, 5);
  relay.node(0).files.files["C:\\a.jpg"] = Bytes(400, 7);
  relay.node(0).view.client = Size{800, 100};
  ASSERT_TRUE(relay.board(0).setBackgroundFile("C:\\a.jpg"));
  ASSERT_TRUE(relay.drain());
  ASSERT_NE(relay.board(1).currentPage()->shownPicture(), nullptr);

  relay.node(1).view.client = Size{800, 100};
  relay.board(1).applyScale(1.25f);
  ASSERT_TRUE(relay.drain());
  relay.board(0).applyScale(kCoverView);
  EXPECT_EQ(relay.board(0).currentPage()->shownPicture()->size(), (Size{800, 200}));
  ASSERT_TRUE(relay.drain());
  const auto sent = relay.node(0).sentOf<BackgroundScale>();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].scaleCode, 0u);
  const Page& there = *relay.board(1).currentPage();
  EXPECT_EQ(there.scale(), 1.0f);
  EXPECT_EQ(there.shownPicture()->size(), (Size{400, 100}));
  // So does any code outside the table.
  relay.node(1).receive(BackgroundScale{1, 3}, false);
  EXPECT_EQ(there.scale(), 0.75f);
  relay.node(1).receive(BackgroundScale{1, 11}, false);
  EXPECT_EQ(there.scale(), 1.0f);
}

TEST(BoardBackgrounds, NewPagesTileTheDefaultTemplateAndTheMenuSwitchesTemplates) {
  JoinedBoard b(withTemplates());
  EXPECT_EQ(b->currentPage()->templateName(), "default");
  auto paint = [&](const Rect& area, std::optional<Rect> dirty = std::nullopt) {
    RecordingCanvas canvas;
    b->paint(canvas, area, dirty);
    return canvas;
  };
  // 16 x 8 copies from the page's corner, only those that meet the repaint.
  EXPECT_EQ(paint(Rect{0, 0, 800, 600}, Rect{20, 5, 40, 12}).with("blit"),
            (std::vector<std::string>{"blit 16,5-32,8 16x3", "blit 32,5-48,8 16x3",
                                      "blit 16,8-32,12 16x4", "blit 32,8-48,12 16x4"}));
  // The copies end at the page's edge, where grey begins.
  RecordingCanvas edge = paint(Rect{1190, 1195, 1300, 1300});
  EXPECT_EQ(edge.with("blit"), std::vector<std::string>{"blit 1184,1195-1200,1200 16x5"});
  EXPECT_TRUE(edge.has("fill 1200,1195-1300,1300 c0c0c0"));

  ASSERT_TRUE(b->setTemplateBackground("grid"));
  EXPECT_EQ(paint(Rect{0, 0, 48, 24}).with("blit"),
            (std::vector<std::string>{"blit 0,0-24,24 24x24", "blit 24,0-48,24 24x24"}));
  // A name that is no template clears the background to paper.
  ASSERT_TRUE(b->setTemplateBackground("none"));
  EXPECT_EQ(paint(Rect{0, 0, 48, 24}).ops, std::vector<std::string>{"fill 0,0-48,24 ffffff"});
}

TEST(BoardBackgrounds, TheViewIsGreyPastThePageAndARepaintDrawsOnlyTheObjectsThere) {
  Page page(7, "p");
  RecordingCanvas grey;
  paintPage(&page, nullptr, grey, Rect{1000, 1100, 1500, 1400});
  EXPECT_EQ(grey.ops, (std::vector<std::string>{"fill 1000,1100-1200,1200 ffffff",
                                                "fill 1200,1100-1500,1400 c0c0c0",
                                                "fill 1000,1200-1200,1400 c0c0c0"}));
  RecordingCanvas none;
  paintPage(nullptr, nullptr, none, Rect{0, 0, 300, 200});
  EXPECT_EQ(none.ops, (std::vector<std::string>{"fill 0,0-300,200 c0c0c0"}));

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
    paintPage(&page, nullptr, canvas, Rect{0, 0, 800, 600}, dirty);
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
