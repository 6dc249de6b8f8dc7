// Dispatch throughput: 100 000 messages into one board, in two streams.
// "uniform" picks page and object id independently, as this benchmark once
// did: most changes and deletes name no object and cost only a failed lookup.
// "realistic" is what a peer's board sends while a user draws, changes and
// deletes its own live objects, its queue released by one acknowledgement per
// flagged message as the host delivers them. Prints figures only, in
// processor time (see processorSeconds).
#include <cstdio>
#include <cstring>
#include <set>

#include "tests/bench/bench_support.h"
#include "tests/native/board_test_support.h"

using namespace scribly;
using namespace scribly::testing;

namespace {

constexpr size_t kMessages = 100000;

struct Stream {
  std::vector<Bytes> messages;
  size_t bytes = 0;
  size_t flagged = 0;
  size_t aimed = 0;  // changes and deletes
  size_t hit = 0;    // of those, naming an object alive at the time
};

uint8_t drawableKind(std::mt19937& rng) {
  for (;;) {
    const uint8_t kind = kCommittableKinds[rng() % std::size(kCommittableKinds)];
    if (kind != 14) return kind;  // pictures travel as transfers, measured elsewhere
  }
}

Stream uniformStream() {
  Stream s;
  std::mt19937 rng(1);
  std::set<std::pair<uint32_t, uint32_t>> live;
  uint32_t nextId = 1000;
  while (s.messages.size() < kMessages) {
    const uint32_t page = 100 + rng() % 20;
    const int pick = static_cast<int>(rng() % 10);
    if (pick < 4) {
      const uint8_t kind = drawableKind(rng);
      auto object = makeObject(kind, rng, 11);
      live.insert({page, nextId});
      s.messages.push_back(build(CreateObject{kind, page, nextId++, saveRecord(*object)}));
    } else if (pick < 9) {
      const uint32_t id = 1000 + rng() % (nextId - 999);
      ++s.aimed;
      if (pick < 8) {
        s.hit += live.count({page, id});
        s.messages.push_back(build(SetObjectValue{45, page, id, static_cast<uint32_t>(rng())}));
      } else {
        s.hit += live.erase({page, id});
        s.messages.push_back(build(DeleteObject{page, id}));
      }
    } else {
      s.messages.push_back(build(CurrentPage{page}));
    }
    s.messages.back()[0] |= kQueuedFlag;
  }
  return s;
}

Stream realisticStream() {
  Stream s;
  std::mt19937 rng(1);
  TestBoard peer;
  peer->initialize(12, 11);
  std::vector<uint32_t> pages;
  for (int i = 0; i < 20; ++i) pages.push_back(peer->addUserPage());
  std::vector<std::pair<uint32_t, uint32_t>> live;
  size_t taken = 0;
  // Everything the peer sent so far joins the stream; each flagged message is
  // acknowledged, which may release more.
  auto collect = [&] {
    while (taken < peer.host.sent.size()) {
      const Bytes m = peer.host.sent[taken++].bytes;
      s.messages.push_back(m);
      if (isQueued(m[0])) peer.receive(Acknowledgement{}, false);
    }
  };
  collect();
  while (s.messages.size() < kMessages) {
    const uint32_t page = pages[rng() % pages.size()];
    const int pick = static_cast<int>(rng() % 10);
    if (pick < 4 || live.empty()) {
      if (const uint32_t id = peer->commitObject(makeObject(drawableKind(rng), rng, 12), page)) {
        live.push_back({page, id});
      }
    } else if (pick < 8) {
      const auto [p, id] = live[rng() % live.size()];
      ++s.aimed;
      ++s.hit;
      peer->changeObject(p, id, randomObjectChange(rng));
    } else if (pick < 9) {
      const size_t at = rng() % live.size();
      ++s.aimed;
      s.hit += peer->deleteObject(live[at].first, live[at].second);
      live[at] = live.back();
      live.pop_back();
    } else {
      peer->goToPage(page, true);
    }
    collect();
  }
  s.messages.resize(kMessages);
  return s;
}

// Prints the stream's figures; returns millions of messages per second.
double measure(const char* label, Stream s) {
  for (const Bytes& m : s.messages) {
    s.bytes += m.size();
    s.flagged += isQueued(m[0]);
  }
  TestBoard board;
  board->initialize(11, 12);
  // The recording host's own growth is no cost of the board's.
  board.host.sent.reserve(s.flagged + 16);
  const ProcessorStopwatch clock;
  for (const Bytes& m : s.messages) board->dispatch(m);
  const double seconds = clock.processor();
  const double wall = clock.seconds();
  size_t objects = 0;
  for (const auto& p : board->pages()) objects += p->objects().size();
  std::printf(
      "%-10s %zu messages (%zu bytes, %zu flagged) in %.3f s of processor time (%.3f s on the "
      "clock): %.0f messages/s, %.1f MB/s\n",
      label, s.messages.size(), s.bytes, s.flagged, seconds, wall, s.messages.size() / seconds,
      s.bytes / seconds / 1e6);
  std::printf(
      "%-10s %zu of %zu changes and deletes name a live object; %zu acknowledgements "
      "sent; the board holds %zu pages and %zu objects\n",
      "", s.hit, s.aimed, board.host.countSent(MessageCode::kAcknowledgement),
      board->pages().size(), objects);
  return s.messages.size() / seconds / 1e6;
}

}  // namespace

// "dispatch_bench realistic" measures that stream alone (for a profiler).
int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "realistic") == 0) {
    measure("realistic", realisticStream());
    return 0;
  }
  const double uniform = measure("uniform", uniformStream());
  const double realistic = measure("realistic", realisticStream());
  printFigure("uniform page and id", uniform, "M messages/s", "mostly failed lookups");
  printFigure("realistic: a peer's own live objects, acknowledged", realistic, "M messages/s",
              "uniform %.2f, ratio %.2f; goal >= 1.5", uniform, realistic / uniform);
  return 0;
}
