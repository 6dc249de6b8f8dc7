#pragma once
// Where the message a window procedure is handling came from, and the one
// rule for the messages only our own code may send. A message sent by code on
// the window's own thread is this process speaking; one sent from another
// thread or process, or taken from the queue (anyone may post), is not. The
// system tells a send from another thread (InSendMessageEx); a hook on the
// thread's queue notes every message taken from it, which tells a posted
// message from a direct send, and the user's own input from an imitation.
#include <windows.h>

namespace scribly {

enum class MessageOrigin {
  OwnThread,    // sent directly by code on this thread
  OtherThread,  // sent by another thread or another process
  Queue,        // taken from the queue: posted, by anyone
  Input,        // taken from the queue as mouse or keyboard input
};

// The messages whose parameters are pointers (names, texts, records, tree
// items, tip buffers), windows (the text editor), or commands only the
// program gives: every message of the skin engine's block, WM_NOTIFY, and
// the plug-in's text-committed, contents-changed and picture-panel messages.
// Honoured only when sent by code on the window's own thread.
bool ownThreadOnly(UINT message);

// While one lives on a thread, each message the thread takes from its queue
// is noted before its window sees it (a WH_GETMESSAGE hook for that thread
// alone, no DLL injected anywhere). Without one, a posted message looks like
// a direct send. Each module that owns windows keeps one for their thread
// while they live, so the hook never outlives the module's code.
class QueueWatch {
 public:
  QueueWatch();
  ~QueueWatch();
  QueueWatch(const QueueWatch&) = delete;
  QueueWatch& operator=(const QueueWatch&) = delete;

 private:
  DWORD thread_;
};

// Made by each window procedure of ours as it starts on a message: learns
// where the message came from and, while it is handled, what it raised.
class MessageScope {
 public:
  MessageScope(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  ~MessageScope();
  MessageScope(const MessageScope&) = delete;
  MessageScope& operator=(const MessageScope&) = delete;

  MessageOrigin origin() const { return origin_; }
  // The message is one only our code may send and it came from elsewhere:
  // answer 0 and touch nothing.
  bool refused() const { return refused_; }

 private:
  MessageOrigin origin_;
  bool refused_;
  bool outerByUser_;
};

// Whether what runs now was raised by the user: the message being handled,
// and each one it is nested in, is the user's input or a direct send of our
// own code on this thread (or no message is being handled: a direct call).
// False below anything posted or sent from another thread or process.
bool raisedByUser();

}  // namespace scribly
