// The whiteboard driven as a hand drives it: clicks on the skin's tool
// buttons, presses, pointer movements and releases in "view wnd", keys; what
// the plug-in then sends, and what its peer shows.
#include <gtest/gtest.h>
#include <scribly.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "host_session.h"
#include "skin/ui_engine_win.h"

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

TEST_F(Interface, TypedTextBecomesATextObjectAndTheDeleteToolRemovesIt) {
  HWND editor = typeText(30, 30, L"Hi \u00e9");
  ASSERT_TRUE(editor);
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

// Clicked by hand: "save" writes the page through the save dialog, and the
// plug-in's picture decoder reads that file back as a background that looks
// as the drawing did; "clrscr" asks first, No keeps the page, Yes clears it
// for both participants, saying so when the page has a background picture.
TEST_F(Interface, SaveWritesThePageAndClearAsksFirst) {
  handsOnAnn();
  click("rect");
  drag(20, 20, 220, 120);
  relay();
  const Shot drawn = viewOf(*ann_);
  const std::wstring saved = tempPath(L"scribly-saved-page.bmp");
  DeleteFileW(saved.c_str());
  auto answered = [&](const char* button, int answer, const std::wstring& path = {}) {
    Hand hand;
    hand.button = answer;
    hand.path = path;
    hand.click(element(button));
    return hand.dialogs;
  };

  EXPECT_EQ(answered("save", 0, saved), 1);
  EXPECT_TRUE(relay().empty());
  EXPECT_EQ(answered("clrscr", IDNO), 1);
  EXPECT_TRUE(relay().empty());
  EXPECT_EQ(answered("clrscr", IDYES), 1);
  Messages cleared = relay();
  ASSERT_EQ(cleared.size(), 1u);
  EXPECT_EQ(codeOf(cleared[0]), 73);
  EXPECT_EQ(report(*ben_), report(*ann_));
  EXPECT_FALSE(viewOf(*ann_).pixels == drawn.pixels);

  EXPECT_EQ(runScript(*ann_, "background " + narrow(saved)), S_OK);
  relay();
  EXPECT_TRUE(viewOf(*ann_).pixels == drawn.pixels);
  EXPECT_EQ(answered("clrscr", IDYES), 1);
  cleared = relay();
  ASSERT_EQ(cleared.size(), 1u);
  EXPECT_EQ(codeOf(cleared[0]), 90);
  EXPECT_EQ(report(*ben_), report(*ann_));
  DeleteFileW(saved.c_str());
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
  ASSERT_TRUE(putOnClipboard({{CF_TEXT, std::vector<uint8_t>(text, text + sizeof text)}}));
  pump();
  EXPECT_TRUE(IsWindowEnabled(element("paste")));
  relay();
  // A click another program posts pastes nothing, nor does a script that
  // runs outside a click (as one of "oninit" or "onsize" would).
  PostMessageW(element("paste"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageW(element("paste"), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  PostMessageW(element("paste"), BM_CLICK, 0, 0);
  pump();
  EXPECT_TRUE(relay().empty());
  click("choice");  // the control the next script finds current
  auto engine = reinterpret_cast<GetUIEngineFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"uiengine.dll"), kGetUIEngineName)));
  ASSERT_NE(engine, nullptr);
  engine()->runScript("ui.command('Paste')");
  pump();
  EXPECT_TRUE(relay().empty());
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
  EXPECT_EQ(bar.nPage, static_cast<UINT>(client.bottom / 10));
  // The bar's last position shows the page's last row.
  EXPECT_EQ(bar.nMax - static_cast<int>(bar.nPage) + 1, 1200 - client.bottom);

  SendMessageW(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
  SendMessageW(ann_->frame, WM_TIMER, kPollTimer, 0);
  SendMessageW(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
  SendMessageW(ann_->frame, WM_TIMER, kPollTimer, 0);
  const Messages sent = relay();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(codeOf(sent[0]), 77);
  EXPECT_EQ(GetScrollPos(view_, SB_VERT), static_cast<int>(2 * bar.nPage));
  EXPECT_EQ(GetScrollPos(findSkinWindow(ben_->frame, "view wnd"), SB_VERT),
            static_cast<int>(bar.nPage));
}

// The pencil is in hand first; keys over the view choose tools; a click with
// a drawing tool on what is there selects it, creates nothing and goes back
// to the choice tool.
TEST_F(Interface, ThePencilComesFirstAndKeysAndClicksChooseTools) {
  EXPECT_TRUE(checked("pencial"));
  EXPECT_FALSE(checked("choice"));
  relay();
  drag(230, 230, 330, 290);
  const Messages drawn = relay();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(codeOf(drawn[0]), 10);

  SetFocus(view_);
  for (const auto& [key, tool] : {std::pair{84, "text"}, {66, "text"}, {'r', "rect"}}) {
    SendMessageW(view_, WM_KEYDOWN, key, 0);
    pump();
    EXPECT_TRUE(checked(tool)) << key;
  }
  drag(20, 20, 120, 80);
  relay();
  click("rect");
  drag(20, 50, 20, 50);  // on the rectangle's edge, without moving
  EXPECT_TRUE(relay().empty());
  EXPECT_TRUE(checked("choice"));
  EXPECT_FALSE(checked("rect"));
}

// Write withdrawn mid-drag lets the drag finish; then only drawing stops:
// the page privilege alone still turns pages (the arrows wrap), lists and
// adds them, and the view still scrolls.
TEST_F(Interface, ThePagePrivilegeAloneTurnsListsAndAddsPagesButDrawsNothing) {
  click("rect");
  pointAt(10, 10);
  SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  pointAt(60, 40);
  ann_->plugin->SetPrivilege(0x04);  // page management alone
  pump();
  pointAt(110, 60);
  EXPECT_TRUE(reachable(element("rect")));
  SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(110, 60));
  pump();
  const Messages sent = relay();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(codeOf(sent[0]), 12);

  for (const char* tool : {"rect", "paste", "clrscr", "hand"})
    EXPECT_FALSE(reachable(element(tool))) << tool;
  drag(230, 230, 330, 290);
  chooseFromContextMenu(1, 300, 300);  // no menu: the keys change nothing
  EXPECT_TRUE(relay().empty());

  SendMessageW(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_GT(GetScrollPos(view_, SB_VERT), 0);
  EXPECT_NE(pageInfo().find(L"System Page-1"), std::wstring::npos);
  click("pageLeft");
  EXPECT_NE(pageInfo().find(L"System Page-6"), std::wstring::npos) << narrow(pageInfo());
  click("pageRight");
  click("pageRight");
  EXPECT_NE(pageInfo().find(L"System Page-2"), std::wstring::npos) << narrow(pageInfo());
  click("contents");
  HWND contents = visiblePanel("scribly contents panel");
  EXPECT_TRUE(contents);
  if (contents) SendMessageW(contents, WM_CLOSE, 0, 0);
  click("add page");
  EXPECT_NE(pageInfo().find(L"My pages"), std::wstring::npos) << narrow(pageInfo());
  EXPECT_FALSE(relay().empty());
  EXPECT_EQ(report(*ben_), report(*ann_));
}

// The editor shows the text as the page will: white on the black fill that
// the swatch's reset and swap corners give.
TEST_F(Interface, TheTextEditorShowsThePenColourOnTheFill) {
  HWND swatch = element("color picker");
  for (POINT corner : {POINT{10, 32}, POINT{52, 8}}) {
    SendMessageW(swatch, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(corner.x, corner.y));
    SendMessageW(swatch, WM_LBUTTONUP, 0, MAKELPARAM(corner.x, corner.y));
  }
  HWND editor = typeText(30, 30, L"MMMM");
  ASSERT_TRUE(editor);
  RedrawWindow(editor, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  pump();
  const Shot shot = screenShotOf(editor);
  EXPECT_GT(shot.darkerThan(30), static_cast<int>(shot.pixels.size()) / 2);
  EXPECT_GT(static_cast<int>(shot.pixels.size()) - shot.darkerThan(3 * 240 + 1), 20);
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

// Ctrl+Z, Ctrl+Y, Ctrl+Shift+Z and the tool bar's buttons, pressed and
// clicked for real: each takes Ann's rectangle away or brings it back for
// Ben too, and the buttons show grey and refuse clicks while they have
// nothing to do.
TEST_F(Interface, UndoAndRedoByKeysAndButtonsReachThePeer) {
  handsOnAnn();
  auto dark = [&](const char* button) { return screenShotOf(element(button)).darkerThan(300); };
  const int grey[] = {dark("undo"), dark("redo")};
  // Enabled, and drawn in ink rather than grey.
  auto shows = [&](bool undo, bool redo) {
    const bool on[] = {undo, redo};
    for (int i : {0, 1}) {
      const char* name = i == 0 ? "undo" : "redo";
      EXPECT_EQ(IsWindowEnabled(element(name)) != FALSE, on[i]) << name;
      EXPECT_EQ(dark(name) > grey[i] + 20, on[i]) << name;
    }
  };
  auto press = [&](std::initializer_list<WORD> keys) {
    SetFocus(view_);
    for (WORD k : keys) send(keyInput(k, false));
    for (auto k = std::rbegin(keys); k != std::rend(keys); ++k) send(keyInput(*k, true));
    settle(50);
    return relay();
  };
  auto clicked = [&](const char* button) {
    Hand hand;
    hand.click(element(button));
    pump();
    return relay();
  };
  EXPECT_FALSE(IsWindowEnabled(element("undo")));
  EXPECT_FALSE(IsWindowEnabled(element("redo")));
  EXPECT_TRUE(clicked("undo").empty());

  click("rect");
  drag(10, 10, 110, 60);
  relay();
  shows(true, false);

  const struct {
    std::function<Messages()> act;
    int code;
    bool undo, redo;
  } kSteps[] = {
      {[&] {
         return press({VK_CONTROL, 'Z'});
       },
       47, false, true},
      {[&] {
         return press({VK_CONTROL, 'Y'});
       },
       12, true, false},
      {[&] { return clicked("undo"); }, 47, false, true},
      {[&] {
         return press({VK_CONTROL, VK_SHIFT, 'Z'});
       },
       12, true, false},
      {[&] { return clicked("undo"); }, 47, false, true},
      {[&] { return clicked("redo"); }, 12, true, false},
  };
  for (size_t i = 0; i < std::size(kSteps); ++i) {
    const Messages sent = kSteps[i].act();
    ASSERT_EQ(sent.size(), 1u) << i;
    EXPECT_EQ(codeOf(sent[0]), kSteps[i].code) << i;
    EXPECT_EQ(report(*ben_), report(*ann_)) << i;
    shows(kSteps[i].undo, kSteps[i].redo);
  }
}

}  // namespace
}  // namespace scribly::test
