// The view's paint: what the painter draws, through one memory context,
// shifted by the scroll position; and the kept page picture, which after
// every kind of change shows what drawing every object again shows.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/bmp_file.h"
#include "base/file_bytes.h"
#include "collab/message_codec.h"
#include "frame/canvas_view_win.h"
#include "frame/frame_board_win.h"
#include "frame/main_frame_win.h"
#include "objects/object_factory.h"
#include "tests/bench/bench_objects.h"
#include "tests/win/test_surface.h"
#include "win/text.h"

namespace scribly {
namespace {

struct SquarePainter : PagePainter {
  Point scroll;
  Rect asked;
  void paintView(Canvas& canvas, const Rect& area, const Rect&) override {
    asked = area;
    canvas.fillRect(Rect{0, 0, 1200, 1200}, 0xFFFFFF);    // paper
    canvas.fillRect(Rect{100, 100, 110, 110}, 0x0000FF);  // a red square at page (100, 100)
  }
  Point scrollPosition() const override { return scroll; }
};

TEST(ViewTest, ScrollingShiftsWhatThePainterDraws) {
  const HostWindow parent(400, 300, WS_OVERLAPPEDWINDOW);
  SquarePainter painter;
  CanvasView view(parent, painter);
  painter.scroll = Point{60, 90};
  Surface s(300, 400);
  view.paint(s.dc(), RECT{0, 0, 300, 400});
  EXPECT_EQ(painter.asked, (Rect{60, 90, 360, 490}));
  EXPECT_EQ(s.at(45, 15), RGB(255, 0, 0));  // page (105, 105)
  EXPECT_EQ(s.at(105, 105), RGB(255, 255, 255));
}

// A board's view beside a second view of the same board that draws every
// object at every paint: after each change both show the same pixels.
TEST(KeptPageTest, ShowsWhatAFullRepaintShowsAfterEveryKindOfChange) {
  const HostWindow parent(700, 500);
  FrameSettings settings;
  settings.parent = parent;
  settings.peerToPeer = true;
  settings.moduleFolder = moduleFolder();  // the skin's view, with its scroll bars
  auto frame = MainFrame::create(settings, nullptr);
  ASSERT_TRUE(frame && frame->skin());
  frame->join(1, 2);
  FrameBoard& shown = *frame->board();
  Board& board = shown.board();
  CanvasView plain(parent, shown);
  plain.keepPicture(false);
  HWND view = shown.view().window();

  // A crowded page 1, and page 2 of one object.
  std::vector<std::unique_ptr<BoardObject>> objects = makePage(nullptr);
  for (size_t i = 0; i < 150; ++i) ASSERT_NE(board.commitObject(std::move(objects[i]), 1), 0u);
  const uint32_t other = board.commitObject(std::move(objects[150]), 2);
  ASSERT_NE(other, 0u);
  const uint32_t first = board.currentPage()->objects().front().id;
  auto peer = [&](const std::vector<uint8_t>& message) { ASSERT_TRUE(board.dispatch(message)); };
  auto moveTo = [&](uint32_t page, uint32_t id, int32_t x, int32_t y) {
    peer(build(SetObjectValue{SetObjectValue::kMoveTo, page, id, PackedPoint::pack({x, y}).value}));
  };
  const std::vector<uint8_t> colour = build(SetObjectValue{SetObjectValue::kColour, 1, 900, 255});
  const std::vector<uint8_t> deletion = build(DeleteObject{1, 900});
  const std::string picture = narrow(tempPath(L"scribly-kept-page.bmp"));
  const BmpLayout layout = *bmpLayout(300, 200, 24);
  std::vector<uint8_t> pixels(layout.pixelBytes());
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 / 5);
  ASSERT_TRUE(writeFileBytes(picture, bmpFileBytes(layout, {}, pixels)));

  auto rect = ObjectFactory(nullptr).create(12);
  rect->setPoints(PackedPoint::pack({150, 150}), PackedPoint::pack({400, 300}));
  rect->setFill(0x00FF00);
  const std::vector<uint8_t> creation = build(CreateObject{12, 1, 900, saveRecord(*rect)});

  // The scroll comes first: changes after it land where the page moved to.
  const std::vector<std::pair<const char*, std::function<void()>>> steps = {
      {"first paint", [] {}},
      {"a scroll",
       [&] {
         SendMessageW(view, WM_VSCROLL, SB_PAGEDOWN, 0);
         SendMessageW(view, WM_HSCROLL, SB_PAGEDOWN, 0);
         ASSERT_NE(shown.scrollPosition(), (Point{0, 0}));
       }},
      {"a peer's new object", [&] { peer(creation); }},
      {"a peer's move", [&] { moveTo(1, first, 300, 220); }},
      {"a peer's colour", [&] { peer(colour); }},
      {"a peer's deletion", [&] { peer(deletion); }},
      {"a background file", [&] { ASSERT_TRUE(board.setBackgroundFile(picture)); }},
      {"a scale", [&] { board.applyScale(5.0f); }},
      {"a page switch", [&] { board.goToPage(2, false); }},
      {"back", [&] { board.goToPage(1, false); }},
      {"a peer's change on the page left, and back to it",
       [&] {
         moveTo(2, other, 40, 40);
         board.goToPage(2, false);
       }},
      {"and back again", [&] { board.goToPage(1, false); }},
  };
  RECT client;
  for (const auto& [what, step] : steps) {
    step();
    GetClientRect(view, &client);
    Surface kept(client.right, client.bottom), full(client.right, client.bottom);
    shown.view().paint(kept.dc(), client);
    plain.paint(full.dc(), client);
    int differing = 0;
    for (int y = 0; y < client.bottom; ++y) {
      for (int x = 0; x < client.right; ++x) differing += kept.at(x, y) != full.at(x, y);
    }
    EXPECT_EQ(differing, 0) << "after " << what;
  }
  DeleteFileA(picture.c_str());
}

}  // namespace
}  // namespace scribly
