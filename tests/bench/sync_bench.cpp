// A server-mode conference of 50 and of 200 boards, each running the same
// number of random operations with deliveries interleaved as in the sync
// tests, until every message has arrived. Every operation reaches every
// board, so the work is boards x operations: prints the time per board and
// operation for both sizes and their ratio, which stays near 1 while the cost
// is linear. Times are processor time (see processorSeconds). "sync_bench N" runs N operations (20
// 000 by default); "sync_bench N B" runs only the conference of B boards (for a profiler).
#include <cstdio>
#include <cstdlib>

#include "tests/bench/bench_support.h"
#include "tests/native/board_test_support.h"

using namespace scribly::testing;

namespace {

// Microseconds per board and operation; 0 when the messages never settle.
double run(size_t boards, int operations) {
  InMemoryRelay relay(InMemoryRelay::Mode::Server, boards, 5, withTemplates());
  if (!relay.drain()) return 0;
  const ProcessorStopwatch clock;
  RandomOperations ops(relay);
  ops.addOwnPages(1);
  for (int i = 0; i < operations; ++i) {
    ops.step();
    const int deliveries = static_cast<int>(relay.rng()() % 6);
    for (int d = 0; d < deliveries && relay.deliverOne(); ++d) {
    }
  }
  if (!relay.drain()) return 0;
  const double seconds = clock.seconds();
  const double processor = clock.processor();
  std::printf("%3zu boards, %d operations: %.2f s (%.2f s of processor time)\n", boards, operations,
              seconds, processor);
  return processor * 1e6 / (static_cast<double>(boards) * operations);
}

}  // namespace

int main(int argc, char** argv) {
  const int operations = argc > 1 ? std::atoi(argv[1]) : 20000;
  if (argc > 2) return run(static_cast<size_t>(std::atoi(argv[2])), operations) == 0;
  const double small = run(50, operations);
  const double large = run(200, operations);
  if (small == 0 || large == 0) {
    std::printf("the conference never settled\n");
    return 1;
  }
  printFigure("50 boards", small, "us per board and operation", "%d operations", operations);
  printFigure("200 boards", large, "us per board and operation",
              "50 boards %.2f us, ratio %.2f; goal: linear (ratio near 1)", small, large / small);
  return 0;
}
