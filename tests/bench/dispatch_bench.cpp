// Dispatch throughput: 100 000 mixed messages into one board. Prints figures.
#include <chrono>
#include <cstdio>

#include "tests/native/board_test_support.h"

using namespace scribly;
using namespace scribly::testing;

int main() {
  TestBoard board;
  board->initialize(11, 12);
  std::mt19937 rng(1);
  std::vector<Bytes> messages;
  messages.reserve(100000);
  size_t bytes = 0;
  uint32_t nextId = 1000;
  for (int i = 0; messages.size() < 100000; ++i) {
    const uint32_t page = 100 + rng() % 20;
    const int pick = static_cast<int>(rng() % 10);
    if (pick < 4) {
      const uint8_t kind = kCommittableKinds[rng() % std::size(kCommittableKinds)];
      if (kind == 14) continue;
      auto object = makeObject(kind, rng, 11);
      messages.push_back(build(CreateObject{kind, page, nextId++, saveRecord(*object)}));
    } else if (pick < 8) {
      const uint32_t id = 1000 + rng() % (nextId - 999);
      messages.push_back(build(SetObjectValue{45, page, id, static_cast<uint32_t>(rng())}));
    } else if (pick < 9) {
      messages.push_back(
          build(DeleteObject{page, static_cast<uint32_t>(1000 + rng() % (nextId - 999))}));
    } else {
      messages.push_back(build(CurrentPage{page}));
    }
    messages.back()[0] |= kQueuedFlag;
    bytes += messages.back().size();
  }
  const auto start = std::chrono::steady_clock::now();
  for (const Bytes& m : messages) board->Dispatch(m);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  size_t objects = 0;
  for (const auto& p : board->pages()) objects += p->objects().size();
  std::printf("dispatched %zu messages (%zu bytes) in %.3f s: %.0f messages/s, %.1f MB/s\n",
              messages.size(), bytes, seconds, messages.size() / seconds,
              bytes / seconds / 1e6);
  std::printf("board holds %zu pages and %zu objects\n", board->pages().size(), objects);
  return 0;
}
