#include "share/contents_panel_win.h"

#include <cstdio>
#include <string>
#include <utility>

#include "share/document_share.h"
#include "share/printer_setup_win.h"
#include "skin/language_keys.h"
#include "win/messages.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr std::string_view kContentsMenu = "contents menu";
// The panel's own: start editing the label of the item being renamed.
constexpr UINT kBeginRename = WM_APP + 0x10;

constexpr uint32_t kSystemPages = 6;
// Ids of one document handed to the page list, as the removal message holds.
constexpr size_t kMaxDocumentPages = 1023;

// The contents tip: the item's own markup inside a blue font. The "/>"
// after the font element is part of it; the engine shows only the words.
constexpr char kContentsTipFormat[] = "<tip><font size=\"10\" color=\"0,0,255\">%s</font>/></tip>";

std::string toSystem(std::string_view utf8) { return recode(utf8, kCodePageUtf8, kCodePageSystem); }
std::string fromSystem(std::string_view text) {
  return recode(text, kCodePageSystem, kCodePageUtf8);
}

}  // namespace

ContentsPanel::ContentsPanel(SkinSystem& skin, Surroundings surroundings, PrinterHandle printer,
                             ShareStatus& dialog)
    : skin_(skin),
      around_(std::move(surroundings)),
      printer_(std::move(printer)),
      dialog_(dialog),
      tree_(recode(kTreeFaceCp936, kCodePageChinese, kCodePageUtf8), *this) {
  window_ = skin_.createWindow(kContentsPanelWindowName, around_.frame, this);
  if (!window()) return;
  ShowWindow(window(), SW_HIDE);
  menu_ = window_->menu(kContentsMenu);
  tree_.attach(window_->find(kTreeElementName));
  tree_.setPictureFolder(around_.pictureFolder);
  buildTree();
  if (printer_.get()) printer_.get()->setNotifyWindow(window(), WM_PLUGIN_PRINT_FINISHED);
}

ContentsPanel::~ContentsPanel() {
  if (window()) KillTimer(window(), kImportTimer);
  // The printer may still report to the window; it goes first.
  printer_ = PrinterHandle();
  window_.reset();
}

void ContentsPanel::buildTree() {
  if (!tree_.window()) return;
  tree_.setRedraw(false);
  systemRoot_ = tree_.insert(nullptr, TreeItemStyle::Red,
                             skin_.text("Scribly_Contents_SystemPageTitle", kShareNameBytes),
                             kImageSystemRoot, kSystemRootData);
  for (uint32_t page = 1; page <= kSystemPages; ++page)
    tree_.insert(systemRoot_, TreeItemStyle::Blue, std::to_string(page), kImagePage, page);
  userRoot_ = tree_.insert(nullptr, TreeItemStyle::Red,
                           skin_.text("Scribly_Contents_UserPageTitle", kShareNameBytes),
                           kImageUserRoot, kUserRootData);
  tree_.setRedraw(true);
}

