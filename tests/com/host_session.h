#pragma once
// A host's view of plug-ins in one window: participants created through the
// class factory, with sinks that keep what each plug-in sends and mirrors.
// Real input comes from the host's hand player (the support's Hand).
#include <gtest/gtest.h>
#include <scribly.h>

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "resources/private_commands.h"
#include "tests/support/recording_sink.h"
#include "tests/support/win_test_support.h"
#include "win/text.h"
#include "win/thread_windows.h"

namespace scribly::test {

inline std::wstring dllPath() { return besideSelf(L"scribly.dll"); }

// It and every window around it shown and enabled (a disabled parent takes
// its children's input away).
inline bool reachable(HWND window) {
  if (!window || !IsWindowVisible(window)) return false;
  for (HWND w = window; w; w = (GetWindowLongW(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr)
    if (!IsWindowEnabled(w)) return false;
  return true;
}

// Keys pressed together and released, as the keyboard sends them to the
// focus (the hand player presses one key at a time).
inline void pressKeys(const std::vector<WORD>& keys) {
  std::vector<INPUT> inputs;
  for (bool up : {false, true})
    for (WORD k : keys) {
      INPUT input = {};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = k;
      input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
      inputs.push_back(input);
    }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  settle(50);
}

class HostSession : public ::testing::Test {
 protected:
  struct Participant {
    IPlugInClientEx* plugin = nullptr;
    RecordingSink sink;
    HWND frame = nullptr;
  };

  void SetUp() override {
    // Loaded by full path and kept: unloading it under a live window class
    // would leave the class pointing at freed code.
    module_ = LoadLibraryW(dllPath().c_str());
    ASSERT_NE(module_, nullptr);
    getClassObject_ = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    ASSERT_NE(getClassObject_, nullptr);
    ASSERT_EQ(
        getClassObject_(CLSID_CScribly, IID_IClassFactory, reinterpret_cast<void**>(&factory_)),
        S_OK);
    parent_ = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr,
                              nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    for (Participant& p : participants_)
      if (p.plugin) p.plugin->Release();
    if (factory_) factory_->Release();
    DestroyWindow(parent_);
    pump();
  }
  Participant& join(ULONG user, ULONG peer) {
    Participant& p = participants_[count_++];
    EXPECT_EQ(
        factory_->CreateInstance(nullptr, IID_IPlugInClientEx, reinterpret_cast<void**>(&p.plugin)),
        S_OK);
    EXPECT_EQ(p.plugin->Create(parent_, &p.sink, nullptr, 1, &p.frame), S_OK);
    EXPECT_EQ(p.plugin->Initialize(user, peer), S_OK);
    return p;
  }
  static HRESULT runScript(Participant& p, std::string_view script, LONG post = 0) {
    return p.plugin->ExecuteCMD(kCommandRunScript, reinterpret_cast<UINT_PTR>(script.data()),
                                static_cast<LONG_PTR>(script.size()), post);
  }
  // The whole board as the messages that rebuild it, without the page each
  // participant happens to look at.
  static Messages report(Participant& p) {
    p.sink.mirrored.clear();
    p.plugin->ExecuteCMD(121, 1, 0, 0);
    p.plugin->ExecuteCMD(121, 0, 0, 0);
    Messages content;
    for (const auto& m : p.sink.mirrored)
      if (m[0] >> 1 != 74) content.push_back(m);
    return content;
  }

  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  HMODULE module_ = nullptr;
  GetClassObjectFn getClassObject_ = nullptr;
  IClassFactory* factory_ = nullptr;
  HWND parent_ = nullptr;
  Participant participants_[2];
  int count_ = 0;
};

inline constexpr UINT kPollTimer = 1;
inline constexpr uint8_t kAcknowledgement = 80;

inline uint8_t codeOf(const std::vector<uint8_t>& message) { return message[0] >> 1; }

// Ann's plug-in driven as a hand drives it, with Ben as her peer.
class Interface : public HostSession {
 protected:
  void SetUp() override {
    HostSession::SetUp();
    MoveWindow(parent_, 0, 0, 960, 640, FALSE);
    ShowWindow(parent_, SW_SHOW);
    ann_ = &join(1, 2);
    ben_ = &join(2, 1);
    MoveWindow(ann_->frame, 0, 0, 960, 640, TRUE);
    pump();
    view_ = findSkinWindow(ann_->frame, "view wnd");
    ASSERT_TRUE(view_);
  }

  HWND element(const char* name) { return findSkinWindow(ann_->frame, name); }

  // A button of Ann's, or of the participant given, pressed and released.
  void click(const char* name, Participant* on = nullptr) {
    HWND button = findSkinWindow((on ? on : ann_)->frame, name);
    ASSERT_TRUE(reachable(button)) << name;
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    pump();
  }

  // The pointer over the view at a client point, seen by the next poll.
  void pointAt(int x, int y) {
    POINT p = {x, y};
    ClientToScreen(view_, &p);
    SetCursorPos(p.x, p.y);
    SendMessageW(view_, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SendMessageW(ann_->frame, WM_TIMER, kPollTimer, 0);
  }

  void drag(int x1, int y1, int x2, int y2) {
    ASSERT_TRUE(reachable(view_));
    pointAt(x1, y1);
    SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x1, y1));
    for (int step = 1; step <= 4; ++step)
      pointAt(x1 + (x2 - x1) * step / 4, y1 + (y2 - y1) * step / 4);
    SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(x2, y2));
    pump();
  }

  // What Ann sent since the last call, handed on to Ben as the host would,
  // with Ben's answers handed back until both are quiet; acknowledgements
  // let Ann's further messages go.
  Messages relay() {
    Messages fromAnn;
    for (int round = 0; round < 20; ++round) {
      Messages a = std::exchange(ann_->sink.sent, {});
      Messages b = std::exchange(ben_->sink.sent, {});
      if (a.empty() && b.empty()) break;
      for (auto& m : a) ben_->plugin->DataIn(1, m.data(), static_cast<ULONG>(m.size()));
      for (auto& m : b) ann_->plugin->DataIn(2, m.data(), static_cast<ULONG>(m.size()));
      pump();
      for (auto& m : a)
        if (codeOf(m) != kAcknowledgement) fromAnn.push_back(std::move(m));
    }
    return fromAnn;
  }

  // The view's menu opened by the right button at (x, y), and the hand
  // clicking its item (none when disabled).
  void chooseFromContextMenu(int item, int x, int y) {
    Hand hand;
    hand.menuItem = item;
    SendMessageW(view_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
    SendMessageW(view_, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
    pump();
  }

  // The text tool clicked at (x, y) and `text` typed into the editor it
  // opens; that editor, still open, or null when none opened.
  HWND typeText(int x, int y, const std::wstring& text) {
    click("text");
    drag(x, y, x, y);
    HWND editor = GetWindow(view_, GW_CHILD);
    if (editor)
      for (wchar_t c : text) SendMessageW(editor, WM_CHAR, c, 0);
    return editor;
  }

  bool checked(const char* name) {
    return SendMessageW(element(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }

  // A text file of `pages` pages in a folder whose name is not ASCII.
  std::wstring writeNotes(int pages) {
    const std::wstring folder = tempPath(L"scribly \u00e9t\u00e9");
    CreateDirectoryW(folder.c_str(), nullptr);
    std::string text;
    for (int page = 1; page <= pages; ++page)
      text += "Page " + std::to_string(page) + " of the notes\r\nWritten in one go.\r\n\f";
    const std::wstring path = folder + L"\\notes.txt";
    writeFile(path, text);
    return path;
  }

  // Opens the share dialog, types `path` and clicks "start"; the dialog, or
  // null when none came.
  HWND startShare(const std::wstring& path) {
    click("add share doc");
    HWND tip = visiblePanel("scribly tip panel");
    if (!tip) return nullptr;
    HWND edit = findSkinWindow(tip, "scribly tip edit");
    for (wchar_t c : path) SendMessageW(edit, WM_CHAR, c, 1);
    shareStarted_ = std::chrono::steady_clock::now();
    SendMessageW(findSkinWindow(tip, "btn start share"), BM_CLICK, 0, 0);
    return tip;
  }

  // A participant's contents panel, opened with its "contents" button; the
  // other's is closed first so that the one shown is this one.
  HWND openContents(Participant& p) {
    for (int i = 0; i < 2; ++i)
      if (HWND open = visiblePanel("scribly contents panel")) SendMessageW(open, WM_CLOSE, 0, 0);
    click("contents", &p);
    HWND panel = visiblePanel("scribly contents panel");
    return panel ? findSkinWindow(panel, "vdtree") : nullptr;
  }

  // A document shared through the dialog with the real printer: its path
  // typed, "start" clicked, and what Ann sends handed on to Ben until the
  // import ends with the dialog gone; the contents panel that then shows is
  // closed. The number of pages Ann created.
  int shareDocument(const std::wstring& path) {
    HWND tip = startShare(path);
    EXPECT_TRUE(tip);
    if (!tip) return 0;
    int created = 0;
    auto handOn = [&] {
      for (const auto& m : relay()) {
        if (codeOf(m) != 88) continue;
        ++created;
        lastPageHandedOn_ = std::chrono::steady_clock::now();
      }
    };
    pumpUntil(
        [&] {
          handOn();
          return !IsWindowVisible(tip);
        },
        "the share to end", 120000);
    for (int i = 0; i < 50; ++i) handOn();
    if (HWND contents = visiblePanel("scribly contents panel"))
      SendMessageW(contents, WM_CLOSE, 0, 0);
    pump();
    return created;
  }

  // A participant's view as the screen shows it, the other's frame hidden
  // meanwhile.
  Shot viewOf(Participant& p) {
    Participant& other = &p == ann_ ? *ben_ : *ann_;
    const bool otherShown = IsWindowVisible(other.frame);
    ShowWindow(other.frame, SW_HIDE);
    ShowWindow(p.frame, SW_SHOW);
    HWND view = findSkinWindow(p.frame, "view wnd");
    RedrawWindow(p.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    pump();
    Shot shot = screenShotOf(view);
    if (otherShown) ShowWindow(other.frame, SW_SHOW);
    pump();
    return shot;
  }

  // Real input reaches Ann's frame only while Ben's, which lies over it, is hidden.
  void handsOnAnn() {
    ShowWindow(ben_->frame, SW_HIDE);
    SetForegroundWindow(parent_);
    settle(50);
  }

  std::wstring pageInfo() { return windowText(element("curpageinfo")); }

  Participant* ann_ = nullptr;
  Participant* ben_ = nullptr;
  HWND view_ = nullptr;
  // The click on "start" of the last share, and when its last page went to Ben.
  std::chrono::steady_clock::time_point shareStarted_, lastPageHandedOn_;
};

}  // namespace scribly::test
