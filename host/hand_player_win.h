#pragma once
// Plays a hand session as real input: the pointer moves over the screen, the
// buttons and keys go down and up through the system's input queue, exactly as
// a person's hand would make them. Elements are found by their skin names, the
// way automation finds them: each window is asked with the engine's name
// message.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/hand_session.h"

namespace scribly {

// The visible window below `root` (or `root` itself) whose skin name is `name`.
HWND findSkinElement(HWND root, std::string_view name);

class HandPlayer {
 public:
  // Called once when the session ended; `error` is empty when every step played.
  using Finished = std::function<void(const std::string& error)>;

  HandPlayer();
  ~HandPlayer();
  HandPlayer(const HandPlayer&) = delete;
  HandPlayer& operator=(const HandPlayer&) = delete;

  // Starts playing; the steps run from the thread's timer messages, so they go
  // on inside any modal loop a step opens (a menu, a dialog). `host` is the
  // top-level window brought forward, whose other top-level windows on this
  // thread are searched for pop-ups; frames[N - 1] is participant N's plug-in
  // window (null when absent). False when a session is already playing.
  bool start(const HandSession& session, HWND host, std::vector<HWND> frames, Finished finished);
  bool playing() const { return !motions_.empty(); }

 private:
  // One input event or pause; a step is a few of them.
  struct Motion {
    enum Kind {
      Find,
      Move,
      Press,
      Release,
      Focus,
      KeyDown,
      KeyUp,
      Char,
      Pause,
      Clipboard,
      AwaitDialog,  // until a file dialog has the focus
      AwaitMenu,    // until a pop-up menu is open; finds the step's item
      AwaitButton,  // until a dialog shows the step's button; finds it
    } kind;
    size_t step = 0;   // index into the session's steps
    int x = 0, y = 0;  // Move: in the element's client area
    bool right = false;
    // Move: 1 for the element's centre, 2 for the point an await found; else
    // the virtual key, the UTF-16 unit, or the pause in milliseconds.
    unsigned code = 0;
  };

  template <class Owner>
  friend LRESULT CALLBACK forwardingWindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
  void plan();
  void tick();
  // Performs one motion; an error text on failure.
  std::string perform(const Motion& m);
  HWND find(const HandStep& step) const;
  // For the awaits: whether what they wait for is there (then element_ and
  // found_ are set); an error text when it is there but wrong.
  bool appeared(const Motion& m, std::string& error);
  std::string fillClipboard(const HandStep& step);
  void finish(const std::string& error);

  HWND window_ = nullptr;  // message-only, for the timer
  HandSession session_;
  HWND host_ = nullptr;
  std::vector<HWND> frames_;
  Finished finished_;
  std::vector<Motion> motions_;
  size_t next_ = 0;
  HWND element_ = nullptr;  // the current step's
  POINT found_ = {};        // in element_'s client area
  DWORD resumeAt_ = 0;
  DWORD awaitingSince_ = 0;  // 0 when not waiting
};

}  // namespace scribly
