// The forwarding window procedure: an owner's failure stays on our side of
// the system's call, and what only our own code sends comes only from it.
#include "win/window_proc.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "test_surface.h"
#include "win/messages.h"
#include "win/module.h"

namespace scribly {
namespace {

class Owner {
 public:
  Owner() {
    registerWindowClass(moduleInstance(), L"ScriblyOwnerTest", &forwardingWindowProc<Owner>);
    CreateWindowExW(0, L"ScriblyOwnerTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                    moduleInstance(), this);
  }
  ~Owner() { DestroyWindow(window_); }
  HWND window() const { return window_; }
  int handled = 0;
  int commits = 0;

  // Public: the procedure in the enclosing namespace calls them.
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PLUGIN_TEXT_COMMITTED) ++commits;
    if (msg == WM_SETTEXT) {
      ++handled;
      throw std::runtime_error("owner failed");
    }
    return DefWindowProcW(window_, msg, wParam, lParam);
  }
  HWND window_ = nullptr;
};

// A throwing owner gets the default answer and the window lives on; what only
// our code sends is refused when posted or sent from another thread.
TEST(WindowProc, OwnersFailuresStayInsideAndOnlyOurOwnSendsArrive) {
  QueueWatch watch;
  Owner owner;
  ASSERT_TRUE(IsWindow(owner.window()));
  EXPECT_TRUE(SetWindowTextW(owner.window(), L"first"));
  EXPECT_TRUE(SetWindowTextW(owner.window(), L"second"));
  EXPECT_EQ(owner.handled, 2);
  wchar_t text[16] = {};
  GetWindowTextW(owner.window(), text, 16);
  EXPECT_STREQ(text, L"second");  // the default procedure set it

  PostMessageW(owner.window(), WM_PLUGIN_TEXT_COMMITTED, 0, 0);
  pump();
  std::atomic<bool> done{false};
  std::thread other([&] {
    SendMessageW(owner.window(), WM_PLUGIN_TEXT_COMMITTED, 0, 0);
    done = true;
  });
  pumpUntil([&] { return done.load(); }, "the other thread's send");
  other.join();
  EXPECT_EQ(owner.commits, 0);
  SendMessageW(owner.window(), WM_PLUGIN_TEXT_COMMITTED, 0, 0);
  EXPECT_EQ(owner.commits, 1);
}

}  // namespace
}  // namespace scribly
