// The whiteboard driven as a hand drives it: clicks on the skin's tool
// buttons, presses, pointer movements and releases in "view wnd", keys; what
// the plug-in then sends, and what its peer shows.
#include <gtest/gtest.h>
#include <scribly.h>
// After windows.h, which scribly.h brings.
#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "host_session.h"
#include "skin/ui_engine_win.h"
#include "win/messages.h"

namespace scribly::test {
namespace {

// The pencil is in hand first; keys over the view choose tools. A rectangle
// drawn reaches the peer once; a click on it with a drawing tool selects it,
// creates nothing and goes back to the choice tool.
TEST_F(Interface, ToolsByKeysAndARectangleDrawnMovedPastedAndDeletedReachThePeerOnceEach) {
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
  drag(10, 10, 110, 60);
  const Messages sent = relay();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(codeOf(sent[0]), 12);
  EXPECT_EQ(report(*ben_), report(*ann_));
  click("rect");
  drag(10, 35, 10, 35);  // on the rectangle's edge, without moving
  EXPECT_TRUE(relay().empty());
  EXPECT_TRUE(checked("choice"));
  EXPECT_FALSE(checked("rect"));

  // Taken by its edge, away from the selection's handles, and moved: exactly
  // one move; a press and release in place sends nothing.
  drag(30, 10, 60, 30);
  const Messages moved = relay();
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(codeOf(moved[0]), 45);
  drag(40, 55, 40, 55);
  EXPECT_TRUE(relay().empty());
  EXPECT_EQ(report(*ben_), report(*ann_));

  // Its context menu, opened on its edge: copying sends nothing, pasting
  // sends one copy (and is disabled after), deleting takes one away.
  chooseFromContextMenu(0, 40, 55);  // copy
  EXPECT_TRUE(checked("choice"));
  EXPECT_TRUE(relay().empty());
  chooseFromContextMenu(1, 40, 55);  // paste
  Messages pasted = relay();
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(codeOf(pasted[0]), 12);
  chooseFromContextMenu(1, 40, 55);  // paste again: disabled, nothing
  EXPECT_TRUE(relay().empty());
  chooseFromContextMenu(2, 40, 55);  // delete
  Messages deleted = relay();
  ASSERT_EQ(deleted.size(), 1u);
  EXPECT_EQ(codeOf(deleted[0]), 47);
  EXPECT_TRUE(checked("delete"));
  EXPECT_EQ(report(*ben_), report(*ann_));
}

// Another program's editor is refused before the view sees it (the window
// procedure's tests); nor does any other window of this process pass for the
// editor. The view's own editor shows the text as the page will: white on the
// black fill that the swatch's reset and swap corners give. Leaving it makes
// one text object.
TEST_F(Interface, OnlyTheViewsEditorHandsTextOverShowingThePenOnTheFill) {
  relay();
  SendMessageW(view_, WM_PLUGIN_TEXT_COMMITTED, reinterpret_cast<WPARAM>(parent_),
               MAKELPARAM(10, 50));
  pump();
  EXPECT_TRUE(relay().empty());

  HWND swatch = element("color picker");
  for (POINT corner : {POINT{10, 32}, POINT{52, 8}}) {
    SendMessageW(swatch, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(corner.x, corner.y));
    SendMessageW(swatch, WM_LBUTTONUP, 0, MAKELPARAM(corner.x, corner.y));
  }
  HWND editor = typeText(30, 30, L"Hi \u00e9 MMMM");
  ASSERT_TRUE(editor);
  RedrawWindow(editor, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  pump();
  const Shot shot = screenShotOf(editor);
  EXPECT_GT(shot.darkerThan(30), static_cast<int>(shot.pixels.size()) / 2);
  EXPECT_GT(static_cast<int>(shot.pixels.size()) - shot.darkerThan(3 * 240 + 1), 20);
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
TEST_F(Interface, SaveWritesThePageClearAsksFirstAndPasteTakesOnlyTheUsersClick) {
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

  // "paste" puts the clipboard's text on the page, on the user's click alone.
  const char text[] = "from the clipboard";
  ASSERT_TRUE(putOnClipboard({{CF_TEXT, std::vector<uint8_t>(text, text + sizeof text)}}));
  pump();
  EXPECT_TRUE(IsWindowEnabled(element("paste")));
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
  EXPECT_TRUE(openContents(*ann_));
  click("add page");
  EXPECT_NE(pageInfo().find(L"My pages"), std::wstring::npos) << narrow(pageInfo());
  EXPECT_FALSE(relay().empty());
  EXPECT_EQ(report(*ben_), report(*ann_));

  // A page to go to, as another program may ask, must be one there is.
  const std::wstring shown = pageInfo();
  SendMessageW(ann_->frame, WM_PLUGIN_GO_TO_PAGE, 999, 0);
  pump();
  EXPECT_EQ(pageInfo(), shown);
  SendMessageW(ann_->frame, WM_PLUGIN_GO_TO_PAGE, 2, 0);
  pump();
  EXPECT_NE(pageInfo(), shown);
}

// Tall frames keep the extension panel in the tool bar; shorter ones move it
// to a pop-up behind its button, then hide that button and "save"; "clrscr"
// goes last and comes back only once there is room for all.
TEST_F(Interface, TheExtensionPanelMovesWithTheFramesHeight) {
  const struct {
    int height;
    bool inToolBar, extButton, save, clrscr;
  } kHeights[] = {
      {560, true, false, true, true},    {500, false, true, true, true},
      {370, false, false, false, true},  {350, false, false, false, false},
      {390, false, false, false, false}, {400, false, true, true, true},
  };
  auto visible = [&](const char* name) {
    return (GetWindowLongW(element(name), GWL_STYLE) & WS_VISIBLE) != 0;
  };
  for (const auto& h : kHeights) {
    MoveWindow(ann_->frame, 0, 0, 960, h.height, TRUE);
    pump();
    EXPECT_EQ(GetParent(element("ext panel")) == element("tool bar"), h.inToolBar) << h.height;
    EXPECT_EQ(visible("ext panel btn"), h.extButton) << h.height;
    EXPECT_EQ(visible("save"), h.save) << h.height;
    EXPECT_EQ(visible("clrscr"), h.clrscr) << h.height;
  }
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
  auto press = [&](const std::vector<WORD>& keys) {
    SetFocus(view_);
    pressKeys(keys);
    return relay();
  };
  auto clicked = [&](const char* button) {
    Hand hand;
    hand.click(element(button));
    pump();
    return relay();
  };
  shows(false, false);
  EXPECT_TRUE(clicked("undo").empty());

  click("rect");
  drag(10, 10, 110, 60);
  relay();
  shows(true, false);

  // Keys pressed together, or a button clicked when one is named.
  const struct {
    std::vector<WORD> keys;
    const char* button;
    int code;
    bool undo, redo;
  } kSteps[] = {
      {{VK_CONTROL, 'Z'}, nullptr, 47, false, true},
      {{VK_CONTROL, 'Y'}, nullptr, 12, true, false},
      {{}, "undo", 47, false, true},
      {{VK_CONTROL, VK_SHIFT, 'Z'}, nullptr, 12, true, false},
      {{}, "undo", 47, false, true},
      {{}, "redo", 12, true, false},
  };
  for (size_t i = 0; i < std::size(kSteps); ++i) {
    const Messages sent = kSteps[i].button ? clicked(kSteps[i].button) : press(kSteps[i].keys);
    ASSERT_EQ(sent.size(), 1u) << i;
    EXPECT_EQ(codeOf(sent[0]), kSteps[i].code) << i;
    EXPECT_EQ(report(*ben_), report(*ann_)) << i;
    shows(kSteps[i].undo, kSteps[i].redo);
  }
}

// Shared documents in the contents trees of both participants, driven as a
// hand drives them: the share dialog, the "contents" button, the tree's menu
// opened with the right button and chosen with the keys, the boxes answered.
// Another program on the desktop, which finds the windows and sends or posts
// them messages, starts no share. (What only our own code sends is refused
// from elsewhere: the engine's and the window procedure's own tests.)

// A window as another program's command line names it.
std::wstring number(const void* address) {
  return std::to_wstring(reinterpret_cast<uintptr_t>(address));
}

constexpr LPARAM kDocumentItem = 30;
constexpr int kMarkedPageImage = 52;
// The contents panel's import timer and its message for the import's next turn.
constexpr UINT_PTR kImportTimer = 1111;
constexpr UINT kImportTurn = WM_APP + 0x11;

// A document as the contents tree lists it: its name and its pages, each
// with the page it goes to.
struct ListedDocument {
  std::wstring name;
  std::vector<std::pair<std::wstring, LPARAM>> pages;
  HTREEITEM item = nullptr;
  bool operator==(const ListedDocument& other) const {
    return name == other.name && pages == other.pages;
  }
};

std::vector<ListedDocument> listedDocuments(HWND tree) {
  std::vector<ListedDocument> documents;
  for (HTREEITEM top : treeChildren(tree, nullptr)) {
    if (treeData(tree, top) != kDocumentItem) continue;
    ListedDocument document{treeLabel(tree, top), {}, top};
    for (HTREEITEM page : treeChildren(tree, top))
      document.pages.emplace_back(treeLabel(tree, page), treeData(tree, page));
    documents.push_back(std::move(document));
  }
  return documents;
}

// A text file shared through the dialog with the real printer: one page per
// printed page on both participants, each showing its text alike, and the
// document listed with its pages on both until it is deleted. Another program
// may post the contents panels the import's tick or turn message at any time:
// while the printer runs it changes nothing.
TEST_F(Interface, BothParticipantsShowAndListASharedDocumentUntilItIsDeleted) {
  const std::wstring path = writeNotes(12);
  static std::vector<HWND> panels;
  panels.clear();
  for (HWND w : threadWindows())
    if (skinName(w) == "scribly contents panel") panels.push_back(w);
  ASSERT_EQ(panels.size(), 2u);
  // Posted once the printer has started, from a timer the share's wait runs.
  SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    for (HWND panel : panels) {
      PostMessageW(panel, WM_TIMER, kImportTimer, 0);
      PostMessageW(panel, kImportTurn, 0, 0);
    }
  });
  ASSERT_EQ(shareDocument(path), 12);
  EXPECT_FALSE(visiblePanel("scribly contents panel"));
  EXPECT_NE(pageInfo().find(L"notes.txt / 1"), std::wstring::npos) << narrow(pageInfo());
  MoveWindow(ben_->frame, 0, 0, 960, 640, TRUE);
  const Shot annView = viewOf(*ann_);
  EXPECT_GT(annView.darkerThan(3 * 240), 200);
  EXPECT_TRUE(annView == viewOf(*ben_));

  HWND annTree = openContents(*ann_);
  ASSERT_TRUE(annTree);
  const std::vector<ListedDocument> shared = listedDocuments(annTree);
  ASSERT_EQ(shared.size(), 1u);
  EXPECT_EQ(shared[0].name, L"notes.txt");
  ASSERT_EQ(shared[0].pages.size(), 12u);
  EXPECT_EQ(shared[0].pages[2].first, L"3");
  // Each page's item is marked: its background is set.
  for (HTREEITEM page : treeChildren(annTree, shared[0].item))
    EXPECT_EQ(treeItem(annTree, page).iImage, kMarkedPageImage);
  HWND benTree = openContents(*ben_);
  ASSERT_TRUE(benTree);
  EXPECT_EQ(listedDocuments(benTree), shared);
  // Ben's items lead to the pages Ann made.
  EXPECT_EQ(report(*ben_), report(*ann_));

  // Deleted by Ann through the tree's menu: gone from both trees and boards.
  annTree = openContents(*ann_);
  {
    Hand hand;
    hand.menuItem = 1;  // the right button on the document, its second item
    hand.button = IDYES;
    clickTreeItem(annTree, listedDocuments(annTree).at(0).item, true);
    ASSERT_TRUE(hand.finish());
    EXPECT_EQ(hand.menus + hand.dialogs, 2);
    // The box says what deleting does; the file stays.
    EXPECT_NE(hand.shown().find(L"for everyone"), std::wstring::npos);
  }
  relay();
  EXPECT_TRUE(listedDocuments(annTree).empty());
  benTree = openContents(*ben_);
  EXPECT_TRUE(listedDocuments(benTree).empty());
  EXPECT_EQ(report(*ben_), report(*ann_));
  EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(path.c_str());
}

// Another program can set the share dialog's path and post it clicks on
// "start": no share starts. The user's own click starts it, and a reset as a
// host does it ends it: no page of the document is made any more.
TEST_F(Interface, OnlyTheUsersClickStartsAShareAndResetEndsIt) {
  const std::wstring path = writeNotes(40);
  click("add share doc");
  const HWND tip = visiblePanel("scribly tip panel");
  ASSERT_TRUE(tip);
  relay();
  // A started share says so at once in the dialog's texts (the typed path aside).
  const HWND edit = findSkinWindow(tip, "scribly tip edit");
  auto texts = [tip] {
    std::wstring all;
    for (HWND w : descendants(tip))
      if (w != tip && skinName(w) != "scribly tip edit") all += windowText(w) + L"|";
    return all;
  };
  const std::wstring before = texts();
  EXPECT_EQ(runProcess(thisProgram(L"--outside-share " + number(edit) + L" " +
                                   number(findSkinWindow(tip, "btn start share")) + L" \"" + path +
                                   L"\"")),
            0u);
  pump();
  EXPECT_EQ(texts(), before);
  EXPECT_TRUE(relay().empty());
  SendMessageW(findSkinWindow(tip, "btn start share"), BM_CLICK, 0, 0);
  EXPECT_NE(texts(), before);

  // Until the import has made its first page, one message at a time: each
  // of the import's turns posts the next.
  auto pagesSent = [&] {
    int n = 0;
    for (const auto& m : ann_->sink.sent) n += codeOf(m) == 88;
    return n;
  };
  for (MSG m; pagesSent() == 0 &&
              MsgWaitForMultipleObjectsEx(0, nullptr, 20000, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
                  WAIT_OBJECT_0;)
    if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  ASSERT_GT(pagesSent(), 0);

  // Reset and joined again as a host does it: no page of the document is
  // made any more.
  ann_->plugin->Reset();
  ann_->plugin->Initialize(1, 2);
  settle(200);  // ten of the import's ticks, had it gone on
  const std::string label = "notes.txt/";
  bool documentPages = false;
  for (const auto& m : report(*ann_))
    documentPages |= std::search(m.begin(), m.end(), label.begin(), label.end()) != m.end();
  EXPECT_FALSE(documentPages);
  EXPECT_FALSE(IsWindowVisible(tip));
  HWND tree = openContents(*ann_);
  ASSERT_TRUE(tree);
  // The two roots and the six system pages: no document.
  EXPECT_EQ(SendMessageW(tree, TVM_GETCOUNT, 0, 0), 8);
  DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace scribly::test
