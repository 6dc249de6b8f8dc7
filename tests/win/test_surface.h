#pragma once
// What the Win32 layer's tests draw into and count with, beside what all
// Windows tests share.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skin/skin_bridge_win.h"
#include "tests/support/win_test_support.h"
#include "tests/win/process_counts.h"
#include "win/dib.h"
#include "win/handles.h"
#include "win/module.h"

namespace scribly {

// A top-down 32-bit surface whose pixels read back as COLORREFs.
class Surface {
 public:
  Surface(int w, int h, COLORREF fill = RGB(255, 255, 255))
      : w_(w), h_(h), dc_(nullptr), bitmap_(makeDib(w, h, bits_)), selected_(dc(), bitmap_.get()) {
    for (int i = 0; i < w * h; ++i) bits_[i] = toPixel(fill);
  }
  HDC dc() const { return dc_.get(); }
  COLORREF at(int x, int y) const {
    GdiFlush();
    const uint32_t p = bits_[y * w_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  int count(COLORREF c, RECT r) const {
    int n = 0;
    for (int y = std::max(0L, r.top); y < std::min<LONG>(h_, r.bottom); ++y) {
      for (int x = std::max(0L, r.left); x < std::min<LONG>(w_, r.right); ++x) n += at(x, y) == c;
    }
    return n;
  }
  int count(COLORREF c) const { return count(c, {0, 0, w_, h_}); }

 private:
  static HBITMAP makeDib(int w, int h, uint32_t*& bits) {
    const BITMAPINFO info = dibInfo(w, h, 32, DibRows::TopDown);
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                            nullptr, 0);
  }
  static uint32_t toPixel(COLORREF c) {
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  }
  int w_, h_;
  uint32_t* bits_ = nullptr;
  MemoryDc dc_;
  Bitmap bitmap_;
  ScopedSelect selected_;
};

// The program side of a skin window: each element message is offered to
// `route` first (true when it took it, with its answer); the named commands
// the skin's scripts raise are kept and handed to `onCommand`.
struct RoutingProgram final : SkinProgram {
  struct Command {
    SkinElement* source;
    std::string name, argument;
  };
  std::function<bool(SkinElement&, UINT, WPARAM, LPARAM, LRESULT&)> route;
  std::function<void(std::string_view name, std::string_view argument)> onCommand;
  std::vector<Command> commands;

  LRESULT onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                        bool& handled) override {
    LRESULT result = 0;
    if (route && route(source, message, wParam, lParam, result)) handled = true;
    return result;
  }
  LRESULT onNamedCommand(SkinElement& source, std::string_view name,
                         std::string_view argument) override {
    commands.push_back({&source, std::string(name), std::string(argument)});
    if (onCommand) onCommand(name, argument);
    return 0;
  }
};

// A host's window and the installed skin beside this program; the plug-in's
// main frame built from it on demand.
class SkinHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin_ = SkinSystem::acquire(moduleFolder(), "");
    ASSERT_NE(skin_, nullptr);
  }
  void TearDown() override { frame_.reset(); }
  // The main frame, shown; its elements' messages go to `program`.
  void openFrame(SkinProgram& program) {
    frame_ = skin_->createWindow("scribly main frame", parent_, &program);
    ASSERT_NE(frame_, nullptr) << skin_->log();
    ShowWindow(frame_->window(), SW_SHOW);
    pump();
  }
  HWND element(std::string_view name) {
    SkinElement* found = frame_->find(name);
    return found ? found->window() : nullptr;
  }

  std::shared_ptr<SkinSystem> skin_;
  std::unique_ptr<SkinWindow> frame_;
  HostWindow parent_{1000, 700};  // destroyed before the skin goes
};

}  // namespace scribly
