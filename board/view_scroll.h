#pragma once
// The view's scroll bars: the offset of what the view shows, ranges that
// follow the page and the view, a person's scroll requests, a peer's
// positions, and the lead's broadcast of its own.
#include <cstdint>
#include <functional>
#include <optional>

#include "board/board_seams.h"
#include "board/page_list.h"

namespace scribly {

// Scroll requests: the low word of the view's scroll messages.
enum class ScrollRequest : uint32_t {
  LineBack = 0,
  LineForward = 1,
  PageBack = 2,
  PageForward = 3,
  ThumbReleased = 4,
  Track = 5,
};

class ViewScroll {
 public:
  // How often at most the lead's positions go out.
  static constexpr uint32_t kBroadcastMilliseconds = 800;
  // Sends a bar's position to the others; false when this board may not.
  using Broadcast = std::function<bool(ScrollBar bar, int32_t position)>;

  // The bars follow `pages`' current page; `clock` times the broadcast (null:
  // a steady clock).
  ViewScroll(BoardView& view, const PageList& pages, Broadcast broadcast, MillisecondClock clock);

  // The view's scroll offset for a bar (the negated position).
  int32_t offset(ScrollBar bar) const;
  // The current page's size (see Page::size); the default side without one.
  Size pageSize() const;
  // Sets both bars for the current page in a view of `client` size: the
  // positions go from 0 to page side - client side, the page size is a tenth
  // of the client side. A position the new range cuts back moves the view
  // with it.
  void fitRanges(Size client);
  // A person's request on a bar; `toStart` turns Track into the start.
  void scroll(ScrollBar bar, ScrollRequest request, bool toStart = false);
  // Both bars to the start (a page chosen with the arrows or the contents).
  void toStart();
  // A peer's position for a bar. A lead with a smaller view reaches positions
  // this bar stops short of: the view goes as far as its bar does.
  void showPeerPosition(ScrollBar bar, int32_t position);
  // Every timer tick: the bars follow a change of the page's size, and a bar
  // sends its changed position when the lead and when the position is the one
  // this person last moved it to (a position a peer's message set is never
  // sent back). A broadcast comes at most once per kBroadcastMilliseconds;
  // the first after a quiet spell goes out at once.
  void tick();

 private:
  void fitBar(ScrollBar bar, int32_t pageSide, int32_t clientSide);
  // Moves a bar to `position` as far as the bar's range allows; the view's
  // contents move with it and the offset follows the position the bar took.
  // Answers that position, or nullopt when the bar cannot be read.
  std::optional<int32_t> moveTo(ScrollBar bar, int32_t position);

  BoardView& view_;
  const PageList& pages_;
  Broadcast broadcast_;
  MillisecondClock clock_;
  // What the view shows, by bar (horizontal, vertical): the negated position.
  int32_t offsets_[2] = {0, 0};
  // Where this person last moved each bar; nullopt until they do.
  std::optional<int32_t> movedHere_[2];
  int32_t lastSent_[2] = {0, 0};
  // When the last broadcast went out; nullopt before the first.
  std::optional<uint32_t> lastBroadcast_;
  Size fittedPage_;
  int fitting_ = 0;
};

}  // namespace scribly
