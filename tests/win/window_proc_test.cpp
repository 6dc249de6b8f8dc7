// The forwarding window procedure: an owner's failure stays on our side of
// the system's call.
#include "win/window_proc.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>

#include "win/module.h"

namespace scribly {
namespace {

class Throwing {
 public:
  Throwing() {
    registerWindowClass(moduleInstance(), L"ScriblyThrowingTest", &forwardingWindowProc<Throwing>);
    CreateWindowExW(0, L"ScriblyThrowingTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                    moduleInstance(), this);
  }
  ~Throwing() { DestroyWindow(window_); }
  HWND window() const { return window_; }
  int handled = 0;

  // Public: the procedure in the enclosing namespace calls them.
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETTEXT) {
      ++handled;
      throw std::runtime_error("owner failed");
    }
    return DefWindowProcW(window_, msg, wParam, lParam);
  }
  HWND window_ = nullptr;
};

TEST(WindowProc, AThrowingOwnerGetsTheDefaultAnswerAndTheWindowLivesOn) {
  Throwing owner;
  ASSERT_TRUE(IsWindow(owner.window()));
  EXPECT_TRUE(SetWindowTextW(owner.window(), L"first"));
  EXPECT_TRUE(SetWindowTextW(owner.window(), L"second"));
  EXPECT_EQ(owner.handled, 2);
  wchar_t text[16] = {};
  GetWindowTextW(owner.window(), text, 16);
  EXPECT_STREQ(text, L"second");  // the default procedure set it
}

}  // namespace
}  // namespace scribly
