#include "board/recording_replay.h"

namespace scribly {

size_t replayRecording(Board& board, std::span<const std::vector<uint8_t>> messages) {
  size_t refused = 0;
  for (const std::vector<uint8_t>& message : messages)
    if (!board.dispatch(message)) ++refused;
  return refused;
}

ReplayBoard::ReplayBoard(BackgroundTemplates templates) {
  BoardOptions options;
  options.templates = std::move(templates);
  options.keepBackgroundEnvelopes = true;
  board_ = std::make_unique<Board>(BoardEnvironment{host_, host_, host_, host_, host_},
                                   std::move(options));
}

}  // namespace scribly
