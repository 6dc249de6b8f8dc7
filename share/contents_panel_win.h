#pragma once
// Sharing a document as pages, and the contents tree. Two skin panels that
// talk to each other only with sent window messages:
// - TipPanel, the share dialog: a path, "choose", the print quality, "start"
//   and "stop", and what the share is doing;
// - ContentsPanel: the tree of system pages, user pages and shared documents
//   with their pages; it owns the virtual printer, runs the print job and
//   imports the printed pictures as pages, one per timer tick.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "docprint/doc_printer_win.h"
#include "share/tree_items.h"
#include "skin/skin_bridge_win.h"

namespace scribly {

inline constexpr std::string_view kTipPanelWindowName = "scribly tip panel";
inline constexpr std::string_view kContentsPanelWindowName = "scribly contents panel";

// UM_TIP modes (wParam of WM_PLUGIN_TIP to the tip panel).
enum TipMode : WPARAM {
  kTipReset = 0,      // hide, clear the texts, disable "start"
  kTipResult = 1,     // lParam 0 printing, 1 printed, 2 failed; others: the last title again
  kTipUploading = 2,  // lParam the page number (UTF-8)
  kTipChoose = 3,     // show for a new share
  kTipPath = 4,       // lParam a document path (UTF-8): show with it filled in
  kTipProgress = 5,   // lParam MAKELPARAM(pages imported, pages printed)
};

// UM_CONTENTS_COMMAND codes (lParam).
enum ContentsCommand : LPARAM { kShareDocument = 1, kAddPage = 2, kSetUpPrinter = 3 };

// The timer that imports one printed page per tick.
inline constexpr UINT_PTR kImportTimer = 1111;
inline constexpr UINT kImportMilliseconds = 20;

// What one frame's two panels share: the stop request of the tip panel read
// by the import, and the first page the import made. Per frame, so that two
// whiteboards in one process never stop each other.
struct ShareFlags {
  bool stop = false;
  uint32_t firstImportedPage = 0;
  // The share the tip panel's "start" asked for; the start message only says
  // there is one, so that nobody else can name a file.
  struct Request {
    std::string path;  // system code page
    int32_t quality;
  };
  std::optional<Request> request;
};

// The virtual printer and the library it came from; the printer is released
// before the library goes.
class PrinterHandle {
 public:
  PrinterHandle() = default;
  // `library` may be null (a printer that lives in this module).
  PrinterHandle(HMODULE library, DocPrinter* printer) : library_(library), printer_(printer) {}
  // docprint.dll by its full path in `folder`; empty when it cannot be
  // loaded or made.
  static PrinterHandle load(const std::string& folder);
  ~PrinterHandle() { reset(); }
  PrinterHandle(PrinterHandle&& other) noexcept { *this = std::move(other); }
  PrinterHandle& operator=(PrinterHandle&& other) noexcept;
  PrinterHandle(const PrinterHandle&) = delete;
  PrinterHandle& operator=(const PrinterHandle&) = delete;

  DocPrinter* get() const { return printer_; }

 private:
  void reset();
  HMODULE library_ = nullptr;
  DocPrinter* printer_ = nullptr;
};

// Sets up the printer "VardenPrinter" for the pages the import expects;
// nothing when it cannot be opened.
void setUpSharePrinter();

class TipPanel final : public SkinProgram {
 public:
  // `owner` owns the panel's window; the panel centres itself over it.
  TipPanel(SkinSystem& skin, HWND owner, ShareFlags& flags);
  ~TipPanel();
  TipPanel(const TipPanel&) = delete;
  TipPanel& operator=(const TipPanel&) = delete;

  HWND window() const { return window_ ? window_->window() : nullptr; }
  SkinElement* find(std::string_view name) { return window_ ? window_->find(name) : nullptr; }
  void setContentsPanel(HWND contents) { contents_ = contents; }
  int32_t quality() const { return quality_; }

  LRESULT onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                        bool& handled) override;
  LRESULT onNamedCommand(SkinElement& source, std::string_view name,
                         std::string_view argument) override;

 private:
  void tip(WPARAM mode, LPARAM lParam);
  void showCentred();
  void chooseDocument();
  void start();
  void stop();
  void setText(std::string_view control, const std::string& text);
  void enableStart(bool enabled);

  SkinSystem& skin_;
  HWND owner_;
  ShareFlags& flags_;
  HWND contents_ = nullptr;
  std::unique_ptr<SkinWindow> window_;
  std::string title_;
  std::string uploadTitle_;
  int32_t quality_;
};

