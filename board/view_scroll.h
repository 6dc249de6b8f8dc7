#pragma once
// The view's scroll bars: ranges that follow the page and the view, a
// person's scroll requests, and the lead's broadcast of its positions.
#include <cstdint>
#include <optional>

#include "board/board.h"

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

  explicit ViewScroll(Board& board) : board_(board) {}

  // Sets both bars for the current page in a view of `client` size: the
  // positions go from 0 to page side - client side, the page size is a tenth
  // of the client side. A position the new range cuts back moves the view
  // with it.
  void fitRanges(Size client);
  // A person's request on a bar; `toStart` turns Track into the start.
  void scroll(ScrollBar bar, ScrollRequest request, bool toStart = false);
  // Both bars to the start (a page chosen with the arrows or the contents).
  void toStart();
  // Every timer tick, with the system's millisecond count: the bars follow a
  // change of the page's size, and at most once per kBroadcastMilliseconds a
  // bar sends its changed position, when the lead and when the position is
  // the one this person last moved it to (a position a peer's message set is
  // never sent back).
  void tick(uint32_t nowMilliseconds);

 private:
  void fitBar(ScrollBar bar, int32_t pageSide, int32_t clientSide);

  Board& board_;
  // Where this person last moved each bar; nullopt until they do.
  std::optional<int32_t> movedHere_[2];
  int32_t lastSent_[2] = {0, 0};
  uint32_t lastCheck_ = 0;
  bool checked_ = false;
  Size fittedPage_;
  int fitting_ = 0;
};

}  // namespace scribly
