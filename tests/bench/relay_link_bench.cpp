// The relay link over loopback against a relay that confirms every UP at
// once: the UP -> UPACK round trip of a queued message sent alone (as a board
// sends its queued messages, one at a time), and the rate of plain messages
// sent back to back. Prints figures.
// Run: build/native/tests/relay_link_bench [round trips, default 5000]
#include <cstdio>
#include <cstdlib>

#include "collab/message_header.h"
#include "tests/bench/bench_support.h"
#include "tests/native/fake_relay.h"

using namespace scribly;
using namespace scribly::net;

int main(int argc, char** argv) {
  const int roundTrips = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
  asio::io_context io;
  FakeRelay relay(io);
  relay.answer = [](const Frame& frame) -> std::optional<Frame> {
    if (std::holds_alternative<Hello>(frame)) return Welcome{{}, 1, 0, WelcomeMode::kFresh};
    if (const auto* up = std::get_if<Up>(&frame)) return UpAck{up->seq, isQueued(up->message[0])};
    return std::nullopt;
  };
  uint64_t acks = 0;
  RelayLink link(io, {{relay.address()}, "bench", 1, {1}},
                 {[&](std::span<const uint8_t>) { ++acks; }, nullptr, nullptr});
  link.start();
  if (!runUntil(io, [&] { return link.stats().up; })) {
    std::fprintf(stderr, "the link did not come up\n");
    return 1;
  }

  std::vector<uint8_t> queued(200, 7);
  queued[0] = firstByteOf(MessageCode::kTransferChunk, true);
  std::vector<double> micros;
  for (int i = 0; i < roundTrips; ++i) {
    const uint64_t before = acks;
    const Stopwatch clock;
    link.send(queued);
    if (!runUntil(io, [&] { return acks > before; })) return 1;
    micros.push_back(clock.us());
  }
  printFigure("relay link UP->UPACK p50", percentile(micros, 50), "us", "%d round trips",
              roundTrips);
  printFigure("relay link UP->UPACK p99", percentile(micros, 99), "us", "%d round trips",
              roundTrips);

  const int burst = 50000;
  std::vector<uint8_t> plain(200, 7);
  plain[0] = firstByteOf(MessageCode::kSetPoints);
  const uint64_t last = link.stats().sent + burst;
  const Stopwatch clock;
  for (int i = 0; i < burst; ++i) link.send(plain);
  if (!runUntil(
          io, [&] { return link.stats().confirmed == last; }, std::chrono::seconds{60}))
    return 1;
  printFigure("relay link messages confirmed", burst / clock.seconds(), "msg/s",
              "%d messages of 200 bytes", burst);
  return 0;
}
