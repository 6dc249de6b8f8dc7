// The view's scroll bars: ranges from the page and the view, a person's
// requests moving the view and the offsets, the lead's broadcast at most
// every 800 ms on the board's clock, and a peer's positions the bar cannot
// reach.
#include "board/view_scroll.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

struct ScrollBoard : JoinedBoard {
  ViewScroll& scroll = board->scroll();
  ScrollBoard() {
    view.bars[0] = ScrollInfo{};
    view.bars[1] = ScrollInfo{};
    view.client = Size{800, 600};
    scroll.fitRanges(*view.client);
  }
  const ScrollInfo& bar(ScrollBar b) { return *view.bars[static_cast<int>(b)]; }
  // The last position the system's bar takes.
  int32_t reach(ScrollBar b) {
    return std::max(0, bar(b).maximum - std::max(int32_t(bar(b).pageSize) - 1, 0));
  }
};

TEST(ViewScroll, RangesFollowThePageAndTheViewWithinATickAndCutThePositionBack) {
  ScrollBoard b;
  EXPECT_EQ(b.bar(ScrollBar::Vertical).pageSize, 60u);
  EXPECT_EQ(b.bar(ScrollBar::Horizontal).pageSize, 80u);

  // Every pixel of the page can be reached: the last position shows the
  // page's last row at the view's bottom.
  for (int i = 0; i < 11; ++i) b.scroll.scroll(ScrollBar::Vertical, ScrollRequest::PageForward);
  EXPECT_EQ(b->scrollOffset(ScrollBar::Vertical), -600);
  for (int i = 0; i < 6; ++i) b.scroll.scroll(ScrollBar::Horizontal, ScrollRequest::PageForward);
  EXPECT_EQ(b->scrollOffset(ScrollBar::Horizontal), -400);
  b.view.scrolled.clear();
  // A taller view shortens the range; the view moves back with the bar.
  b.view.client = Size{800, 1000};
  b.scroll.fitRanges(*b.view.client);
  EXPECT_EQ(b->scrollOffset(ScrollBar::Vertical), -200);
  EXPECT_EQ(b.view.scrolled, (std::vector<std::pair<int32_t, int32_t>>{{0, 400}}));
  // A view larger than the page has nothing to scroll.
  b.view.client = Size{1500, 1300};
  b.scroll.fitRanges(*b.view.client);
  EXPECT_EQ(b.reach(ScrollBar::Horizontal), 0);
  EXPECT_EQ(b->scrollOffset(ScrollBar::Vertical), 0);
  EXPECT_EQ(b->scrollOffset(ScrollBar::Horizontal), 0);

  // A larger page reaches the bars within a tick; an ordinary resize keeps it.
  b.decoder.height = 900;
  b.files.files["C:\\wide.bmp"] = Bytes(2000, 1);
  ASSERT_TRUE(b->setBackgroundFile("C:\\wide.bmp"));
  b.scroll.tick();
  EXPECT_EQ(b.reach(ScrollBar::Horizontal), 500);
  EXPECT_EQ(b.reach(ScrollBar::Vertical), 0);
  b.scroll.fitRanges(Size{1000, 600});
  EXPECT_EQ(b.reach(ScrollBar::Horizontal), 1000);
  EXPECT_EQ(b.reach(ScrollBar::Vertical), 600);
}

TEST(ViewScroll, RequestsMoveByLinePageOrThumbAndAPeersPositionAsFarAsTheBarGoes) {
  ScrollBoard b;
  const ScrollBar v = ScrollBar::Vertical;
  b.scroll.scroll(v, ScrollRequest::PageForward);
  EXPECT_EQ(b.bar(v).position, 60);
  b.scroll.scroll(v, ScrollRequest::LineForward);
  b.scroll.scroll(v, ScrollRequest::LineForward);
  b.scroll.scroll(v, ScrollRequest::LineBack);
  EXPECT_EQ(b.bar(v).position, 61);
  b.view.bars[1]->track = 300;
  b.scroll.scroll(v, ScrollRequest::ThumbReleased);
  EXPECT_EQ(b.bar(v).position, 61);
  b.scroll.scroll(v, ScrollRequest::Track);
  EXPECT_EQ(b->scrollOffset(v), -300);
  b.scroll.scroll(v, ScrollRequest::PageBack);
  EXPECT_EQ(b->scrollOffset(v), -240);
  EXPECT_EQ(b.view.scrolled, (std::vector<std::pair<int32_t, int32_t>>{
                                 {0, -60}, {0, -1}, {0, -1}, {0, 1}, {0, -239}, {0, 60}}));
  b.scroll.scroll(ScrollBar::Horizontal, ScrollRequest::LineForward);
  b.scroll.toStart();
  EXPECT_EQ(b->scrollOffset(v), 0);
  EXPECT_EQ(b->scrollOffset(ScrollBar::Horizontal), 0);

  // A peer's position past this bar's end moves the view as far as the bar goes.
  b.view.scrolled.clear();
  // Past the range, or on a bar without a page size, it moves nothing.
  b.receive(Scroll{1, uint16_t(b.bar(ScrollBar::Vertical).maximum + 1)});
  b.view.bars[0]->pageSize = 0;
  b.receive(Scroll{0, 10});
  EXPECT_TRUE(b.view.scrolled.empty());
  ASSERT_TRUE(b.receive(Scroll{1, 650}));
  EXPECT_EQ(b.bar(ScrollBar::Vertical).position, 600);
  EXPECT_EQ(b->scrollOffset(ScrollBar::Vertical), -600);
  EXPECT_EQ(b.view.scrolled.back(), (std::pair<int32_t, int32_t>{0, -600}));
}

TEST(ViewScroll, TheLeadSendsEachBarItMovedAtMostOncePer800Milliseconds) {
  ScrollBoard b;
  // The clock's count wraps on the way.
  b.now = 0xFFFFFF00;
  b.scroll.tick();
  // The first position after a quiet spell goes out at the next tick.
  b.scroll.scroll(ScrollBar::Vertical, ScrollRequest::PageForward);
  b.now += 10;
  b.scroll.tick();
  auto sent = b.sentOf<Scroll>();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].position, 60);
  b.host.sent.clear();
  b.scroll.scroll(ScrollBar::Vertical, ScrollRequest::PageForward);
  b.scroll.scroll(ScrollBar::Horizontal, ScrollRequest::PageForward);
  b.now += 799;
  b.scroll.tick();
  EXPECT_TRUE(b.sentOf<Scroll>().empty());
  b.now += 1;
  b.scroll.tick();
  b.now += 10;
  b.scroll.tick();
  sent = b.sentOf<Scroll>();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].bar, 1);
  EXPECT_EQ(sent[0].position, 120);
  EXPECT_EQ(sent[1].bar, 0);
  EXPECT_EQ(sent[1].position, 80);

  // A peer's position is remembered, never sent back.
  b.host.sent.clear();
  b.receive(Scroll{1, 300});
  b.now += 800;
  b.scroll.tick();
  EXPECT_TRUE(b.sentOf<Scroll>().empty());

  // Without the lead nothing goes out.
  b->setPrivilegeWord(0);
  b.scroll.scroll(ScrollBar::Vertical, ScrollRequest::PageBack);
  b.now += 800;
  b.scroll.tick();
  EXPECT_TRUE(b.sentOf<Scroll>().empty());
}

}  // namespace
}  // namespace scribly::testing
