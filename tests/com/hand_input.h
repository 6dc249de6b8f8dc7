#pragma once
// A hand's real input for the interface tests: the pointer moves over the
// screen and the buttons and keys go through the system's input queue to
// whatever window is there, as the host's hand player sends them.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "com_test_support.h"
#include "win/thread_windows.h"

namespace scribly::test {

// Moves the pointer as a mouse does: an absolute move over the virtual screen.
inline void moveTo(POINT screen) {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = std::max(GetSystemMetrics(SM_CXVIRTUALSCREEN), 2);
  const int height = std::max(GetSystemMetrics(SM_CYVIRTUALSCREEN), 2);
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx =
      static_cast<LONG>((static_cast<long long>(screen.x - left) * 65536 + width / 2) / width);
  input.mi.dy =
      static_cast<LONG>((static_cast<long long>(screen.y - top) * 65536 + height / 2) / height);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  SendInput(1, &input, sizeof input);
  // Scaling to and from the absolute range may land a pixel off.
  POINT now;
  if (GetCursorPos(&now) && (now.x != screen.x || now.y != screen.y))
    SetCursorPos(screen.x, screen.y);
}

inline INPUT mouseButton(bool right, bool down) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = right ? (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                           : (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
  return input;
}

inline INPUT keyInput(WORD vk, bool up, wchar_t unit = 0) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = unit ? 0 : vk;
  input.ki.wScan = unit;
  input.ki.dwFlags = (unit ? KEYEVENTF_UNICODE : 0) | (up ? KEYEVENTF_KEYUP : 0);
  return input;
}

inline void send(INPUT input) { SendInput(1, &input, sizeof input); }

// Where the pointer rests between clicks: over no window of ours, so no tip
// shows and nothing is hovered.
inline constexpr POINT kPointerAway = {1590, 990};

// A hand that plays its input from a timer, one event a tick, as the host's
// hand player does: the timer keeps running inside whatever modal loop an
// event starts (a menu, a dialog, a tree tracking the pointer), so the next
// event still comes. Between its own clicks it answers the menus and dialogs
// that come up, and keeps what they showed.
class Hand {
 public:
  Hand() {
    current() = this;
    timer_ = SetTimer(nullptr, 0, 30, &Hand::tick);
  }
  ~Hand() {
    KillTimer(nullptr, timer_);
    current() = nullptr;
  }
  Hand(const Hand&) = delete;
  Hand& operator=(const Hand&) = delete;

  // Presses and releases at a client point of `window` (its centre when
  // none), moves the pointer away, and returns once that and everything it
  // opened modally were answered.
  void click(HWND window, std::optional<POINT> client = std::nullopt, bool right = false) {
    RECT box;
    GetClientRect(window, &box);
    POINT at = client.value_or(POINT{box.right / 2, box.bottom / 2});
    ClientToScreen(window, &at);
    // A second press on the same spot soon after the first is a double
    // click: the hand presses a little aside, or waits when there is no room.
    static DWORD lastTime = 0;
    static POINT lastAt = {};
    auto twice = [&] {
      return std::abs(at.x - lastAt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
             std::abs(at.y - lastAt.y) <= GetSystemMetrics(SM_CYDOUBLECLK) &&
             GetTickCount() - lastTime <= GetDoubleClickTime();
    };
    if (twice()) {
      const int step = GetSystemMetrics(SM_CYDOUBLECLK) + 1;
      POINT aside = {at.x, at.y + step};
      ScreenToClient(window, &aside);
      if (aside.y < box.bottom) at.y += step;
    }
    pumpUntil([&] { return !twice(); }, "the double-click time to pass");
    pending_.push_back([at] { moveTo(at); });
    pending_.push_back([at, right] {
      send(mouseButton(right, true));
      lastTime = GetTickCount();
      lastAt = at;
    });
    input(mouseButton(right, false));
    pending_.push_back([] { moveTo(kPointerAway); });
    pumpUntil([this] { return !busy(); }, "the hand's input and what it opened");
    settle(60);
  }

  // A menu gets this item clicked (Escape when it is negative or disabled;
  // menus are left alone when unset). A dialog gets `path` typed over its
  // focused field and Enter when a path is given, else `button` clicked
  // (0: Cancel, No or OK, the first it has).
  std::optional<int> menuItem;
  std::wstring path;
  int button = 0;

  // What came up: menus, dialogs, the last menu's item states (MF_GRAYED,
  // MF_CHECKED) and every text a menu or dialog showed.
  int menus = 0;
  int dialogs = 0;
  std::vector<UINT> menuStates;
  std::vector<std::wstring> texts;

 private:
  static Hand*& current() {
    static Hand* hand = nullptr;
    return hand;
  }
  bool busy() const {
    return !pending_.empty() || visibleThreadWindow(L"#32768") || visibleThreadWindow(L"#32770");
  }
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    if (current()) current()->step();
  }