void ContentsPanel::showAgain(HWND below) {
  if (!window()) return;
  RECT box{};
  if (below && GetWindowRect(below, &box)) {
    SetWindowPos(window(), HWND_TOP, box.left, box.bottom, 0, 0, SWP_NOSIZE | SWP_NOREDRAW);
  } else if (around_.frame && GetWindowRect(around_.frame, &box)) {
    SetWindowPos(window(), nullptr, box.left, box.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
  }
  ShowWindow(window(), SW_SHOW);
}

LRESULT ContentsPanel::onSkinMessage(SkinElement& source, UINT message, WPARAM wParam,
                                     LPARAM lParam, bool& handled) {
  if (LRESULT result = 0; tree_.handle(source, message, wParam, lParam, result)) {
    handled = true;
    return result;
  }
  if (&source != &source.ownerWindow()) return 0;
  handled = true;
  switch (message) {
    case WM_PLUGIN_PRINT_FINISHED:
      printFinished(wParam, lParam == kPrintSucceeded);
      return 0;
    case WM_PLUGIN_CONTENTS_CHANGED:
      contentsChanged(wParam, lParam);
      return 0;
    case WM_TIMER:
      if (wParam == kImportTimer) {
        importTurn();
        return 0;
      }
      break;
    case kImportTurn:
      turnPosted_ = false;
      importTurn();
      return 0;
    case kBeginRename:
      if (renamed_) tree_.editLabel(renamed_);
      return 0;
    case WM_CLOSE:
      // Closing only hides: the frame shows the panel again.
      ShowWindow(window(), SW_HIDE);
      return 0;
  }
  handled = false;
  return 0;
}

LRESULT ContentsPanel::onNamedCommand(SkinElement& source, std::string_view name,
                                      std::string_view argument) {
  if (name == "PageOpt") contentsCommand(pageOptionOf(source.name()), false);
  if (name == kContentsMenu) menuCommand(argument);
  return 0;
}

int ContentsPanel::messageBox(std::string_view key, UINT flags) {
  return window_ ? window_->messageBox(key, flags) : 0;
}

void ContentsPanel::contentsCommand(uint32_t code, bool showPanel) {
  if (code == kShareDocument) shareDocument();
  if (code == kAddPage) addPage(showPanel);
  if (code == kSetUpPrinter) setUpSharePrinter();
}

bool ContentsPanel::mayShare() const {
  const Privileges& allowed = around_.board.privileges();
  return allowed.pages && allowed.write;
}

void ContentsPanel::shareDocument() {
  if (!mayShare()) {
    messageBox(kTextNoShareDocPrivilege, MB_ICONERROR);
    return;
  }
  ready_ = true;
  dialog_.choose();
}

void ContentsPanel::addPage(bool showPanel) {
  Board& board = around_.board;
  if (const uint32_t page = board.addUserPage()) board.goToPage(page, true);
  if (showPanel) showAgain();
  if (userRoot_ && !tree_.expanded(userRoot_)) tree_.expand(userRoot_, true, kImageUserRootOpen);
}

void ContentsPanel::boardReset() {
  abandonShare();
  if (!tree_.window()) return;
  menuItem_ = renamed_ = nullptr;
  tree_.clear();
  buildTree();
}

// ------------------------------------------------------------- the tree

void ContentsPanel::contentsChanged(WPARAM kind, LPARAM data) {
  const auto page = static_cast<uint32_t>(data);
  switch (static_cast<ContentsChange>(kind)) {
    case ContentsChange::PageRemoved:
      if (HTREEITEM item = tree_.childWithData(userRoot_, data)) removeItem(item);
      return;
    case ContentsChange::PageAdded: {
      const Page* added = around_.board.findPage(page);
      if (!added || page <= kSystemPages || tree_.childWithData(userRoot_, data)) return;
      tree_.insert(userRoot_, TreeItemStyle::Blue, fromSystem(added->name()), kImagePage, data);
      return;
    }
    case ContentsChange::PageRenamed: {
      const Page* renamed = around_.board.findPage(page);
      HTREEITEM item = tree_.childWithData(userRoot_, data);
      if (renamed && item) tree_.rename(item, TreeItemStyle::Blue, fromSystem(renamed->name()));
      return;
    }
    case ContentsChange::DocumentPagesRemoved: {
      // The name comes from the board's side, never through the message.
      const std::optional<std::string> name =
          around_.takeRemovedDocument ? around_.takeRemovedDocument() : std::nullopt;
      if (!name) return;
      if (HTREEITEM document = findDocument(fitBuffer(*name, kShareNameBytes * 2)))
        removeItem(document);
      return;
    }
    case ContentsChange::BackgroundReady:
      if (importedItem_.item && importedItem_.page == page) {
        tree_.setImage(importedItem_.item, kImagePageMarked);
        return;
      }
      for (HTREEITEM document = tree_.nextSibling(userRoot_); document;
           document = tree_.nextSibling(document))
        if (HTREEITEM item = tree_.childWithData(document, data)) {
          tree_.setImage(item, kImagePageMarked);
          return;
        }
      return;
  }
}

void ContentsPanel::namedPageCreated(uint32_t page, std::string_view name) {
  if (page <= kSystemPages) return;
  const std::optional<DocumentPageName> label = parseDocumentPageLabel(name);
  if (!label) return contentsChanged(static_cast<WPARAM>(ContentsChange::PageAdded), page);
  // Listed once, under its document: a page some object made first sits
  // with the user pages until now.
  if (HTREEITEM early = tree_.childWithData(userRoot_, page)) removeItem(early);
  HTREEITEM document = findDocument(label->document);
  if (!document)
    document = tree_.insert(nullptr, TreeItemStyle::Red, fromSystem(label->document),
                            kImageDocument, kDocumentData);
  if (document && !tree_.childWithData(document, page))
    tree_.insert(document, TreeItemStyle::Blue, label->number, kImagePage, page);
}

void ContentsPanel::treeNotified(LPARAM kind) {
  HTREEITEM item = tree_.current();
  if (kind == kTreeClick) {
    commitRename();
    if (item) itemClicked(item);
  } else if (kind == kTreeRightClick) {
    if (item) openMenu(item);
  } else if (kind == kTreeLabelEdited) {
    commitRename();
  }
}

std::optional<std::string> ContentsPanel::treeTip(const std::string& markup) {
  char tip[kMaxTipMarkupBytes];
  std::snprintf(tip, sizeof tip, kContentsTipFormat, markup.c_str());
  return tip;
}

void ContentsPanel::itemClicked(HTREEITEM item) {
  if (item == systemRoot_) return toggle(item, kImageSystemRoot);
  if (item == userRoot_) return toggle(item, kImageUserRoot);
  if (!tree_.parent(item)) return toggle(item, kImageDocument);
  around_.board.goToPage(pageOf(item), true);
  ShowWindow(window(), SW_HIDE);
  if (around_.scrollToStart) around_.scrollToStart();
}

void ContentsPanel::openMenu(HTREEITEM item) {
  const HTREEITEM parent = tree_.parent(item);
  ContentsItemKind kind = ContentsItemKind::SystemOrDocumentPage;
  if (item == systemRoot_)
    kind = ContentsItemKind::SystemRoot;
  else if (item == userRoot_)
    kind = ContentsItemKind::UserRoot;
  else if (!parent)
    kind = ContentsItemKind::Document;
  else if (parent == userRoot_)
    kind = ContentsItemKind::UserPage;
  const bool current = parent && pageOf(item) == around_.board.currentPageId();
  const ContentsMenu menu = contentsMenuFor(kind, current);
  // Saving the pages is offered on every item, the roots included.
  if (!menu_) return;
  menuItem_ = item;
  menu_->enableItem(0, menu.open && menu.rename);
  menu_->enableItem(1, menu.open && menu.remove);
  menu_->enableItem(2, menu.open && menu.refresh);
  POINT cursor{};
  GetCursorPos(&cursor);
  menu_->popup(cursor);
}

void ContentsPanel::menuCommand(std::string_view command) {
  HTREEITEM item = menuItem_;
  if (!item) return;
  Board& board = around_.board;
  if (command == "rename") {
    renamed_ = item;
    renamedPage_ = pageOf(item);
    oldName_ = toSystem(tree_.name(item));
    // Once the menu has closed and given the focus back, or the edit would
    // lose it at once and end.
    PostMessageW(window(), kBeginRename, 0, 0);
  } else if (command == "delete") {
    deleteItem(item);
  } else if (command == "refresh") {
    if (!board.privileges().lead) board.askPageContents();
  } else if ((command == "savepdf" || command == "savepng") && around_.savePages) {
    around_.savePages(command);
  }
}

void ContentsPanel::commitRename() {
  if (!renamed_) return;
  const HTREEITEM item = std::exchange(renamed_, nullptr);
  const std::string name = toSystem(tree_.name(item));
  if (name == oldName_) return;
  around_.board.renamePage(renamedPage_, name);
}

void ContentsPanel::deleteItem(HTREEITEM item) {
  Board& board = around_.board;
  if (!board.privileges().pages) {
    messageBox(kWritePrivilegeTextKey, MB_ICONERROR);
    return;
  }
  const HTREEITEM parent = tree_.parent(item);
  if (parent && parent == userRoot_) {
    board.removePage(pageOf(item), 0, true);
    return;
  }
  if (parent || item == systemRoot_ || item == userRoot_) return;
  if (messageBox("Scribly_MessageBox_Remove_ShareDoc", MB_YESNO | MB_ICONQUESTION) == IDNO) return;
  const std::string name = fitBuffer(toSystem(tree_.name(item)), 256);
  std::vector<uint32_t> ids;
  for (HTREEITEM child = tree_.firstChild(item); child && ids.size() < kMaxDocumentPages;
       child = tree_.nextSibling(child))
    ids.push_back(pageOf(child));
  removeItem(item);
  board.removePageSet(name, ids, true);
}

uint32_t ContentsPanel::pageOf(HTREEITEM item) const {
  return static_cast<uint32_t>(tree_.data(item).value_or(0));
}

void ContentsPanel::toggle(HTREEITEM item, int closedImage) {
  const bool open = !tree_.expanded(item);
  tree_.expand(item, open, open ? closedImage + 1 : closedImage);
}

HTREEITEM ContentsPanel::findDocument(std::string_view name) const {
  const std::string wanted = fromSystem(name);
  std::vector<std::string> markups;
  std::vector<HTREEITEM> items;
  for (HTREEITEM item = tree_.nextSibling(userRoot_); item; item = tree_.nextSibling(item)) {
    items.push_back(item);
    markups.push_back(tree_.markup(item));
  }
  const int found = findDocumentItem(markups, wanted);
  return found < 0 ? nullptr : items[static_cast<size_t>(found)];
}

bool ContentsPanel::removeItem(HTREEITEM item) {
  // Nothing keeps an item that is gone, nor one whose parent is gone.
  for (HTREEITEM* held : {&menuItem_, &renamed_, &documentItem_})
    if (*held && (*held == item || tree_.parent(*held) == item)) *held = nullptr;
  // The children first, each as the tree lets it go.
  tree_.removeChildren(item);
  return tree_.remove(item);
}

}  // namespace scribly
