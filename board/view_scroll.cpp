#include "board/view_scroll.h"

#include <algorithm>

namespace scribly {
namespace {

int index(ScrollBar bar) { return bar == ScrollBar::Vertical ? 1 : 0; }

}  // namespace

void ViewScroll::fitRanges(Size client) {
  // A bar that appears or goes changes the client size, and the view tells
  // that while the range is being set: a few rounds settle it.
  if (fitting_ > 2) return;
  ++fitting_;
  const Size page = board_.pageSize();
  fittedPage_ = page;
  fitBar(ScrollBar::Vertical, page.height, client.height);
  fitBar(ScrollBar::Horizontal, page.width, client.width);
  --fitting_;
}

void ViewScroll::fitBar(ScrollBar bar, int32_t pageSide, int32_t clientSide) {
  BoardView& view = board_.view();
  const auto info = view.scrollInfo(bar);
  if (!info || clientSide < 0) return;
  // The system's bar stops a page size short of its maximum: the range
  // reaches that much further, so that the last position shows the page's
  // last pixel. A view larger than the page has nothing to scroll; the bar goes.
  const int32_t pageSize = clientSide / 10;
  const int32_t last = std::max(0, pageSide - clientSide);
  view.setScrollRange(bar, 0, last + std::max(0, pageSize - 1), static_cast<uint32_t>(pageSize));
  const int32_t wanted =
      info->position + clientSide > pageSide ? std::max(0, pageSide - clientSide) : info->position;
  // The offset follows wherever the bar ends up, the system's clamp included.
  const int32_t shown = -board_.scrollOffset(bar);
  if (const auto now = board_.scrollTo(bar, wanted); now && *now != shown) view.invalidateAll(true);
}

void ViewScroll::scroll(ScrollBar bar, ScrollRequest request, bool toStart) {
  const auto info = board_.view().scrollInfo(bar);
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
  const auto now = board_.scrollTo(bar, position);
  if (now && *now != info->position) movedHere_[index(bar)] = *now;
}

void ViewScroll::toStart() {
  scroll(ScrollBar::Vertical, ScrollRequest::Track, true);
  scroll(ScrollBar::Horizontal, ScrollRequest::Track, true);
}

void ViewScroll::tick(uint32_t now) {
  if (board_.pageSize() != fittedPage_) {
    if (const auto client = board_.view().clientSize()) fitRanges(*client);
  }
  // Unsigned difference: the count wraps after 49 days.
  if (checked_ && now - lastCheck_ < kBroadcastMilliseconds) return;
  for (ScrollBar bar : {ScrollBar::Vertical, ScrollBar::Horizontal}) {
    const int i = index(bar);
    const int32_t position = -board_.scrollOffset(bar);
    if (position == lastSent_[i]) continue;
    // A position a peer's message set is remembered unsent: sending it back
    // would pull a peer who scrolled on meanwhile back to where it was.
    if (movedHere_[i] == position) board_.sendScrollPosition(bar, position);
    lastSent_[i] = position;
  }
  lastCheck_ = now;
  checked_ = true;
}

}  // namespace scribly
