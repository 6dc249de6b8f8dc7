#pragma once
// The benchmarks' machine-readable lines, which scripts/bench gathers into one
// table beside the programs' own prose:
//   figure<TAB>what<TAB>value<TAB>unit<TAB>baseline or ratio
// The baseline is what the figure is read against: a figure of the same run
// (with the ratio), or the goal it is held to when no run-local one exists.
#include <cstdarg>
#include <cstdio>

// gnu_printf: mingw checks a plain printf format against the Microsoft runtime's.
[[gnu::format(gnu_printf, 4, 5)]] inline void printFigure(const char* what, double value,
                                                          const char* unit, const char* baseline,
                                                          ...) {
  char text[256];
  va_list args;
  va_start(args, baseline);
  std::vsnprintf(text, sizeof text, baseline, args);
  va_end(args);
  std::printf("figure\t%s\t%.4g\t%s\t%s\n", what, value, unit, text);
  std::fflush(stdout);
}

#include <ctime>
// Seconds of processor time this program used: on a shared machine the clock
// on the wall also counts the time others took, the processor time far less.
// (The Windows runtime's clock() is the wall clock; only native programs use it.)
inline double processorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }
