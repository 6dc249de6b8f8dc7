// How long a late joiner takes to catch up a page through the relay server:
// from its first message until nothing moves, in processor time (see
// processorSeconds). Prints figures, and exits non-zero when the joiner ends
// with less than the whole page.
#include <cstdio>
#include <cstdlib>

#include "tests/bench/bench_support.h"
#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

std::unique_ptr<BoardObject> object(std::mt19937& rng, int i, int picturesEvery) {
  auto coord = [&] { return int16_t(rng() % 1100); };
  if (picturesEvery > 0 && i % picturesEvery == 0) {
    auto img = std::make_unique<ImageObject>();
    std::vector<uint8_t> px(64 * 48 * 3);
    for (uint8_t& b : px) b = static_cast<uint8_t>(rng());
    img->attachPixels(std::move(px), 64, 48, {coord(), coord()}, {coord(), coord()});
    return img;
  }
  if (i % 3 == 0) {
    auto pencil = std::make_unique<PencilObject>();
    for (int k = 0; k < 40; ++k) pencil->addPoint({coord(), coord()});
    return pencil;
  }
  auto shape = ObjectFactory().create(i % 2 ? 12 : 11);
  shape->setPoints(PackedPoint::pack({coord(), coord()}), PackedPoint::pack({coord(), coord()}));
  return shape;
}

// True when the joiner caught up the whole page.
bool run(const char* label, int objects, int picturesEvery) {
  InMemoryRelay relay(InMemoryRelay::Mode::Server, 1, 7, {}, RelayServerLimits{});
  std::mt19937 rng(7);
  Board& ann = relay.board(0);
  relay.drain();
  const uint32_t page = ann.addUserPage();
  ann.goToPage(page, true);
  relay.drain();
  int committed = 0;
  for (int i = 0; i < objects; ++i) {
    committed += ann.commitObject(object(rng, i, picturesEvery), page) != 0;
    if (i % 8 == 0) relay.drain();
  }
  relay.drain();

  size_t messages = 0, bytes = 0;
  const uint32_t joiner = InMemoryRelay::userIdOf(1);
  relay.onDeliver = [&](uint32_t, uint32_t to, const Bytes& m) {
    if (to == joiner) {
      ++messages;
      bytes += m.size();
    }
  };
  const ProcessorStopwatch clock;
  TestBoard& late = relay.join();
  relay.drain();
  const double ms = 1000 * clock.processor();
  const double wall = clock.ms();
  const Page* caught = late->findPage(page);
  const size_t got = caught ? caught->objects().size() : 0;
  const bool whole = got == static_cast<size_t>(committed);
  std::printf(
      "%-34s %6zu/%-6d objects %9.1f ms (%.1f ms on the clock) %8zu messages %10.1f KiB to the "
      "joiner%s\n",
      label, got, committed, ms, wall, messages, bytes / 1024.0, whole ? "" : "  INCOMPLETE");
  if (!whole) std::printf("  incomplete: %zu of %d objects caught up\n", got, committed);
  printFigure(label, ms, "ms", "%zu of %d objects, %.1f us per object; goal 100 000 in <= 1 s", got,
              committed, 1000.0 * ms / committed);
  return whole;
}

}  // namespace
}  // namespace scribly::testing

// "relay_bench N" runs only the page of N objects (for a profiler).
int main(int argc, char** argv) {
  using scribly::testing::run;
  if (argc > 1) return run("one page", std::atoi(argv[1]), 0) ? 0 : 1;
  bool whole = run("shapes and strokes", 2000, 0);
  whole &= run("with a picture every 20th object", 2000, 20);
  whole &= run("a page of 20 000 objects", 20000, 0);
  whole &= run("a page of 100 000 objects", 100000, 0);
  return whole ? 0 : 1;
}
