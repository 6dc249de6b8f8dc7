#include "board/view_scroll.h"

#include <algorithm>
#include <chrono>

namespace scribly {
namespace {

int index(ScrollBar bar) { return bar == ScrollBar::Vertical ? 1 : 0; }

uint32_t steadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

ViewScroll::ViewScroll(BoardView& view, const PageList& pages, Broadcast broadcast,
                       MillisecondClock clock)
    : view_(view),
      pages_(pages),
      broadcast_(std::move(broadcast)),
      clock_(clock ? std::move(clock) : MillisecondClock(steadyMilliseconds)) {}

int32_t ViewScroll::offset(ScrollBar bar) const { return offsets_[index(bar)]; }

Size ViewScroll::pageSize() const {
  if (const Page* page = pages_.current()) return page->size();
  return {static_cast<int32_t>(kDefaultPageSide), static_cast<int32_t>(kDefaultPageSide)};
}

std::optional<int32_t> ViewScroll::moveTo(ScrollBar bar, int32_t position) {
  if (!view_.scrollInfo(bar)) return std::nullopt;
  // The offset is what the view shows, whatever the bar said before.
  const int32_t before = -offset(bar);
  const int32_t now = view_.setScrollPosition(bar, position);
  if (now == before) return now;
  const int32_t delta = before - now;
  if (bar == ScrollBar::Horizontal) {
    view_.scrollContents(delta, 0);
  } else {
    view_.scrollContents(0, delta);
  }
  offsets_[index(bar)] = -now;
  return now;
}

void ViewScroll::fitRanges(Size client) {
  // A bar that appears or goes changes the client size, and the view tells
  // that while the range is being set: a few rounds settle it.
  if (fitting_ > 2) return;
  ++fitting_;
  const Size page = pageSize();
  fittedPage_ = page;
  fitBar(ScrollBar::Vertical, page.height, client.height);
  fitBar(ScrollBar::Horizontal, page.width, client.width);
  --fitting_;
}

void ViewScroll::fitBar(ScrollBar bar, int32_t pageSide, int32_t clientSide) {
  const auto info = view_.scrollInfo(bar);
  if (!info || clientSide < 0) return;
  // The system's bar stops a page size short of its maximum: the range
  // reaches that much further, so that the last position shows the page's
  // last pixel. A view larger than the page has nothing to scroll; the bar goes.
  const int32_t pageSize = clientSide / 10;
  const int32_t last = std::max(0, pageSide - clientSide);
  view_.setScrollRange(bar, 0, last + std::max(0, pageSize - 1), static_cast<uint32_t>(pageSize));
  const int32_t wanted =
      info->position + clientSide > pageSide ? std::max(0, pageSide - clientSide) : info->position;
  // The offset follows wherever the bar ends up, the system's clamp included.
  const int32_t shown = -offset(bar);
  if (const auto now = moveTo(bar, wanted); now && *now != shown) view_.invalidateAll(false);
}

void ViewScroll::scroll(ScrollBar bar, ScrollRequest request, bool toStart) {
  const auto info = view_.scrollInfo(bar);
  if (!info) return;
  int32_t position = info->position;
  switch (request) {
    case ScrollRequest::LineBack:
      position -= 1;
      break;
    case ScrollRequest::LineForward:
      position += 1;
      break;
    case ScrollRequest::PageBack:
      position -= static_cast<int32_t>(info->pageSize);
      break;
    case ScrollRequest::PageForward:
      position += static_cast<int32_t>(info->pageSize);
      break;
    case ScrollRequest::Track:
      position = toStart ? 0 : info->track;
      break;
    default:
      return;
  }
  const auto now = moveTo(bar, position);
  if (now && *now != info->position) movedHere_[index(bar)] = *now;
}

void ViewScroll::toStart() {
  scroll(ScrollBar::Vertical, ScrollRequest::Track, true);
  scroll(ScrollBar::Horizontal, ScrollRequest::Track, true);
}

void ViewScroll::showPeerPosition(ScrollBar bar, int32_t position) {
  const auto info = view_.scrollInfo(bar);
  if (!info || info->pageSize == 0 || position > info->maximum) return;
  if (position == info->position) return;
  if (moveTo(bar, position)) view_.invalidateAll(false);
}

void ViewScroll::tick() {
  if (pageSize() != fittedPage_) {
    if (const auto client = view_.clientSize()) fitRanges(*client);
  }
  const uint32_t now = clock_();
  // Unsigned difference: the count wraps after 49 days.
  if (lastBroadcast_ && now - *lastBroadcast_ < kBroadcastMilliseconds) return;
  for (ScrollBar bar : {ScrollBar::Vertical, ScrollBar::Horizontal}) {
    const int i = index(bar);
    const int32_t position = -offsets_[i];
    if (position == lastSent_[i]) continue;
    // A position a peer's message set is remembered unsent: sending it back
    // would pull a peer who scrolled on meanwhile back to where it was.
    if (movedHere_[i] == position && broadcast_ && broadcast_(bar, position)) lastBroadcast_ = now;
    lastSent_[i] = position;
  }
}

}  // namespace scribly
