// The whiteboard driven as a hand drives it: clicks on the skin's tool
// buttons, presses, pointer movements and releases in "view wnd", keys; what
// the plug-in then sends, and what its peer shows.
#include <gtest/gtest.h>
#include <scribly.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "com_test_support.h"
#include "host_session.h"

namespace scribly::test {
namespace {

constexpr UINT kPollTimer = 1;
constexpr uint8_t kAcknowledgement = 80;

uint8_t codeOf(const std::vector<uint8_t>& message) { return message[0] >> 1; }

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
    view_ = findSkinControl(ann_->frame, "view wnd");
    ASSERT_TRUE(view_);
  }

  HWND element(const char* name) { return findSkinControl(ann_->frame, name); }

  void click(const char* name) {
    HWND button = element(name);
    ASSERT_TRUE(button) << name;
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

  bool checked(const char* name) {
    return SendMessageW(element(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }

  std::wstring pageInfo() {
    wchar_t text[256] = {};
    GetWindowTextW(element("curpageinfo"), text, 256);
    return text;
  }

  Participant* ann_ = nullptr;
  Participant* ben_ = nullptr;
  HWND view_ = nullptr;
};

TEST_F(Interface, ARectangleDraggedOutIsSentOnceAndThePeerHasIt) {
  relay();
  click("rect");
  EXPECT_TRUE(checked("rect"));
  EXPECT_FALSE(checked("choice"));
  drag(10, 10, 110, 60);
  const Messages sent = relay();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(codeOf(sent[0]), 12);
  EXPECT_EQ(report(*ben_), report(*ann_));

  // Taken by its edge and moved: exactly one move; a press and release in
  // place sends nothing.
  click("choice");
  drag(10, 35, 40, 55);
  const Messages moved = relay();
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(codeOf(moved[0]), 45);
  drag(40, 55, 40, 55);
  EXPECT_TRUE(relay().empty());
  EXPECT_EQ(report(*ben_), report(*ann_));
}

TEST_F(Interface, AClickWithADrawingToolSelectsWhatIsThereAndGoesBackToChoice) {
  click("ellipse");
  drag(20, 20, 120, 80);
  relay();
  click("rect");
  drag(20, 50, 20, 50);  // on the ellipse's edge, without moving
  EXPECT_TRUE(relay().empty());
  EXPECT_TRUE(checked("choice"));
  EXPECT_FALSE(checked("rect"));
}

TEST_F(Interface, TypedTextBecomesATextObjectAndTheDeleteToolRemovesIt) {
  EXPECT_TRUE(checked("choice"));  // the tool in hand at the start
  click("text");
  drag(30, 30, 30, 30);
  HWND editor = GetWindow(view_, GW_CHILD);
  ASSERT_TRUE(editor);
  for (wchar_t c : std::wstring(L"Hi \u00e9")) SendMessageW(editor, WM_CHAR, c, 0);
  SetFocus(view_);  // leaving the editor commits it
  pump();
  const Messages typed = relay();
  ASSERT_EQ(typed.size(), 1u);
  EXPECT_EQ(codeOf(typed[0]), 15);
  EXPECT_EQ(report(*ben_), report(*ann_));

  // The delete tool marks what the pointer rests on and removes it on release.
  click("delete");
  pointAt(32, 34);
  drag(32, 34, 32, 34);
  const Messages removed = relay();
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(codeOf(removed[0]), 47);
  EXPECT_EQ(report(*ben_), report(*ann_));
}

TEST_F(Interface, AWideViewShowsGreyPastThePage) {
  MoveWindow(parent_, 0, 0, 1600, 700, FALSE);
  MoveWindow(ann_->frame, 0, 0, 1600, 700, TRUE);
  pump();
  RECT view;
  GetClientRect(view_, &view);
  ASSERT_GT(view.right, 1250);
  RedrawWindow(view_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  HDC dc = GetDC(view_);
  const COLORREF paper = GetPixel(dc, 600, 300);
  const COLORREF beyond = GetPixel(dc, 1230, 300);
  ReleaseDC(view_, dc);
  EXPECT_EQ(paper, RGB(255, 255, 255));
  EXPECT_NE(beyond, paper);
  EXPECT_EQ(GetRValue(beyond), GetGValue(beyond));  // a grey
}

TEST_F(Interface, TheContextMenuCopiesPastesOnceAndDeletes) {
  click("rect");
  drag(10, 10, 110, 60);
  relay();
  // The menu's items are chosen with the keys a hand would press, queued
  // before the right button opens it.
  auto choose = [&](int item) {
    for (int i = 0; i <= item; ++i) PostMessageW(view_, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(view_, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(view_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 35));
    SendMessageW(view_, WM_RBUTTONUP, 0, MAKELPARAM(10, 35));
    pump();
  };
  choose(0);  // copy
  EXPECT_TRUE(checked("choice"));
  EXPECT_TRUE(relay().empty());
  choose(1);  // paste
  Messages pasted = relay();
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(codeOf(pasted[0]), 12);
  choose(1);  // paste again: disabled, nothing
  EXPECT_TRUE(relay().empty());
  choose(2);  // delete
  Messages deleted = relay();
  ASSERT_EQ(deleted.size(), 1u);
  EXPECT_EQ(codeOf(deleted[0]), 47);
  EXPECT_TRUE(checked("delete"));
  EXPECT_EQ(report(*ben_), report(*ann_));
}

TEST_F(Interface, ThePasteButtonPutsTheClipboardsTextOnThePage) {
  const char text[] = "from the clipboard";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
  memcpy(GlobalLock(memory), text, sizeof text);
  GlobalUnlock(memory);
  SetClipboardData(CF_TEXT, memory);
  CloseClipboard();
  pump();
  EXPECT_TRUE(IsWindowEnabled(element("paste")));
  relay();
  click("paste");
  const Messages pasted = relay();
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(codeOf(pasted[0]), 15);
  EXPECT_EQ(report(*ben_), report(*ann_));
}

TEST_F(Interface, TheViewScrollsByItsBarAndThePeerFollowsAtMostOncePer800Ms) {
  RECT client;
  GetClientRect(view_, &client);
  SCROLLINFO bar = {};
  bar.cbSize = sizeof bar;
  bar.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(view_, SB_VERT, &bar));
  EXPECT_EQ(bar.nMax, 1200 - client.bottom);
  EXPECT_EQ(bar.nPage, static_cast<UINT>(client.bottom / 10));

  SendMessageW(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
  Sleep(850);
  SendMessageW(ann_->frame, WM_TIMER, kPollTimer, 0);
  SendMessageW(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
  SendMessageW(ann_->frame, WM_TIMER, kPollTimer, 0);
  const Messages sent = relay();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(codeOf(sent[0]), 77);
  EXPECT_EQ(GetScrollPos(view_, SB_VERT), static_cast<int>(2 * bar.nPage));
  EXPECT_EQ(GetScrollPos(findSkinControl(ben_->frame, "view wnd"), SB_VERT),
            static_cast<int>(bar.nPage));
}

TEST_F(Interface, KeysOverTheViewChooseTools) {
  SetFocus(view_);
  SendMessageW(view_, WM_KEYDOWN, 84, 0);
  pump();
  EXPECT_TRUE(checked("text"));
  SendMessageW(view_, WM_KEYDOWN, 66, 0);
  pump();
  EXPECT_TRUE(checked("text"));
  SendMessageW(view_, WM_KEYDOWN, 'r', 0);
  pump();
  EXPECT_TRUE(checked("rect"));
}

TEST_F(Interface, PageArrowsWrapAndTheBarSaysWhichPage) {
  EXPECT_NE(pageInfo().find(L"System Page-1"), std::wstring::npos);
  click("pageLeft");
  EXPECT_NE(pageInfo().find(L"System Page-6"), std::wstring::npos) << narrow(pageInfo());
  click("pageRight");
  EXPECT_NE(pageInfo().find(L"System Page-1"), std::wstring::npos);
  click("add page");
  EXPECT_NE(pageInfo().find(L"My pages"), std::wstring::npos) << narrow(pageInfo());
}

// The visible top-level window of this thread with that skin name.
HWND visiblePanel(const char* name) {
  struct Search {
    const char* name;
    HWND found;
  } search{name, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (IsWindowVisible(w) && findSkinControl(w, s->name) == w) s->found = w;
        return s->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Pixels in the upper half of a window darker than mid grey, as the screen
// shows them (the lower half may reach past the host's window).
int darkPixels(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  int dark = 0;
  for (int i = 0; i < w * (h / 2); ++i) {
    const auto* p = static_cast<const uint8_t*>(bits) + 4 * i;
    if (p[0] + p[1] + p[2] < 3 * 100) ++dark;
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return dark;
}

// A text file shared through the dialog with the real printer: one page per
// printed page on both participants, each showing its text.
TEST_F(Interface, ASharedTextFileBecomesPagesWithItsTextOnBothParticipants) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + L"notes.txt";
  std::string text;
  for (int page = 1; page <= 12; ++page)
    text += "Page " + std::to_string(page) + " of the notes\r\nWritten in one go.\r\n\f";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);

  click("add share doc");
  HWND tip = visiblePanel("scribly tip panel");
  ASSERT_TRUE(tip);
  HWND edit = findSkinControl(tip, "scribly tip edit");
  for (wchar_t c : path) SendMessageW(edit, WM_CHAR, c, 1);
  SendMessageW(findSkinControl(tip, "btn start share"), BM_CLICK, 0, 0);

  // The import ends with the dialog gone; every page goes to Ben on the way.
  int created = 0;
  for (int i = 0; i < 3000 && (created < 12 || IsWindowVisible(tip)); ++i) {
    pump();
    for (const auto& m : relay()) created += codeOf(m) == 88;
    Sleep(10);
  }
  for (int i = 0; i < 50; ++i) relay();
  EXPECT_EQ(created, 12);
  EXPECT_NE(pageInfo().find(L"notes.txt / 1"), std::wstring::npos) << narrow(pageInfo());

  // The contents panel shows itself at the end; closed, it leaves the views bare.
  if (HWND contents = visiblePanel("scribly contents panel"))
    SendMessageW(contents, WM_CLOSE, 0, 0);
  pump();
  ShowWindow(ben_->frame, SW_HIDE);
  pump();
  const int annDark = darkPixels(view_);
  ShowWindow(ann_->frame, SW_HIDE);
  ShowWindow(ben_->frame, SW_SHOW);
  UpdateWindow(ben_->frame);
  pump();
  const int benDark = darkPixels(findSkinControl(ben_->frame, "view wnd"));
  EXPECT_GT(annDark, 200);
  EXPECT_GT(benDark, 200);
  DeleteFileW(path.c_str());
}

TEST_F(Interface, WriteWithdrawnMidDragLetsTheDragFinish) {
  click("rect");
  pointAt(10, 10);
  SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  pointAt(60, 40);
  ann_->plugin->SetPrivilege(0);
  pump();
  pointAt(110, 60);
  EXPECT_TRUE(IsWindowEnabled(GetParent(view_)));
  SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(110, 60));
  pump();
  EXPECT_FALSE(IsWindowEnabled(GetParent(view_)));
  const Messages sent = relay();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(codeOf(sent[0]), 12);
}

TEST_F(Interface, TheExtensionPanelMovesWithTheFramesHeight) {
  HWND panel = element("ext panel");
  HWND toolBar = element("tool bar");
  auto resize = [&](int height) {
    MoveWindow(ann_->frame, 0, 0, 960, height, TRUE);
    pump();
  };
  auto visible = [&](const char* name) {
    return (GetWindowLongW(element(name), GWL_STYLE) & WS_VISIBLE) != 0;
  };
  resize(560);
  EXPECT_EQ(GetParent(panel), toolBar);
  EXPECT_FALSE(visible("ext panel btn"));
  resize(500);
  EXPECT_NE(GetParent(panel), toolBar);
  EXPECT_TRUE(visible("ext panel btn"));
  resize(370);
  EXPECT_FALSE(visible("ext panel btn"));
  EXPECT_FALSE(visible("save"));
  EXPECT_TRUE(visible("clrscr"));
  resize(350);
  EXPECT_FALSE(visible("clrscr"));
  resize(390);  // still hidden until there is room for all
  EXPECT_FALSE(visible("clrscr"));
  resize(400);
  EXPECT_TRUE(visible("clrscr"));
  EXPECT_TRUE(visible("save"));
  EXPECT_TRUE(visible("ext panel btn"));
}

}  // namespace
}  // namespace scribly::test
