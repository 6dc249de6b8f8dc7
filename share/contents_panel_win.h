#pragma once
// The contents panel, the skin window "scribly contents panel": the tree of
// the system pages, the user pages and the shared documents with their
// pages, with a menu to rename, delete and refresh. It owns the virtual
// printer and runs a share the share dialog asks for: the print job, then
// the import of its page pictures as pages, in turns.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "share/printer_library_win.h"
#include "share/share_seams.h"
#include "share/skin_tree_win.h"
#include "skin/skin_bridge_win.h"

namespace scribly {

inline constexpr std::string_view kContentsPanelWindowName = "scribly contents panel";

// The import of printed pages goes in turns of at most kImportMilliseconds:
// each turn posts the next (kImportTurn, the panel's own message), and the
// timer's ticks take over where a turn cannot follow at once (input waits,
// no page id yet, the end).
inline constexpr UINT_PTR kImportTimer = 1111;
inline constexpr UINT kImportMilliseconds = 20;
inline constexpr UINT kImportTurn = WM_APP + 0x11;

class ContentsPanel final : public SkinProgram, public ShareRunner, private SkinTree::Owner {
 public:
  struct Surroundings {
    Board& board;
    // Owns the panel's window; the panel shows itself again at its corner.
    HWND frame = nullptr;
    // Scrolls the view to the page's top-left corner.
    std::function<void()> scrollToStart;
    // Where print jobs put their pictures, each in a folder of its own
    // below it: the frame's own "PrintTemp\" (8-bit, ending in "\").
    std::string temporaryRoot;
    // Where the tree finds its item pictures ("<n>.bmp"); may be empty.
    std::string pictureFolder;
    // The name of a document whose pages the board removed, one per
    // "document pages removed" notice, oldest first (system code page).
    std::function<std::optional<std::string>()> takeRemovedDocument;
    // The menu's "savepdf" (every page) and "savepng" (the current page).
    std::function<void(std::string_view command)> savePages;
  };
  // `dialog` shows how a share goes; it must outlive the panel.
  ContentsPanel(SkinSystem& skin, Surroundings surroundings, PrinterHandle printer,
                ShareStatus& dialog);
  ~ContentsPanel();
  ContentsPanel(const ContentsPanel&) = delete;
  ContentsPanel& operator=(const ContentsPanel&) = delete;

  HWND window() const { return window_ ? window_->window() : nullptr; }
  SkinElement* find(std::string_view name) { return window_ ? window_->find(name) : nullptr; }
  bool ready() const { return ready_; }
  HTREEITEM systemRoot() const { return systemRoot_; }
  HTREEITEM userRoot() const { return userRoot_; }
  // Shows the panel at the frame's corner (the frame's commands), or below
  // the element `below` when given.
  void showAgain(HWND below = nullptr);
  // A page option of the frame's commands: a page added this way shows the
  // panel again.
  void pageOption(uint32_t option) { contentsCommand(option, true); }
  // The board went back to its six system pages: the share in progress ends
  // and the tree lists only those.
  void boardReset();
  // Sharing turns pages' backgrounds into document pages for everyone: it
  // needs both the page and the write privilege.
  bool mayShare() const;
  // A peer's document page `page` named `name` (system code page): listed
  // under its document, which is made when missing.
  void namedPageCreated(uint32_t page, std::string_view name);

  // ShareRunner
  void startShare(const std::string& path, int32_t quality) override;
  void stopShare() override;

  // SkinProgram
  LRESULT onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                        bool& handled) override;
  LRESULT onNamedCommand(SkinElement& source, std::string_view name,
                         std::string_view argument) override;

 private:
  void buildTree();
  void contentsCommand(uint32_t code, bool showPanel);
  void shareDocument();
  void addPage(bool showPanel);
  void printFinished(WPARAM job, bool succeeded);
  void startImport();
  // One turn of the import: pages until its time is up or input waits.
  void importTurn();
  // One page; false when the import ended or waits for the next tick.
  bool importPage();
  void finishImport();
  // Ends the share in progress whatever its stage, without going anywhere.
  void abandonShare();
  void contentsChanged(WPARAM kind, LPARAM data);
  void itemClicked(HTREEITEM item);
  void openMenu(HTREEITEM item);
  void menuCommand(std::string_view command);
  void commitRename();
  void deleteItem(HTREEITEM item);
  int messageBox(std::string_view key, UINT flags);

  // SkinTree::Owner
  void treeNotified(LPARAM kind) override;
  std::optional<std::string> treeTip(const std::string& markup) override;

  // The page an item stands for (its data), 0 for none.
  uint32_t pageOf(HTREEITEM item) const;
  void toggle(HTREEITEM item, int closedImage);
  HTREEITEM findDocument(std::string_view name) const;
  // Removes the item and its children; nothing keeps any of them.
  bool removeItem(HTREEITEM item);

  // The data of the roots and the document items; a page's item holds its id.
  static constexpr LPARAM kSystemRootData = 10;
  static constexpr LPARAM kUserRootData = 20;
  static constexpr LPARAM kDocumentData = 30;

  SkinSystem& skin_;
  Surroundings around_;
  PrinterHandle printer_;
  ShareStatus& dialog_;
  std::unique_ptr<SkinWindow> window_;
  std::unique_ptr<SkinMenuHandle> menu_;
  SkinTree tree_;
  HTREEITEM systemRoot_ = nullptr;
  HTREEITEM userRoot_ = nullptr;

  // The share in progress.
  bool ready_ = true;
  // Set by the dialog's "stop" until the next share starts; every import
  // tick reads it.
  bool stopAsked_ = false;
  // What the printer's report of the job carries; 0 while none runs.
  WPARAM job_ = 0;
  std::string outputFolder_;           // system code page
  std::string documentName_;           // system code page
  std::vector<std::string> pictures_;  // UTF-8, in page order
  size_t nextPicture_ = 0;
  // From the printer's report until the import ends: only then do the
  // import's ticks and turns do anything.
  bool importing_ = false;
  bool turnPosted_ = false;
  // When the import last painted what it changed.
  ULONGLONG paintedAt_ = 0;
  // Ticks in a row that made no page; the import gives up after a few.
  unsigned failedTicks_ = 0;
  HTREEITEM documentItem_ = nullptr;
  // The page the import is making and its item, while it sets the page's
  // background.
  struct {
    uint32_t page = 0;
    HTREEITEM item = nullptr;
  } importedItem_;
  // The first page the import made, current once it ends.
  uint32_t firstImportedPage_ = 0;

  // The item the menu was opened on, and a rename waiting for its commit.
  HTREEITEM menuItem_ = nullptr;
  HTREEITEM renamed_ = nullptr;
  uint32_t renamedPage_ = 0;
  std::string oldName_;  // system code page
};

}  // namespace scribly
