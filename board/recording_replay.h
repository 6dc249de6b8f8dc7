#pragma once
// A recording played back into a board: each message dispatched as a peer's
// would be, so that a fresh board ends holding what the recorded participant
// held when its recording stopped.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "board/board.h"
#include "board/silent_surroundings.h"

namespace scribly {

// Dispatches the messages in order; returns how many the board refused.
// The board must start fresh, with the templates the recorded participant had:
// a page takes the creation template without a message saying so. A board
// whose files seam keeps nothing needs `keepBackgroundEnvelopes`, or its pages
// lose the backgrounds they receive.
size_t replayRecording(Board& board, std::span<const std::vector<uint8_t>> messages);

// A board for a replay that nobody watches: no view, no files (its pages keep
// the background envelopes), no conference. Drawing its backgrounds needs a
// board with files and a picture decoder instead.
class ReplayBoard {
 public:
  explicit ReplayBoard(BackgroundTemplates templates = {});
  Board& operator*() { return *board_; }
  Board* operator->() { return board_.get(); }

 private:
  SilentHost host_;
  std::unique_ptr<Board> board_;
};

}  // namespace scribly
