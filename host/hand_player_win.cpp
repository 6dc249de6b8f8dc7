#include "host/hand_player_win.h"

#include <cstring>
#include <utility>

#include "win/handles.h"
#include "win/messages.h"
#include "win/text.h"
#include "win/thread_windows.h"
#include "win/window_proc.h"

namespace scribly {
namespace {

constexpr wchar_t kPlayerClass[] = L"ScriblyHandPlayer";
constexpr UINT_PTR kTickTimer = 1;
// Longer than the plug-in's 10 ms pointer polling, so each move is seen.
constexpr UINT kTickMs = 16;
// After each step, time for what it started (repaints, the peer's answer).
constexpr unsigned kSettleMs = 120;
// How long a dialog or a menu may take to come up.
constexpr DWORD kAwaitMs = 15000;
constexpr UINT kMenuGetHandle = 0x01E1;  // MN_GETHMENU

bool hasName(HWND window, std::string_view name) {
  char buffer[kMaxHandNameBytes + 1] = {};
  if (SendMessageW(window, WM_SKIN_GET_NAME, reinterpret_cast<WPARAM>(buffer), sizeof buffer) != 0)
    return false;
  buffer[sizeof buffer - 1] = '\0';
  return name == std::string_view(buffer, std::strlen(buffer));
}

struct Search {
  std::string_view name;
  HWND skip;
  HWND found;
};

BOOL CALLBACK matchChild(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(window) || !hasName(window, s->name)) return TRUE;
  s->found = window;
  return FALSE;
}

BOOL CALLBACK matchPopup(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  if (window == s->skip || !IsWindowVisible(window)) return TRUE;
  s->found = findSkinElement(window, s->name);
  return s->found ? FALSE : TRUE;
}

// Absolute pointer coordinates run from 0 to 65535 over the virtual screen.
LONG normalised(int at, int origin, int extent) {
  if (extent <= 1) return 0;
  return static_cast<LONG>((static_cast<long long>(at - origin) * 65536 + extent / 2) / extent);
}

void sendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = dx;
  input.mi.dy = dy;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

void sendKey(WORD vk, WORD scan, DWORD flags) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = scan;
  input.ki.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

// Windows keeps an owned window above its owner. Wine without a window
// manager may leave it below once a dialog of the owner has closed, and a
// press there would land on the owner instead.
void keepAboveOwner(HWND element) {
  HWND root = GetAncestor(element, GA_ROOT);
  HWND owner = root ? GetWindow(root, GW_OWNER) : nullptr;
  if (!owner) return;
  for (HWND w = GetWindow(owner, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w != root) continue;
    SetWindowPos(root, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return;
  }
}

}  // namespace

HWND findSkinElement(HWND root, std::string_view name) {
  if (!root || !IsWindowVisible(root)) return nullptr;
  if (hasName(root, name)) return root;
  Search search{name, nullptr, nullptr};
  EnumChildWindows(root, matchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HandPlayer::HandPlayer() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  registerWindowClass(instance, kPlayerClass, &forwardingWindowProc<HandPlayer>);
  CreateWindowExW(0, kPlayerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
}

HandPlayer::~HandPlayer() {
  if (window_) DestroyWindow(window_);
}

bool HandPlayer::start(const HandSession& session, HWND host, std::vector<HWND> frames,
                       Finished finished) {
  if (playing() || !window_) return false;
  session_ = session;
  host_ = host;
  frames_ = std::move(frames);
  finished_ = std::move(finished);
  plan();
  next_ = 0;
  element_ = nullptr;
  awaitingSince_ = 0;
  resumeAt_ = GetTickCount();
  if (motions_.empty()) {
    finish({});
    return true;
  }
  SetTimer(window_, kTickTimer, kTickMs, nullptr);
  return true;
}

void HandPlayer::plan() {
  motions_.clear();
  for (size_t i = 0; i < session_.steps.size(); ++i) {
    const HandStep& s = session_.steps[i];
    auto add = [&](Motion::Kind kind, int x = 0, int y = 0, unsigned code = 0) {
      motions_.push_back(Motion{kind, i, x, y, s.action == HandAction::RightClick, code});
    };
    switch (s.action) {
      case HandAction::Click:
      case HandAction::RightClick:
        add(Motion::Find);
        add(Motion::Move, s.x1, s.y1, s.atCentre ? 1 : 0);
        add(Motion::Press);
        add(Motion::Release);
        break;
      case HandAction::Drag:
        add(Motion::Find);
        add(Motion::Move, s.x1, s.y1);
        add(Motion::Press);
        for (int k = 1; k <= s.steps; ++k)
          add(Motion::Move, s.x1 + (s.x2 - s.x1) * k / s.steps, s.y1 + (s.y2 - s.y1) * k / s.steps);
        add(Motion::Release);
        break;
      case HandAction::Key:
        add(Motion::Find);
        add(Motion::Focus);
        add(Motion::KeyDown, 0, 0, s.value);
        add(Motion::KeyUp, 0, 0, s.value);
        break;
      case HandAction::Type:
        for (wchar_t unit : toWide(s.text)) add(Motion::Char, 0, 0, unit);
        break;
      case HandAction::Wait:
        add(Motion::Pause, 0, 0, s.value);
        continue;
      case HandAction::Menu:
      case HandAction::Answer:
        // A click on what the await found: the menu's item, the dialog's button.
        add(s.action == HandAction::Menu ? Motion::AwaitMenu : Motion::AwaitButton);
        add(Motion::Move, 0, 0, 2);
        add(Motion::Press);
        add(Motion::Release);
        break;
      case HandAction::OpenFile:
      case HandAction::SaveFile:
        add(Motion::AwaitDialog);
        // What the field holds (a save dialog proposes a name) is selected,
        // so the typed path replaces it.
        add(Motion::KeyDown, 0, 0, VK_END);
        add(Motion::KeyUp, 0, 0, VK_END);
        add(Motion::KeyDown, 0, 0, VK_SHIFT);
        add(Motion::KeyDown, 0, 0, VK_HOME);
        add(Motion::KeyUp, 0, 0, VK_HOME);
        add(Motion::KeyUp, 0, 0, VK_SHIFT);
        for (wchar_t unit : toWide(s.text)) add(Motion::Char, 0, 0, unit);
        add(Motion::KeyDown, 0, 0, VK_RETURN);
        add(Motion::KeyUp, 0, 0, VK_RETURN);
        break;
      case HandAction::ClipText:
      case HandAction::ClipPicture:
        add(Motion::Clipboard);
        break;
    }
    add(Motion::Pause, 0, 0, kSettleMs);
  }
}

LRESULT HandPlayer::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER && wParam == kTickTimer) {
    tick();
    return 0;
  }
  return DefWindowProcW(window_, msg, wParam, lParam);
}

void HandPlayer::tick() {
  // Motions that need no time run together; an input event waits for the next
  // tick, so the windows handle it before the next one comes.
  while (next_ < motions_.size()) {
    if (static_cast<LONG>(GetTickCount() - resumeAt_) < 0) return;
    const Motion& m = motions_[next_];
    if (m.kind == Motion::AwaitDialog || m.kind == Motion::AwaitMenu ||
        m.kind == Motion::AwaitButton) {
      std::string error;
      if (!appeared(m, error) && error.empty()) {
        if (awaitingSince_ == 0) awaitingSince_ = GetTickCount();
        if (GetTickCount() - awaitingSince_ < kAwaitMs) return;
        error = m.kind == Motion::AwaitMenu     ? "no pop-up menu opened"
                : m.kind == Motion::AwaitButton ? "no dialog with that button came up"
                                                : "no file dialog came up";
      }
      awaitingSince_ = 0;
      if (!error.empty()) {
        finish("line " + std::to_string(session_.steps[m.step].line) + ": " + error);
        return;
      }
    }
    ++next_;
    const std::string error = perform(m);
    if (!error.empty()) {
      const HandStep& s = session_.steps[m.step];
      finish("line " + std::to_string(s.line) + ": " + error);
      return;
    }
    if (m.kind == Motion::Pause) {
      resumeAt_ = GetTickCount() + m.code;
      continue;
    }
    if (m.kind != Motion::Find && m.kind != Motion::Focus) return;
  }
  if (static_cast<LONG>(GetTickCount() - resumeAt_) >= 0) finish({});
}

HWND HandPlayer::find(const HandStep& step) const {
  const size_t index = static_cast<size_t>(step.participant - 1);
  if (index >= frames_.size() || !frames_[index]) return nullptr;
  if (HWND w = findSkinElement(frames_[index], step.element)) return w;
  // Pop-ups (the palette, the choosers) are top-level windows of this thread.
  Search search{step.element, host_, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), matchPopup, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string HandPlayer::perform(const Motion& m) {
  const HandStep& step = session_.steps[m.step];
  switch (m.kind) {
    case Motion::Find: {
      // A pop-up of the host in front stays in front: activating the host
      // under it would, in Wine without a window manager, lower the pop-up.
      if (host_ && GetAncestor(GetForegroundWindow(), GA_ROOTOWNER) != host_)
        SetForegroundWindow(host_);
      element_ = find(step);
      if (element_) {
        keepAboveOwner(element_);
        return {};
      }
      const size_t index = static_cast<size_t>(step.participant - 1);
      if (index >= frames_.size() || !frames_[index])
        return "participant " + std::to_string(step.participant) + " has no plug-in window";
      return "no visible element \"" + step.element + "\" for participant " +
             std::to_string(step.participant);
    }
    case Motion::Move: {
      if (!IsWindow(element_)) return "the element \"" + step.element + "\" went away";
      POINT at = m.code == 2 ? found_ : POINT{m.x, m.y};
      if (m.code == 1) {
        RECT client;
        GetClientRect(element_, &client);
        at = {client.right / 2, client.bottom / 2};
      }
      ClientToScreen(element_, &at);
      const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
      const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
      sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK,
                normalised(at.x, left, GetSystemMetrics(SM_CXVIRTUALSCREEN)),
                normalised(at.y, top, GetSystemMetrics(SM_CYVIRTUALSCREEN)));
      // Scaling to and from the absolute range may land a pixel off.
      POINT now;
      if (GetCursorPos(&now) && (now.x != at.x || now.y != at.y)) SetCursorPos(at.x, at.y);
      return {};
    }
    case Motion::Press: {
      sendMouse(m.right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
      // A press on a window's frame (its close box, its title) is tracked by
      // the system in a loop of its own that runs no timer, so the release
      // must already be on its way.
      POINT at;
      const bool onFrame =
          IsWindow(element_) && GetCursorPos(&at) &&
          SendMessageW(element_, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)) != HTCLIENT;
      if (onFrame && next_ < motions_.size() && motions_[next_].kind == Motion::Release) {
        sendMouse(m.right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
        ++next_;
      }
      return {};
    }
    case Motion::Release:
      sendMouse(m.right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
      return {};
    case Motion::Focus:
      if (!IsWindow(element_)) return "the element \"" + step.element + "\" went away";
      SetFocus(element_);
      return {};
    case Motion::KeyDown:
      sendKey(static_cast<WORD>(m.code), 0, 0);
      return {};
    case Motion::KeyUp:
      sendKey(static_cast<WORD>(m.code), 0, KEYEVENTF_KEYUP);
      return {};
    case Motion::Char:
      sendKey(0, static_cast<WORD>(m.code), KEYEVENTF_UNICODE);
      sendKey(0, static_cast<WORD>(m.code), KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
      return {};
    case Motion::Clipboard:
      return fillClipboard(step);
    case Motion::Pause:
    case Motion::AwaitDialog:
    case Motion::AwaitMenu:
    case Motion::AwaitButton:
      return {};
  }
  return {};
}

bool HandPlayer::appeared(const Motion& m, std::string& error) {
  if (m.kind == Motion::AwaitDialog) {
    // The dialog gives its file name field the focus when it is ready.
    HWND field = GetFocus();
    HWND dialog = field ? GetAncestor(field, GA_ROOT) : nullptr;
    wchar_t kind[16] = {};
    if (!dialog || !GetClassNameW(dialog, kind, 16) || wcscmp(kind, L"#32770") != 0) return false;
    element_ = field;
    return true;
  }
  if (m.kind == Motion::AwaitButton) {
    HWND dialog = visibleThreadWindow(L"#32770");
    HWND button =
        dialog ? GetDlgItem(dialog, static_cast<int>(session_.steps[m.step].value)) : nullptr;
    if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button)) return false;
    RECT box;
    GetClientRect(button, &box);
    element_ = button;
    found_ = {box.right / 2, box.bottom / 2};
    return true;
  }
  HWND menu = visibleThreadWindow(L"#32768");
  const auto handle =
      menu ? reinterpret_cast<HMENU>(SendMessageW(menu, kMenuGetHandle, 0, 0)) : nullptr;
  if (!handle) return false;
  const HandStep& step = session_.steps[m.step];
  RECT item;
  if (static_cast<int>(step.value) >= GetMenuItemCount(handle) ||
      !GetMenuItemRect(menu, handle, step.value, &item)) {
    error = "the menu has no item " + std::to_string(step.value);
    return false;
  }
  element_ = menu;
  found_ = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  ScreenToClient(menu, &found_);
  return true;
}

std::string HandPlayer::fillClipboard(const HandStep& step) {
  GlobalMemory text;
  Bitmap picture;
  if (step.action == HandAction::ClipText) {
    const std::wstring wide = toWide(step.text);
    const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    text = GlobalMemory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    const GlobalMemoryLock lock(text.get());
    if (!lock.data()) return "out of memory";
    std::memcpy(lock.data(), wide.c_str(), bytes);
  } else {
    picture = Bitmap(static_cast<HBITMAP>(
        LoadImageW(nullptr, toWide(step.text).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
    if (!picture) return "cannot load the bitmap file " + step.text;
  }
  if (!OpenClipboard(window_)) return "the clipboard is busy";
  EmptyClipboard();
  // The clipboard owns what it took.
  const bool taken = text ? SetClipboardData(CF_UNICODETEXT, text.get()) != nullptr
                          : SetClipboardData(CF_BITMAP, picture.get()) != nullptr;
  CloseClipboard();
  if (!taken) return "the clipboard refused the data";
  text.release();
  picture.release();
  return {};
}

void HandPlayer::finish(const std::string& error) {
  if (window_) KillTimer(window_, kTickTimer);
  motions_.clear();
  next_ = 0;
  element_ = nullptr;
  Finished finished = std::move(finished_);
  finished_ = nullptr;
  if (finished) finished(error);
}

}  // namespace scribly
