// Arbitrary message sequences into a board, in both conference shapes: no
// crash, no leak, the transfer table and the queue stay within their caps, and
// the board's content report rebuilds the same board in a fresh one.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/native/board_test_support.h"

using namespace scribly;
using namespace scribly::testing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  BoardOptions options = withTemplates();
  options.transferLimits = TransferLimits{1 << 20, 4 << 20, 8};
  options.maxPages = 64;
  options.maxObjectsPerPage = 256;
  options.maxQueuedReplies = 64;
  TestBoard board((data[0] & 1) != 0, options);
  board->initialize(11, 12);
  board.info.infos[5] = userInfoXml("Ann");
  // Each message: u16 length, then that many bytes.
  size_t offset = 1;
  while (offset + 2 <= size) {
    const size_t length = data[offset] | (size_t{data[offset + 1]} << 8);
    offset += 2;
    const size_t n = length < size - offset ? length : size - offset;
    board->dispatch(std::span<const uint8_t>(data + offset, n));
    offset += n;
    if (board->transfers().announcedBytes() > options.transferLimits.maxOpenBytes ||
        board->transfers().size() > options.transferLimits.maxOpenTransfers ||
        board->pages().size() > options.maxPages ||
        board->sendQueue().waiting(1) > options.maxQueuedReplies + 8) {
      std::abort();
    }
  }
  // Whatever the messages built, the board's report rebuilds it in a fresh one.
  TestBoard replay(true, options);
  for (const auto& m : board->contentReport()) replay->dispatch(m);
  const std::string difference =
      firstDifference(BoardSnapshot::of(board), BoardSnapshot::of(replay));
  if (!difference.empty()) {
    std::fprintf(stderr, "the report does not rebuild the board: %s\n", difference.c_str());
    std::abort();
  }
  if (replay->currentPageId() != board->currentPageId()) std::abort();
  return 0;
}
