#pragma once
// What the three Windows test programs share: this thread's message pump and
// the one way to wait for something, child processes, the skin's windows
// found by name, a hand that answers the pop-ups a modal loop shows, tree
// items, and the pixels a window shows.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/hand_player_win.h"
#include "win/handles.h"

namespace scribly {

// Handles every message queued for this thread.
void pump();
// Pumps until `done` holds; after `timeoutMs` a test failure naming `what`.
bool pumpUntil(const std::function<bool()>& done, const char* what, DWORD timeoutMs = 20000);
// Lets what real input set going arrive and be handled: pumps for `ms`
// milliseconds. Only for input that passes through the display server,
// which tells nobody when it is done.
void settle(DWORD ms);

std::wstring tempPath(const std::wstring& name);  // in the temporary folder
std::wstring besideSelf(const std::wstring& f);   // a file beside it
std::string narrow(const std::wstring& wide);     // in the system code page
// Writes `bytes` to `path`, made anew; false when it could not.
bool writeFile(const std::wstring& path, std::string_view bytes);

// A folder of this test's own in the temporary folder, removed with all it
// holds.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& name);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& entry) const { return path_ + L"\\" + entry; }
  // The same in the system code page.
  std::string narrowPath() const { return narrow(path_); }
  std::string operator/(const std::string& entry) const { return narrowPath() + "\\" + entry; }

 private:
  std::wstring path_;
};

// A host's top-level window, destroyed (and what that posts handled) with it.
class HostWindow {
 public:
  HostWindow(int width, int height, DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  operator HWND() const { return window_; }

 private:
  HWND window_;
};

// A child process; the handles are closed with it.
class Process {
 public:
  explicit Process(std::wstring commandLine);
  bool started() const { return static_cast<bool>(process_); }
  DWORD id() const { return GetProcessId(process_.get()); }
  // Waits for the end, handling this thread's messages meanwhile (the child
  // may send to its windows); the exit code, ~0 when it did not end in time.
  DWORD wait(DWORD timeoutMs = 120000);
  void terminate() { TerminateProcess(process_.get(), 9); }

 private:
  KernelHandle process_;
};
DWORD runProcess(const std::wstring& commandLine);
// This program started again with `arguments` (a helper mode of its main).
std::wstring thisProgram(const std::wstring& arguments);

// The clipboard holding these formats' bytes alone; false when it is busy.
bool putOnClipboard(const std::vector<std::pair<UINT, std::vector<uint8_t>>>& formats);

// A window's class name and text.
std::wstring className(HWND window);
std::wstring windowText(HWND window);
// `top` and every window below it, each before its children.
std::vector<HWND> descendants(HWND top);

// The skin name the engine answers for a window; empty when none.
std::string skinName(HWND window);
// The window named `name` at or below `root`; below the thread's top-level
// windows when `root` is null (pop-ups are owned, not children). Null when none.
HWND findSkinWindow(HWND root, const char* name);
// The visible top-level window of this thread with that skin name.
HWND visiblePanel(const char* name);

// Where the pointer rests between clicks: over no window of ours, so no tip
// shows and nothing is hovered.
inline constexpr POINT kPointerAway = {1590, 990};

// A hand that answers what modal loops show, from a timer that keeps running
// inside them, with the host's hand player's real input. A menu gets its item
// `menuItem` clicked (it is closed when the item is negative, missing or
// disabled; menus are left alone when unset). A dialog (only one titled
// `title` when given) gets `path` typed over its focused field and Enter when
// a path is given, else `button` clicked (0: Cancel, No or OK, the first it
// has). The last hand made answers; one that is `menuOnly` leaves dialogs to
// the hand made before it.
class Hand {
 public:
  Hand();
  ~Hand();
  Hand(const Hand&) = delete;
  Hand& operator=(const Hand&) = delete;

  // Presses and releases at a client point of `window` (its centre when
  // none), moves the pointer away, and returns once that and everything it
  // opened were answered.
  void click(HWND window, std::optional<POINT> client = std::nullopt, bool right = false);
  // Plays one step with the hand player, `frame` holding its element.
  void play(HandStep step, HWND frame = nullptr);
  // Pumps until something came up and everything was answered; a test
  // failure when nothing came up.
  bool finish(DWORD timeoutMs = 5000);

  std::optional<int> menuItem;
  bool menuOnly = false;
  std::wstring path;
  int button = 0;
  std::wstring title;

  // What came up: menus, dialogs, the last menu's item states (MF_GRAYED,
  // MF_CHECKED) and every text a menu or dialog showed.
  int menus = 0;
  int dialogs = 0;
  std::vector<UINT> menuStates;
  std::vector<std::wstring> texts;
  std::wstring shown() const;  // the texts joined

 private:
  static Hand*& current();
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
  void step();
  bool busy() const;
  HandPlayer player_;
  HWND answered_ = nullptr;
  Hand* previous_ = nullptr;
  UINT_PTR timer_ = 0;
};

// Runs `action` and answers with `button` the box or dialog titled `title` it
// shows; the texts it showed, and a test failure when nothing came up.
std::wstring answerBox(const std::function<void()>& action, WPARAM button = IDOK,
                       const wchar_t* title = L"Whiteboard", DWORD timeoutMs = 5000);

// Tree items: children (the roots for null), the label, the data, where the
// label is in client coordinates (false while scrolled or folded away).
std::vector<HTREEITEM> treeChildren(HWND tree, HTREEITEM parent);
std::wstring treeLabel(HWND tree, HTREEITEM item);
LPARAM treeData(HWND tree, HTREEITEM item);
bool treeItemBox(HWND tree, HTREEITEM item, RECT& box);
POINT treeItemCentre(HWND tree, HTREEITEM item);
// A click there as a hand makes it: the release already queued when the press
// comes, as the tree tracks the pointer until it sees one.
void clickTreeItem(HWND tree, HTREEITEM item, bool right = false);
// The skin tree's markup of an item.
std::string treeMarkup(HWND tree, HTREEITEM item);
// An item's data, image and expanded state.
TVITEMW treeItem(HWND tree, HTREEITEM item);
// The tip's markup with the pointer at `p` (client coordinates); "none" when
// the tree shows no tip there.
std::string treeTipAt(HWND tree, POINT p);
// Right-clicks an item and has the hand choose its menu's item `index` (the
// menu closed when negative).
void chooseFromTreeMenu(HWND tree, HTREEITEM item, int index);

inline constexpr uint32_t kWhite = 0xFFFFFF;

// Pixels as 0xRRGGBB, rows top-down.
struct Shot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  // Pixels whose red, green and blue sum to less than `sum`.
  int darkerThan(int sum) const;
  bool operator==(const Shot&) const = default;
};
// What a window paints in its client area now, whatever lies over it.
Shot shown(HWND window);
// The same after a repaint of the whole window.
Shot shoot(HWND window);
// What the screen shows of a window inside its top-level window.
Shot screenShotOf(HWND window);

}  // namespace scribly
