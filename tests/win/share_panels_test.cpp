// The share dialog and the contents panel built from the installed skin over
// two boards of one conference, with a printer that writes its page pictures
// at once: typing a path, pressing the buttons, the import tick by tick, and
// the contents tree driven with the pointer and its menu.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../native/board_test_support.h"
#include "base/file_bytes.h"
#include "share/contents_panel_win.h"
#include "share/document_share.h"
#include "share/share_dialog_win.h"
#include "share/tree_items.h"
#include "test_surface.h"
#include "win/messages.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

using testing::InMemoryRelay;

// Writes `pages` pictures into the output folder when asked to print, named
// as it likes (the import names them itself), and reports at once.
class FakePrinter final : public DocPrinter {
 public:
  void __stdcall release() override {}
  void __stdcall setOutputFolder(const char* folder) override { folder_ = folder; }
  void __stdcall setQuality(int32_t quality) override { qualities.push_back(quality); }
  int32_t __stdcall printDocument(const char* path) override {
    printed.push_back(path);
    if (!starts) return 0;
    std::error_code ignored;
    std::filesystem::create_directories(toWide(folder_, kCodePageSystem), ignored);
    for (int page = 1; page <= pages; ++page)
      writeFile(toWide(folder_ + "p" + std::to_string(100 + page) + ".BMP", kCodePageSystem), "BM");
    ++number_;
    if (!holdsReport) report();
    return 1;
  }
  WPARAM __stdcall jobNumber() override { return number_; }
  void report() { PostMessageW(window_, message_, number_, succeeds ? kPrintSucceeded : 0); }
  void __stdcall stop() override { ++stops; }
  void __stdcall setNotifyWindow(HWND window, UINT message) override {
    window_ = window;
    message_ = message;
  }

  int pages = 12;
  bool starts = true;
  bool succeeds = true;
  bool holdsReport = false;  // until report()
  std::vector<std::string> printed;
  std::vector<int32_t> qualities;
  int stops = 0;

 private:
  std::string folder_;
  HWND window_ = nullptr;
  UINT message_ = 0;
  WPARAM number_ = 0;
};

class SharePanelsTest : public SkinHostTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SkinHostTest::SetUp());
    // The frame's own folder, where the root comes and goes.
    CreateDirectoryW(tempPath(L"scribly share test").c_str(), nullptr);
    root_ = narrow(tempPath(L"scribly share test\\PrintTemp\\"));
    dialog_ = std::make_unique<ShareDialog>(*skin_, parent_);
    contents_ = std::make_unique<ContentsPanel>(
        *skin_,
        ContentsPanel::Surroundings{board(),
                                    parent_,
                                    [this] { ++scrolledToStart_; },
                                    root_,
                                    installFolder() + "\\Skin\\VDTree",
                                    {},
                                    {}},
        PrinterHandle(nullptr, &printer_), *dialog_);
    ASSERT_NE(contents_->window(), nullptr);
    ASSERT_NE(dialog_->window(), nullptr);
    dialog_->setRunner(contents_.get());
  }
  void TearDown() override {
    contents_.reset();
    dialog_.reset();
    SkinHostTest::TearDown();
  }

  Board& board() { return relay_.board(0); }
  Board& peer() { return relay_.board(1); }
  HWND control(std::string_view name) {
    SkinElement* element = dialog_->find(name);
    return element ? element->window() : nullptr;
  }
  HWND tree() { return contents_->find("vdtree")->window(); }
  // What the board told its view, as the frame tells the contents panel.
  void tellContents() {
    for (const auto& note : relay_.node(0).view.contents)
      SendMessageW(contents_->window(), WM_PLUGIN_CONTENTS_CHANGED, static_cast<WPARAM>(note.kind),
                   note.page);
    relay_.node(0).view.contents.clear();
  }
  void type(std::string_view text) {
    for (char c : text) SendMessageW(control("scribly tip edit"), WM_CHAR, c, 1);
    pump();
  }
  void press(std::string_view button) {
    SendMessageW(control(button), BM_CLICK, 0, 0);
    pump();
  }
  // Shares `path` through the dialog and waits for the import to end.
  void share(std::string_view path) {
    contents_->pageOption(kShareDocument);
    type(path);
    press("btn start share");
    waitUntilReady();
  }
  void waitUntilReady() {
    pumpUntil([this] { return contents_->ready(); }, "the share to end");
    pump();
    relay_.drain();
  }
  // The names of the pages beside the six system pages.
  std::vector<std::string> pageNames(Board& on) {
    std::vector<std::string> names;
    for (const auto& page : on.pages())
      if (page->id() > 6) names.push_back(page->name());
    return names;
  }

  // The first document's item, below the user pages'.
  HTREEITEM documentItem() {
    return reinterpret_cast<HTREEITEM>(SendMessageW(
        tree(), TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(contents_->userRoot())));
  }
  std::vector<HTREEITEM> children(HTREEITEM parent) { return treeChildren(tree(), parent); }
  std::string markup(HTREEITEM of) { return treeMarkup(tree(), of); }
  TVITEMW details(HTREEITEM of) { return treeItem(tree(), of); }
  POINT pointAt(HTREEITEM of) { return treeItemCentre(tree(), of); }
  void click(HTREEITEM of, bool right = false) {
    ShowWindow(contents_->window(), SW_SHOW);
    clickTreeItem(tree(), of, right);
  }
  void menuCommand(HTREEITEM of, int index) {
    ShowWindow(contents_->window(), SW_SHOW);
    chooseFromTreeMenu(tree(), of, index);
  }

  static constexpr size_t kMaxPages = 40;
  static BoardOptions fewPages() {
    BoardOptions options;
    options.maxPages = kMaxPages;
    return options;
  }
  InMemoryRelay relay_{InMemoryRelay::Mode::PeerToPeer, 2, 1, fewPages()};
  std::string root_;
  FakePrinter printer_;
  int scrolledToStart_ = 0;
  std::unique_ptr<ShareDialog> dialog_;
  std::unique_ptr<ContentsPanel> contents_;
};