class ContentsPanel final : public SkinProgram {
 public:
  struct Surroundings {
    Board& board;
    // Owns the panel's window; the panel shows itself again at its corner.
    HWND frame = nullptr;
    // Told 0x595 when a page was renamed; may be null.
    HWND view = nullptr;
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
  };
  ContentsPanel(SkinSystem& skin, Surroundings surroundings, PrinterHandle printer,
                ShareFlags& flags);
  ~ContentsPanel();
  ContentsPanel(const ContentsPanel&) = delete;
  ContentsPanel& operator=(const ContentsPanel&) = delete;

  HWND window() const { return window_ ? window_->window() : nullptr; }
  SkinElement* find(std::string_view name) { return window_ ? window_->find(name) : nullptr; }
  void setTipPanel(HWND tip) { tip_ = tip; }
  bool ready() const { return ready_; }
  HTREEITEM systemRoot() const { return systemRoot_; }
  HTREEITEM userRoot() const { return userRoot_; }
  // Shows the panel at the frame's corner (the frame's commands), or below
  // the element `below` when given.
  void showAgain(HWND below = nullptr);
  // The board went back to its six system pages: the share in progress ends
  // and the tree lists only those.
  void boardReset();
  // Sharing turns pages' backgrounds into document pages for everyone: it
  // needs both the page and the write privilege.
  bool mayShare() const;

  LRESULT onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                        bool& handled) override;
  LRESULT onNamedCommand(SkinElement& source, std::string_view name,
                         std::string_view argument) override;

 private:
  void buildTree();
  void contentsCommand(LPARAM code, bool fromMessage);
  void shareDocument();
  void addPage(bool showPanel);
  void startShare(const char* path, int32_t quality);
  void printFinished(WPARAM job, bool succeeded);
  void startImport();
  void importTick();
  void finishImport();
  // Ends the share in progress whatever its stage, without going anywhere.
  void abandonShare();
  void contentsChanged(WPARAM kind, LPARAM data);
  // A peer's document page: listed under its document, made when missing.
  void namedPageCreated(uint32_t page);
  void treeNotified(LPARAM kind);
  void itemClicked(HTREEITEM item);
  void openMenu(HTREEITEM item);
  void menuCommand(std::string_view command);
  void commitRename();
  void deleteItem(HTREEITEM item);
  LRESULT tip(char* buffer, size_t size);
  LRESULT sendTip(WPARAM mode, LPARAM lParam = 0);
  int messageBox(std::string_view key, UINT flags);

  // The tree and its items.
  HWND tree() const;
  HTREEITEM insertItem(HTREEITEM parent, TreeItemStyle style, std::string_view name, int image,
                       LPARAM data);
  std::string itemMarkup(HTREEITEM item) const;
  std::string itemName(HTREEITEM item) const;
  LPARAM itemData(HTREEITEM item) const;
  HTREEITEM next(HTREEITEM item, UINT relation) const;
  bool expanded(HTREEITEM item) const;
  void setImage(HTREEITEM item, int image);
  void toggle(HTREEITEM item, int closedImage);
  HTREEITEM childWithData(HTREEITEM parent, LPARAM data) const;
  HTREEITEM findDocument(std::string_view name) const;
  bool removeItem(HTREEITEM item);
  void deleteChildren(HTREEITEM parent);

  SkinSystem& skin_;
  Surroundings around_;
  PrinterHandle printer_;
  ShareFlags& flags_;
  HWND tip_ = nullptr;
  std::unique_ptr<SkinWindow> window_;
  std::unique_ptr<SkinMenuHandle> menu_;
  std::string face_;  // the tree's font face, UTF-8
  HTREEITEM systemRoot_ = nullptr;
  HTREEITEM userRoot_ = nullptr;

  // The share in progress.
  bool ready_ = true;
  // What the printer's report of the job carries; 0 while none runs.
  WPARAM job_ = 0;
  std::string outputFolder_;           // system code page
  std::string documentName_;           // system code page
  std::vector<std::string> pictures_;  // UTF-8, in page order
  size_t nextPicture_ = 0;
  // Ticks in a row that made no page; the import gives up after a few.
  unsigned failedTicks_ = 0;
  HTREEITEM documentItem_ = nullptr;

  // The item the menu was opened on, and a rename waiting for its commit.
  HTREEITEM menuItem_ = nullptr;
  HTREEITEM renamed_ = nullptr;
  uint32_t renamedPage_ = 0;
  std::string oldName_;  // system code page
};

}  // namespace scribly