  void step() {
    if (!pending_.empty()) {
      const std::function<void()> next = std::move(pending_.front());
      pending_.pop_front();
      next();
      return;
    }
    if (answered_ && !IsWindowVisible(answered_)) answered_ = nullptr;
    if (answered_) return;
    if (HWND menu = menuItem ? visibleThreadWindow(L"#32768") : nullptr) return answerMenu(menu);
    if (HWND dialog = visibleThreadWindow(L"#32770")) answerDialog(dialog);
  }

  void answerMenu(HWND window) {
    constexpr UINT kGetMenu = 0x01E1;  // MN_GETHMENU
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(window, kGetMenu, 0, 0));
    if (!menu) return;
    answered_ = window;
    ++menus;
    menuStates.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      wchar_t text[256] = {};
      GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
      texts.push_back(text);
      menuStates.push_back(GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION));
    }
    RECT item;
    const int chosen = *menuItem;
    if (chosen >= 0 && chosen < static_cast<int>(menuStates.size()) &&
        !(menuStates[static_cast<size_t>(chosen)] & (MF_GRAYED | MF_DISABLED)) &&
        GetMenuItemRect(window, menu, static_cast<UINT>(chosen), &item)) {
      clickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    } else {
      press(VK_ESCAPE);
    }
  }

  void answerDialog(HWND dialog) {
    HWND focus = GetFocus();
    // A file dialog is ready for typing once its field has the focus.
    if (!path.empty() && !(focus && IsChild(dialog, focus))) return;
    answered_ = dialog;
    ++dialogs;
    for (HWND w : descendants(dialog)) texts.push_back(windowText(w));
    if (!path.empty()) {
      // What the field holds is selected, so the path replaces it.
      press(VK_END);
      input(keyInput(VK_SHIFT, false));
      press(VK_HOME);
      input(keyInput(VK_SHIFT, true));
      for (wchar_t unit : path)
        pending_.push_back([unit] {
          send(keyInput(0, false, unit));
          send(keyInput(0, true, unit));
        });
      press(VK_RETURN);
      return;
    }
    HWND target = button ? GetDlgItem(dialog, button) : nullptr;
    for (int id : {IDCANCEL, IDNO, IDOK})
      if (!target) target = GetDlgItem(dialog, id);
    RECT box;
    if (!target || !GetWindowRect(target, &box)) return;
    clickAt({(box.left + box.right) / 2, (box.top + box.bottom) / 2});
  }

  void input(INPUT event) {
    pending_.push_back([event] { send(event); });
  }
  void press(WORD vk) {
    input(keyInput(vk, false));
    input(keyInput(vk, true));
  }
  void clickAt(POINT screen) {
    pending_.push_back([screen] { moveTo(screen); });
    input(mouseButton(false, true));
    input(mouseButton(false, false));
  }

  std::deque<std::function<void()>> pending_;
  HWND answered_ = nullptr;
  UINT_PTR timer_ = 0;
};

}  // namespace scribly::test
