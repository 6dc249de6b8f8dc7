#pragma once
// What the benchmark programs share: their machine-readable lines, which
// scripts/bench gathers into one table beside the programs' own prose,
//   figure<TAB>what<TAB>value<TAB>unit<TAB>baseline or ratio
// and the clocks and statistics behind them. The baseline is what the figure
// is read against: a figure of the same run (with the ratio), or the goal it
// is held to when no run-local one exists.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <vector>

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

// Seconds of processor time this program used: on a shared machine the clock
// on the wall also counts the time others took, the processor time far less.
// (The Windows runtime's clock() is the wall clock; only native programs use it.)
inline double processorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// The time since it was made, on the clock.
class Stopwatch {
 public:
  double seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }
  double ms() const { return 1e3 * seconds(); }
  double us() const { return 1e6 * seconds(); }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The same and the processor time since; apart, so that a microsecond
// interval on the clock holds no call of the processor clock.
class ProcessorStopwatch : public Stopwatch {
 public:
  double processor() const { return processorSeconds() - processorStart_; }

 private:
  double processorStart_ = processorSeconds();
};

// Milliseconds per call of `work(i)` over `calls` calls in a row.
template <class Work>
double msPerCall(int calls, Work work) {
  const Stopwatch clock;
  for (int i = 0; i < calls; ++i) work(i);
  return clock.ms() / calls;
}

// The value `percent` of the way up `values`, which it sorts (50: the median).
inline double percentile(std::vector<double>& values, size_t percent) {
  std::sort(values.begin(), values.end());
  return values[values.size() * percent / 100];
}

#ifdef _WIN32
#include <string>

#include "docprint/doc_printer_win.h"
#include "tests/support/win_test_support.h"
#include "win/folders.h"
#include "win/module.h"

namespace scribly {

// A folder of this run's own in the temporary folder, made.
inline std::string benchFolder(const std::string& name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = temp + name + "-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// docprint.dll beside the program, reporting to a message-only window.
class BenchPrinter {
 public:
  BenchPrinter() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
      if (message == kPrintFinishedMessage) reported_ = wParam, result_ = lParam;
      return DefWindowProcW(window, message, wParam, lParam);
    };
    windowClass.lpszClassName = L"ScriblyBenchPrinter";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, nullptr, nullptr);
    HMODULE module = LoadLibraryW(besideSelf(kDocPrintModule).c_str());
    const auto create = module ? reinterpret_cast<CreateDocPrintFunction>(reinterpret_cast<void*>(
                                     GetProcAddress(module, kCreateDocPrintName)))
                               : nullptr;
    printer_ = create ? create() : nullptr;
    if (printer_) printer_->setNotifyWindow(window_, kPrintFinishedMessage);
  }
  ~BenchPrinter() {
    if (printer_) printer_->release();
    DestroyWindow(window_);
  }
  BenchPrinter(const BenchPrinter&) = delete;
  BenchPrinter& operator=(const BenchPrinter&) = delete;
  explicit operator bool() const { return printer_ != nullptr; }

  // The seconds from the call until the report of printing `path` into
  // `folder`; -1 when it did not start, -2 when it failed.
  double print(const std::string& path, const std::string& folder, int32_t quality) {
    if (!printer_) return -1;
    printer_->setOutputFolder(folder.c_str());
    printer_->setQuality(quality);
    reported_ = 0;
    const Stopwatch clock;
    if (!printer_->printDocument(path.c_str())) return -1;
    if (!pumpUntil([&] { return reported_ == printer_->jobNumber(); }, "the print", 120000) ||
        result_ != kPrintSucceeded)
      return -2;
    return clock.seconds();
  }

 private:
  static inline WPARAM reported_ = 0;
  static inline LPARAM result_ = 0;
  HWND window_ = nullptr;
  DocPrinter* printer_ = nullptr;
};

}  // namespace scribly
#endif
