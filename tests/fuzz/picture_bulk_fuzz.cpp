// A picture's bulk record from arbitrary bytes, for a picture whose box the
// first four bytes give: the board holds no more than its budget, and no
// single allocation goes far past it (memory_limit.h).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/fuzz/memory_limit.h"
#include "tests/native/board_test_support.h"

using namespace scribly;
using namespace scribly::testing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  BoardOptions options;
  options.maxPictureBytes = kBudget;
  TestBoard board(true, options);
  board->initialize(11, 12);
  ImageObject box;
  box.setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({data[0] | (data[1] & 0x7F) << 8,
                                                              data[2] | (data[3] & 0x7F) << 8}));
  const std::vector<uint8_t> record = saveRecord(box);
  board.receive(CreateObject{14, 1, 700, record});
  board.receive(BulkData{1, 700, std::span<const uint8_t>(data + 4, size - 4)});
  if (board->heldPictureBytes() > kBudget) std::abort();
  // What loaded is kept and reported again as it came.
  const PageObject* entry = board->findPage(1)->findEntry(700);
  const bool shown = static_cast<const ImageObject&>(*entry->object).hasPixels();
  if (shown != !entry->bulk.empty()) std::abort();
  return 0;
}
