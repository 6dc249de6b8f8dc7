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
  chooseFromContextMenu(0, 10, 35);  // copy
  EXPECT_TRUE(checked("choice"));
  EXPECT_TRUE(relay().empty());
  chooseFromContextMenu(1, 10, 35);  // paste
  Messages pasted = relay();
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(codeOf(pasted[0]), 12);
  chooseFromContextMenu(1, 10, 35);  // paste again: disabled, nothing
  EXPECT_TRUE(relay().empty());
  chooseFromContextMenu(2, 10, 35);  // delete
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