TEST_F(SharePanelsTest, ASharedDocumentBecomesPagesOnEveryBoardAndADocumentItem) {
  contents_->pageOption(kShareDocument);
  EXPECT_TRUE(IsWindowVisible(dialog_->window()));
  // "start" waits for a path; typing one enables it, clearing it again not.
  EXPECT_FALSE(IsWindowEnabled(control("btn start share")));
  type("x");
  EXPECT_TRUE(IsWindowEnabled(control("btn start share")));
  SendMessageW(control("scribly tip edit"), WM_CHAR, VK_BACK, 1);
  pump();
  EXPECT_FALSE(IsWindowEnabled(control("btn start share")));
  type("C:\\docs\\notes.txt");
  // The text radio chooses text quality; a text file has it anyway.
  SendMessageW(control("scribly_quality_text"), WM_SKIN_CLICKED, 0, 0);
  pump();
  EXPECT_EQ(dialog_->quality(), kQualityText);
  SendMessageW(control("scribly_quality_text_pic"), WM_SKIN_CLICKED, 0, 0);
  pump();
  EXPECT_EQ(dialog_->quality(), kQualityPicture);

  // Started once; a second start while printing is ignored.
  printer_.holdsReport = true;
  SendMessageW(control("btn start share"), BM_CLICK, 0, 0);
  contents_->startShare("C:\\docs\\other.doc", kQualityPicture);
  // Reports anyone else posts start no import: only the printer knows the
  // job's number.
  for (WPARAM number : {WPARAM{0}, printer_.jobNumber() + 1})
    PostMessageW(contents_->window(), WM_PLUGIN_PRINT_FINISHED, number, kPrintSucceeded);
  pump();
  EXPECT_EQ(documentItem(), nullptr);  // an import lists its document at once
  printer_.report();
  waitUntilReady();
  EXPECT_EQ(printer_.printed, std::vector<std::string>{"C:\\docs\\notes.txt"});
  EXPECT_EQ(printer_.qualities, std::vector<int32_t>{kQualityText});

  std::vector<std::string> expected;
  for (int page = 1; page <= 12; ++page) expected.push_back("notes.txt/" + std::to_string(page));
  EXPECT_EQ(pageNames(board()), expected);
  EXPECT_EQ(pageNames(peer()), expected);

  // A red document item, open, with twelve blue children holding the pages.
  const HTREEITEM document = documentItem();
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(treeItemName(markup(document)), "notes.txt");
  EXPECT_NE(markup(document).find("255,0,0"), std::string::npos);
  EXPECT_EQ(details(document).iImage, kImageDocumentOpen);
  EXPECT_TRUE(details(document).state & TVIS_EXPANDED);
  const std::vector<HTREEITEM> pages = children(document);
  ASSERT_EQ(pages.size(), 12u);
  EXPECT_EQ(treeItemName(markup(pages[11])), "12");
  EXPECT_NE(markup(pages[11]).find("0,0,255"), std::string::npos);
  EXPECT_EQ(board().findPage(static_cast<uint32_t>(details(pages[11]).lParam))->name(),
            "notes.txt/12");

  // The first page is current; the pictures' folders are gone; the dialog too.
  EXPECT_EQ(board().currentPageId(), static_cast<uint32_t>(details(pages[0]).lParam));
  EXPECT_EQ(GetFileAttributesA(root_.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(IsWindowVisible(dialog_->window()));
  EXPECT_TRUE(IsWindowVisible(contents_->window()));

  // The same document again is refused with a box; nothing is printed.
  answerBox([&] { share("C:\\docs\\notes.txt"); });
  EXPECT_EQ(printer_.printed.size(), 1u);

  // The tip of page 3's item wraps its markup.
  EXPECT_EQ(treeTipAt(tree(), pointAt(pages[2])),
            "<tip><font size=\"10\" color=\"0,0,255\">" + markup(pages[2]) + "</font>/></tip>");

  // A click on a page goes there, hides the panel and scrolls to the start;
  // one on the document closes it.
  click(pages[4]);
  EXPECT_EQ(board().currentPageId(), static_cast<uint32_t>(details(pages[4]).lParam));
  EXPECT_FALSE(IsWindowVisible(contents_->window()));
  EXPECT_EQ(scrolledToStart_, 1);
  click(document);
  EXPECT_EQ(details(document).iImage, kImageDocument);
  EXPECT_FALSE(details(document).state & TVIS_EXPANDED);

  // Empty space below the items has no tip.
  RECT client{};
  GetClientRect(tree(), &client);
  ASSERT_GT(client.bottom - 4, pointAt(document).y + 20);
  EXPECT_EQ(treeTipAt(tree(), {client.right / 2, client.bottom - 4}), "none");
}

TEST_F(SharePanelsTest, StopFailurePicturesAndAFullBoardEndTheShareWithWhatWasMade) {
  // Stopped once the first tick made pages: those stay, no further page
  // comes, and the import ends as usual.
  printer_.pages = 200;
  contents_->pageOption(kShareDocument);
  type("deck.pptx");
  press("btn start share");
  // One message at a time: the stop comes between two ticks.
  for (MSG m; pageNames(board()).empty() &&
              MsgWaitForMultipleObjectsEx(0, nullptr, 5000, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
                  WAIT_OBJECT_0;)
    if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  press("btn stop share");
  const size_t made = pageNames(board()).size();
  ASSERT_LT(made, 200u);
  waitUntilReady();
  EXPECT_EQ(printer_.stops, 1);
  std::vector<std::string> expected;
  for (size_t n = 1; n <= made; ++n) expected.push_back("deck.pptx/" + std::to_string(n));
  EXPECT_EQ(pageNames(board()), expected);
  EXPECT_EQ(printer_.qualities, std::vector<int32_t>{kQualityPicture});
  SendMessageW(contents_->window(), WM_TIMER, kImportTimer, 0);  // a tick late to the end
  EXPECT_EQ(pageNames(board()).size(), made);

  // A printer that cannot start shows the print error and makes nothing.
  printer_.starts = false;
  EXPECT_NE(answerBox([&] { share("C:\\docs\\broken.doc"); }).find(L"could not be converted"),
            std::wstring::npos);
  // One that reports failure leaves the pictures it wrote unused.
  printer_.starts = true;
  printer_.succeeds = false;
  share("C:\\docs\\failed.doc");
  EXPECT_EQ(pageNames(board()).size(), made);
  EXPECT_TRUE(contents_->ready());

  // A picture is never printed: it is the current page's background.
  const size_t printed = printer_.printed.size();
  share("C:\\pictures\\photo.JPG");
  EXPECT_EQ(printer_.printed.size(), printed);
  EXPECT_FALSE(IsWindowVisible(dialog_->window()));

  // An import that can make no page ends with the print error and sends nothing.
  for (uint32_t id = 1000; board().pages().size() < kMaxPages; ++id) board().goToPage(id, false);
  board().goToPage(1, false);
  relay_.drain();
  relay_.node(0).host.sent.clear();
  printer_.succeeds = true;
  printer_.pages = 3;
  const std::wstring error =
      answerBox([&] { share("C:\\docs\\full.pptx"); }, IDOK, L"Whiteboard", 15000);
  EXPECT_NE(error.find(L"could not be converted"), std::wstring::npos);
  EXPECT_TRUE(contents_->ready());
  relay_.drain();
  EXPECT_EQ(relay_.node(0).host.countSent(MessageCode::kCreateNamedPage), 0u);
}

// The file printed is the one chosen, whatever its characters: the code
// page has only look-alikes for "\uFF3C\uFF0E\uFF0E\uFF3C", which a
// best-fit conversion turns into "\..\" and so into another file. (The
// share's end removes its folders with deleteFolderTree, which FolderTree's
// test holds to follow no link.)
TEST_F(SharePanelsTest, ThePrinterGetsTheChosenFile) {
  const TempFolder folder(L"scribly share chosen");
  const std::wstring chosen = folder / L"a\uFF3C\uFF0E\uFF0E\uFF3Cb.txt";
  writeFile(chosen, "chosen");
  writeFile(folder / L"b.txt", "decoy");

  contents_->pageOption(kShareDocument);
  for (wchar_t c : chosen) SendMessageW(control("scribly tip edit"), WM_CHAR, c, 1);
  press("btn start share");
  waitUntilReady();
  ASSERT_EQ(printer_.printed.size(), 1u);
  const FileReadResult printed = readFileBytes(printer_.printed[0], 64);
  EXPECT_EQ(std::string(printed.bytes.begin(), printed.bytes.end()), "chosen");
  EXPECT_EQ(pageNames(peer()).size(), 12u);
}

TEST_F(SharePanelsTest, WithoutWriteNothingIsSharedAndTheUserIsToldWhy) {
  board().setPrivilegeWord(kPrivilegePages);
  EXPECT_NE(answerBox([&] { contents_->pageOption(kShareDocument); }).find(L"cannot share"),
            std::wstring::npos);
  EXPECT_FALSE(IsWindowVisible(dialog_->window()));

  // Write withdrawn while the dialog is open: "start" is refused as well.
  board().setPrivilegeWord(kPrivilegeWrite | kPrivilegePages);
  contents_->pageOption(kShareDocument);
  type("C:\\docs\\deck.pptx");
  board().setPrivilegeWord(kPrivilegePages);
  answerBox([&] { press("btn start share"); });
  waitUntilReady();
  EXPECT_TRUE(printer_.printed.empty());
  EXPECT_TRUE(pageNames(peer()).empty());
}

TEST_F(SharePanelsTest, TheTreesMenuRenamesAndDeletesAndPeersPagesJoinTheUserPages) {
  printer_.pages = 3;
  share("C:\\docs\\a.b.doc");
  ASSERT_EQ(pageNames(peer()).size(), 3u);
  const HTREEITEM document = documentItem();

  // A page a peer adds is the last child of the user pages.
  board().addUserPage("mine");
  relay_.drain();
  peer().addUserPage("theirs");
  relay_.drain();
  tellContents();
  const std::vector<HTREEITEM> user = children(contents_->userRoot());
  ASSERT_EQ(user.size(), 2u);
  EXPECT_EQ(treeItemName(markup(user[1])), "theirs");

  // A click opens the user pages.
  click(contents_->userRoot());
  EXPECT_EQ(details(contents_->userRoot()).iImage, kImageUserRootOpen);

  // Renamed to the same name nothing is sent; to another, the peer follows.
  auto rename = [&](const wchar_t* name) {
    relay_.node(0).host.sent.clear();
    menuCommand(user[0], 0);
    const auto edit = reinterpret_cast<HWND>(SendMessageW(tree(), TVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, name);
    SendMessageW(tree(), TVM_ENDEDITLABELNOW, FALSE, 0);
    click(user[1]);
    relay_.drain();
  };
  rename(L"mine");
  EXPECT_EQ(relay_.node(0).host.countSent(MessageCode::kRenamePageAndRefresh), 0u);
  rename(L"ours");
  EXPECT_EQ(relay_.node(0).host.countSent(MessageCode::kRenamePageAndRefresh), 1u);
  EXPECT_EQ(pageNames(peer()),
            (std::vector<std::string>{"a.b.doc/1", "a.b.doc/2", "a.b.doc/3", "ours", "theirs"}));

  // Deleting the document removes its three pages here and there with one message.
  answerBox([&] { menuCommand(document, 1); }, IDYES);
  relay_.drain();
  EXPECT_EQ(relay_.node(0).host.countSent(MessageCode::kRemoveDocumentPages), 1u);
  EXPECT_EQ(pageNames(board()), (std::vector<std::string>{"ours", "theirs"}));
  EXPECT_EQ(pageNames(peer()), pageNames(board()));
  EXPECT_EQ(documentItem(), nullptr);
}

}  // namespace
}  // namespace scribly
