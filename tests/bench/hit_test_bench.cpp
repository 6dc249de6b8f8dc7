#include <cstdio>

#include "bench_objects.h"
#include "tests/bench/bench_support.h"
int main() {
  auto page = makePage(nullptr);
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> c(0, 1200);
  const int positions = 20000;
  int hits = 0;
  const double topMost = 1000 * msPerCall(positions, [&](int) {
                           Point p{c(rng), c(rng)};
                           // Top-most first, as a click picks.
                           for (auto it = page.rbegin(); it != page.rend(); ++it)
                             if ((*it)->hitHandle(p) >= 0 || (*it)->hitTest(p)) {
                               ++hits;
                               break;
                             }
                         });
  int full = 0;
  const double all = 1000 * msPerCall(2000, [&](int) {
                       Point p{c(rng), c(rng)};
                       for (auto& o : page) full += o->hitTest(p);
                     });
  printf("first-hit search: %.1f us per pointer position (%d hits of %d)\n", topMost, hits,
         positions);
  printf("all 1000 objects hit-tested: %.1f us per pointer position\n", all);
  printFigure("top-most hit", topMost, "us per position", "all 1000 hit-tested %.1f us, ratio %.2f",
              all, topMost / all);
}
