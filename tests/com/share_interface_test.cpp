// Shared documents in the contents trees of both participants, driven as a
// hand drives them: the share dialog, the "contents" button, the tree's menu
// opened with the right button and chosen with the keys, the boxes answered.
#include <gtest/gtest.h>
#include <scribly.h>
// After windows.h, which scribly.h brings.
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/file_bytes.h"
#include "host_session.h"
#include "win/text.h"

namespace scribly::test {
namespace {

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

// The number of items at the tree's top level and below them.
size_t itemCount(HWND tree) { return SendMessageW(tree, TVM_GETCOUNT, 0, 0); }

class ShareInterface : public Interface {
 protected:
  // A participant's contents panel, opened with its "contents" button; the
  // other's is closed first so that the one shown is this one.
  HWND openContents(Participant& p) {
    for (int i = 0; i < 2; ++i)
      if (HWND open = visiblePanel("scribly contents panel")) SendMessageW(open, WM_CLOSE, 0, 0);
    HWND button = findSkinWindow(p.frame, "contents");
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    pump();
    HWND panel = visiblePanel("scribly contents panel");
    return panel ? findSkinWindow(panel, "vdtree") : nullptr;
  }

  // The right button on an item, and the menu's item `index` chosen with the
  // keys once the menu is open.
  void chooseFromItemMenu(HWND tree, HTREEITEM item, int index) {
    PopupAnswer keys(index);
    clickTreeItem(tree, item, true);
    keys.finish();
    pump();
  }
};

// A text file shared through the dialog with the real printer: one page per
// printed page on both participants, each showing its text alike, and the
// document listed with its pages on both until it is deleted.
TEST_F(ShareInterface, BothParticipantsShowAndListASharedDocumentUntilItIsDeleted) {
  const std::wstring path = writeNotes(12);
  ASSERT_EQ(shareDocument(path), 12);
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
  for (HTREEITEM page : treeChildren(annTree, shared[0].item)) {
    TVITEMW item{};
    item.mask = TVIF_IMAGE;
    item.hItem = page;
    SendMessageW(annTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.iImage, kMarkedPageImage);
  }
  HWND benTree = openContents(*ben_);
  ASSERT_TRUE(benTree);
  EXPECT_EQ(listedDocuments(benTree), shared);
  // Ben's items lead to the pages Ann made.
  EXPECT_EQ(report(*ben_), report(*ann_));

  // Deleted by Ann through the tree's menu: gone from both trees and boards.
  annTree = openContents(*ann_);
  {
    PopupAnswer confirm(L"Whiteboard", IDYES);
    chooseFromItemMenu(annTree, listedDocuments(annTree).at(0).item, 1);
    ASSERT_TRUE(confirm.finish());
    // The box says what deleting does; the file stays.
    EXPECT_NE(confirm.shown().find(L"for everyone"), std::wstring::npos);
  }
  relay();
  EXPECT_TRUE(listedDocuments(annTree).empty());
  benTree = openContents(*ben_);
  EXPECT_TRUE(listedDocuments(benTree).empty());
  EXPECT_EQ(report(*ben_), report(*ann_));
  EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(path.c_str());
}

// Another program may post the contents panels the import's tick or turn
// message at any time: while the printer runs, or with no share at all, it
// changes nothing.
TEST_F(ShareInterface, ImportMessagesFromOutsideAnImportChangeNothing) {
  const std::wstring path = writeNotes(12);
  static std::vector<HWND> panels;
  panels.clear();
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM) {
        if (skinName(w) == "scribly contents panel") panels.push_back(w);
        return TRUE;
      },
      0);
  ASSERT_EQ(panels.size(), 2u);
  // Posted once the printer has started, from a timer the share's wait runs.
  SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    for (HWND panel : panels) {
      PostMessageW(panel, WM_TIMER, kImportTimer, 0);
      PostMessageW(panel, kImportTurn, 0, 0);
    }
  });
  EXPECT_EQ(shareDocument(path), 12);
  EXPECT_EQ(report(*ben_), report(*ann_));
  EXPECT_FALSE(visiblePanel("scribly contents panel"));
  DeleteFileW(path.c_str());
}

TEST_F(ShareInterface, ResetEndsARunningShareAndTheTreeListsOnlyTheSystemPages) {
  const std::wstring path = writeNotes(40);
  click("add share doc");
  HWND tip = visiblePanel("scribly tip panel");
  ASSERT_TRUE(tip);
  HWND edit = findSkinWindow(tip, "scribly tip edit");
  for (wchar_t c : path) SendMessageW(edit, WM_CHAR, c, 1);
  SendMessageW(findSkinWindow(tip, "btn start share"), BM_CLICK, 0, 0);
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
  EXPECT_TRUE(listedDocuments(tree).empty());
  // The two roots and the six system pages.
  EXPECT_EQ(itemCount(tree), 8u);
  DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace scribly::test
