#include <chrono>
#include <cstdio>

#include "bench_objects.h"
#include "tests/bench/bench_figure.h"
int main() {
  auto page = makePage(nullptr);
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> c(0, 1200);
  const int positions = 20000;
  int hits = 0;
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < positions; ++i) {
    Point p{c(rng), c(rng)};
    // Top-most first, as a click picks.
    for (auto it = page.rbegin(); it != page.rend(); ++it)
      if ((*it)->hitHandle(p) >= 0 || (*it)->hitTest(p)) {
        ++hits;
        break;
      }
  }
  auto us =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
  int full = 0;
  auto t1 = std::chrono::steady_clock::now();
  for (int i = 0; i < 2000; ++i) {
    Point p{c(rng), c(rng)};
    for (auto& o : page) full += o->hitTest(p);
  }
  auto us2 =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t1).count();
  printf("first-hit search: %.1f us per pointer position (%d hits of %d)\n", us / positions, hits,
         positions);
  printf("all 1000 objects hit-tested: %.1f us per pointer position\n", us2 / 2000);
  printFigure("top-most hit", us / positions, "us per position",
              "all 1000 hit-tested %.1f us, ratio %.2f", us2 / 2000,
              (us / positions) / (us2 / 2000));
}
