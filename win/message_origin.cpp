#include "win/message_origin.h"

#include <array>
#include <map>
#include <mutex>

#include "win/messages.h"

namespace scribly {
namespace {

// A message the thread took from its queue and no window procedure of ours
// has started on yet.
struct Taken {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  bool input = false;
  bool pending = false;
};

// A loop hands what it takes to its window at once; the few kept cover the
// loops that take more than one message before they dispatch.
constexpr size_t kTakenKept = 16;

struct ThreadState {
  std::array<Taken, kTakenKept> taken{};
  size_t next = 0;
  bool byUser = true;  // outside any message: a direct call of our code
};
thread_local ThreadState t_state;

std::mutex g_hooksLock;
struct ThreadHook {
  HHOOK hook = nullptr;
  int watches = 0;
};
std::map<DWORD, ThreadHook> g_hooks;

// GetCurrentInputMessageSource, from Windows 8 on: whether the message taken
// last came from a device (or SendInput) rather than from PostMessage.
struct InputMessageSource {
  int deviceType;  // 0: unavailable, as for anything posted
  int originId;
};
using GetInputSource = BOOL(WINAPI*)(InputMessageSource*);

GetInputSource inputSourceFunction() {
  static const GetInputSource function = [] {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    return user ? reinterpret_cast<GetInputSource>(
                      reinterpret_cast<void*>(GetProcAddress(user, "GetCurrentInputMessageSource")))
                : nullptr;
  }();
  return function;
}

bool isUserInput(UINT message) {
  const bool device = (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
                      (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
                      (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
  if (!device) return false;
  // Older systems cannot tell a posted imitation from the device's own.
  const GetInputSource source = inputSourceFunction();
  if (!source) return true;
  InputMessageSource found = {};
  return source(&found) && found.deviceType != 0;
}

LRESULT CALLBACK noteTaken(int code, WPARAM removal, LPARAM lParam) {
  if (code == HC_ACTION && removal == PM_REMOVE && lParam) {
    const MSG& m = *reinterpret_cast<const MSG*>(lParam);
    ThreadState& state = t_state;
    state.taken[state.next] = {m.hwnd, m.message, m.wParam, m.lParam, isUserInput(m.message), true};
    state.next = (state.next + 1) % kTakenKept;
  }
  return CallNextHookEx(nullptr, code, removal, lParam);
}

MessageOrigin originOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK))
    return MessageOrigin::OtherThread;
  ThreadState& state = t_state;
  // Newest first: the message a loop took last is the one it dispatches.
  for (size_t i = 1; i <= kTakenKept; ++i) {
    Taken& t = state.taken[(state.next + kTakenKept - i) % kTakenKept];
    if (t.pending && t.window == window && t.message == message && t.wParam == wParam &&
        t.lParam == lParam) {
      t.pending = false;
      return t.input ? MessageOrigin::Input : MessageOrigin::Queue;
    }
  }
  return MessageOrigin::OwnThread;
}

}  // namespace

bool ownThreadOnly(UINT message) {
  if (message >= kSkinMessagesFirst && message <= kSkinMessagesLast) return true;
  switch (message) {
    case WM_NOTIFY:  // the system hands its pointer on unchecked
    case WM_PLUGIN_TEXT_COMMITTED:
    case WM_PLUGIN_CONTENTS_CHANGED:
      return true;
    default:
      return false;
  }
}

QueueWatch::QueueWatch() : thread_(GetCurrentThreadId()) {
  std::lock_guard lock(g_hooksLock);
  ThreadHook& entry = g_hooks[thread_];
  if (entry.watches++ == 0)
    entry.hook = SetWindowsHookExW(WH_GETMESSAGE, noteTaken, nullptr, thread_);
}

QueueWatch::~QueueWatch() {
  std::lock_guard lock(g_hooksLock);
  auto found = g_hooks.find(thread_);
  if (found == g_hooks.end() || --found->second.watches > 0) return;
  if (found->second.hook) UnhookWindowsHookEx(found->second.hook);
  g_hooks.erase(found);
}

MessageScope::MessageScope(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    : origin_(originOf(window, message, wParam, lParam)),
      refused_(ownThreadOnly(message) && origin_ != MessageOrigin::OwnThread),
      outerByUser_(t_state.byUser) {
  t_state.byUser =
      origin_ == MessageOrigin::Input || (origin_ == MessageOrigin::OwnThread && outerByUser_);
}

MessageScope::~MessageScope() { t_state.byUser = outerByUser_; }

bool raisedByUser() { return t_state.byUser; }

}  // namespace scribly
