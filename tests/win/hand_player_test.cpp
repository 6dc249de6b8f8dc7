// The simulated hand: real input through the system's queue lands on the
// window the session names, at the point it names, and a name nobody answers
// stops the session at its line.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/hand_player_win.h"
#include "tests/support/win_test_support.h"
#include "win/messages.h"
#include "win/module.h"
#include "win/window_proc.h"

namespace scribly {
namespace {

// A window that answers the engine's name message and records its input.
class NamedWindow {
 public:
  struct Event {
    UINT msg;
    int x, y;
    WPARAM wParam;
  };

  NamedWindow(const char* name, DWORD style, HWND parent, int x, int y, int w, int h)
      : name_(name) {
    registerWindowClass(moduleInstance(), L"ScriblyHandTestWindow",
                        &forwardingWindowProc<NamedWindow>);
    CreateWindowExW(0, L"ScriblyHandTestWindow", L"", style, x, y, w, h, parent, nullptr,
                    moduleInstance(), this);
  }
  ~NamedWindow() {
    if (window_) DestroyWindow(window_);
  }
  HWND window() const { return window_; }
  std::vector<Event> events;

  size_t count(UINT msg) const {
    size_t n = 0;
    for (const Event& e : events) n += e.msg == msg;
    return n;
  }
  // Where the `nth` message `msg` came; (-1, -1) when it did not come.
  std::pair<int, int> at(UINT msg, size_t nth = 0) const {
    for (const Event& e : events)
      if (e.msg == msg && nth-- == 0) return {e.x, e.y};
    return {-1, -1};
  }
  // The word of every message `msg`, as characters.
  std::wstring words(UINT msg) const {
    std::wstring out;
    for (const Event& e : events)
      if (e.msg == msg) out += static_cast<wchar_t>(e.wParam);
    return out;
  }

  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
      case WM_SKIN_GET_NAME:
        if (lParam <= 0 || std::strlen(name_) >= static_cast<size_t>(lParam)) return 1;
        std::strcpy(reinterpret_cast<char*>(wParam), name_);
        return 0;
      case WM_MOUSEMOVE:
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_RBUTTONDOWN:
      case WM_RBUTTONUP:
        events.push_back(
            {msg, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), wParam});
        if (msg == WM_LBUTTONDOWN) SetCapture(window_);
        if (msg == WM_LBUTTONUP) ReleaseCapture();
        return 0;
      case WM_KEYDOWN:
      case WM_CHAR:
        events.push_back({msg, 0, 0, wParam});
        return 0;
    }
    return DefWindowProcW(window_, msg, wParam, lParam);
  }
  HWND window_ = nullptr;

 private:
  const char* name_;
};

class HandPlayerTest : public ::testing::Test {
 protected:
  NamedWindow frame{"frame", WS_POPUP | WS_VISIBLE, nullptr, 60, 60, 400, 300};
  NamedWindow pad{"pad", WS_CHILD | WS_VISIBLE, frame.window(), 20, 30, 200, 150};
  NamedWindow hidden{"hidden", WS_CHILD, frame.window(), 240, 30, 100, 100};
  NamedWindow popup{"popup panel", WS_POPUP | WS_VISIBLE, frame.window(), 600, 80, 120, 90};
  NamedWindow cell{"popup cell", WS_CHILD | WS_VISIBLE, popup.window(), 10, 10, 60, 40};
  HandPlayer player;

  // Plays `text` to the end; the session's error, empty when it all played.
  std::string play(const char* text) {
    const HandSession session = parseHandSession(text);
    EXPECT_TRUE(session.ok()) << session.error;
    bool done = false;
    std::string error;
    EXPECT_TRUE(player.start(session, frame.window(), {frame.window()}, [&](const std::string& e) {
      done = true;
      error = e;
    }));
    pumpUntil([&] { return done; }, "the session to end");
    return error;
  }
};

TEST_F(HandPlayerTest, ClicksDragsKeysAndTextLandWhereTheSessionSays) {
  ASSERT_EQ(play("click pad 10 20\n"
                 "rclick pad\n"
                 "drag pad 5 5 105 55 4\n"
                 "key pad 0x54\n"
                 "type h\xC3\xA9\n"
                 "click \"popup cell\" 3 4\n"),
            "");
  using At = std::pair<int, int>;
  EXPECT_EQ(pad.at(WM_LBUTTONDOWN), (At{10, 20}));
  EXPECT_EQ(pad.at(WM_RBUTTONDOWN), (At{100, 75}));  // the centre of 200 x 150
  EXPECT_EQ(pad.count(WM_RBUTTONUP), 1u);

  // The drag: pressed at its start, moved with the button held, released at its end.
  ASSERT_EQ(pad.count(WM_LBUTTONDOWN), 2u);
  ASSERT_EQ(pad.count(WM_LBUTTONUP), 2u);
  EXPECT_EQ(pad.at(WM_LBUTTONDOWN, 1), (At{5, 5}));
  EXPECT_EQ(pad.at(WM_LBUTTONUP, 1), (At{105, 55}));
  size_t downs = 0, heldMoves = 0;
  for (const auto& e : pad.events) {
    if (e.msg == WM_LBUTTONUP && downs == 2) break;
    downs += e.msg == WM_LBUTTONDOWN;
    heldMoves += downs == 2 && e.msg == WM_MOUSEMOVE && (e.wParam & MK_LBUTTON);
  }
  EXPECT_GE(heldMoves, 3u);

  EXPECT_EQ(pad.words(WM_KEYDOWN).substr(0, 1), L"\x54");
  EXPECT_EQ(pad.words(WM_CHAR), L"th\u00E9");  // the pressed key makes its character too

  // The pop-up is found among the thread's top-level windows, and the real
  // cursor is where the last click was.
  EXPECT_EQ(cell.at(WM_LBUTTONDOWN), (At{3, 4}));
  POINT cursor, expected = {3, 4};
  GetCursorPos(&cursor);
  ClientToScreen(cell.window(), &expected);
  EXPECT_EQ(cursor.x, expected.x);
  EXPECT_EQ(cursor.y, expected.y);
}

TEST_F(HandPlayerTest, AMissingOrHiddenElementStopsTheSessionAtItsLine) {
  EXPECT_EQ(play("click pad\nclick hidden\nclick pad\n"),
            "line 2: no visible element \"hidden\" for participant 1");
  EXPECT_EQ(pad.count(WM_LBUTTONUP), 1u);  // the third line never played
  EXPECT_EQ(play("# the second participant\nas 2\nclick pad\n"),
            "line 3: participant 2 has no plug-in window");
  EXPECT_EQ(pad.count(WM_LBUTTONUP), 1u);
  EXPECT_FALSE(player.playing());
}

}  // namespace
}  // namespace scribly
