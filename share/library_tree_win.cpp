#include "share/library_tree_win.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/module_paths.h"
#include "share/tree_items.h"
#include "skin/language_keys.h"
#include "skin/skin_config.h"
#include "win/handles.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

// The share dialog and the configuration hold paths in buffers of this size,
// terminator included; a longer path is refused rather than cut.
constexpr size_t kPathBytes = MAX_PATH;

int CALLBACK startInProgramFiles(HWND dialog, UINT message, LPARAM, LPARAM) {
  if (message == BFFM_INITIALIZED)
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(L"C:\\Program Files"));
  return 0;
}

std::optional<std::string> browseForFolder() {
  BROWSEINFOW info = {};
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lpfn = &startInProgramFiles;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return std::nullopt;
  wchar_t path[MAX_PATH] = {};
  const bool found = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  if (!found || !path[0]) return std::nullopt;
  return fromWide(path);
}

}  // namespace

LibraryTree::LibraryTree(SkinSystem& skin, SkinWindow& frame, std::string configPath, Hooks hooks)
    : frame_(frame),
      configPath_(std::move(configPath)),
      hooks_(std::move(hooks)),
      tree_(frame.find(kLibraryTreeName)),
      menu_(frame.menu(kLibraryMenuName)),
      rootText_(skin.text(kTextShareDocLibrary)),
      chooseText_(skin.text(kTextLibraryNoFolder)),
      faceUtf8_(recode(kTreeFaceCp936, kCodePageChinese, kCodePageUtf8)) {
  if (!tree_) return;
  // The item pictures are installed one folder above the module's.
  const std::string pictures = joinPath(installFolder(), "Skin\\VDTree");
  tree_->send(kTreeSetPictureFolder, 0, reinterpret_cast<LPARAM>(pictures.c_str()));
  enabled_ = libraryEnabled(configPath_);
  root_ = readLibraryRoot(configPath_);
  if (shown()) nameRoot();
  show(shown());
}

void LibraryTree::nameRoot() {
  const std::string& text = root_.empty() ? chooseText_ : rootText_;
  if (!rootItem_) {
    rootItem_ = insert(nullptr, LibraryItemKind::Root, text);
    return;
  }
  const std::string markup = treeItemMarkup(TreeItemStyle::Blue, faceUtf8_, text);
  send(kTreeSetItemMarkup, reinterpret_cast<WPARAM>(rootItem_),
       reinterpret_cast<LPARAM>(markup.c_str()));
}

LRESULT LibraryTree::send(UINT message, WPARAM wParam, LPARAM lParam) {
  return tree_->send(message, wParam, lParam);
}

bool LibraryTree::handle(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT& result) {
  if (&source != tree_) return false;
  if (message == kTreeTipRequest) {
    result = tip(reinterpret_cast<char*>(wParam), static_cast<size_t>(lParam));
    return true;
  }
  if (message != kTreeNotify || wParam != 1) return false;
  result = 0;
  if (!shown()) return true;
  if (lParam == kTreeClick) clicked();
  if (lParam == kTreeRightClick) rightClicked();
  return true;
}

void LibraryTree::command(std::string_view item) {
  if (!tree_) return;
  if (item == "print") shareRemembered();
  if (item == "refresh") reload();
  if (item == "ChangeLibPath") changeFolder();
}

void LibraryTree::reload() {
  if (!shown()) return;
  nameRoot();
  deleteChildren(rootItem_);
  if (!root_.empty()) listFolder(rootItem_, root_);
  show(true);
}

void LibraryTree::show(bool visible) {
  const HWND window = tree_->window();
  if (!window) return;
  const bool was = (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
  tree_->show(visible);
  if (was == visible) return;
  // The frame's layout gives the tree room only while it is visible.
  RECT client = {};
  GetClientRect(frame_.window(), &client);
  SendMessageW(frame_.window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

void LibraryTree::clicked() {
  const auto item = reinterpret_cast<HTREEITEM>(send(TVM_GETNEXTITEM, TVGN_CARET));
  const std::optional<LibraryItemKind> kind = kindOf(item);
  if (kind != LibraryItemKind::Folder && kind != LibraryItemKind::Root) return;
  // Without a folder the root is the way to choose one.
  if (kind == LibraryItemKind::Root && root_.empty()) return changeFolder();
  if (send(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) {
    send(TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
    setImage(item, kImageFolder);
    deleteChildren(item);
    return;
  }
  // A refresh may have listed a closed folder already.
  deleteChildren(item);
  if (const std::optional<std::string> path = pathOf(item)) listFolder(item, *path);
  send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  setImage(item, kImageFolderOpen);
}

void LibraryTree::rightClicked() {
  const auto item = reinterpret_cast<HTREEITEM>(send(TVM_GETNEXTITEM, TVGN_CARET));
  const std::optional<LibraryItemKind> kind = kindOf(item);
  if (!kind || !menu_) return;
  if (kind == LibraryItemKind::File) menuFile_ = item;
  const LibraryMenuState state = libraryMenuState(*kind);
  menu_->enableItem(kLibraryMenuShare, state.share);
  menu_->enableItem(kLibraryMenuChangeFolder, state.changeFolder);
  POINT cursor = {};
  GetCursorPos(&cursor);
  menu_->popup(cursor);
}

LRESULT LibraryTree::tip(char* buffer, size_t size) {
  if (!buffer || size == 0) return 0;
  TVHITTESTINFO hit = {};
  GetCursorPos(&hit.pt);
  ScreenToClient(tree_->window(), &hit.pt);
  const auto item =
      reinterpret_cast<HTREEITEM>(send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (!item) return 0;
  char markup[kMaxTreeItemBytes] = {};
  TreeText text = {markup, sizeof markup};
  send(kTreeGetItemMarkup, reinterpret_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&text));
  const std::optional<std::string> answer = libraryTipMarkup(faceUtf8_, markup);
  if (!answer) return -1;
  if (answer->size() >= size) return 0;
  std::memcpy(buffer, answer->c_str(), answer->size() + 1);
  return kTipWritten;
}

void LibraryTree::shareRemembered() {
  if (hooks_.mayShare && !hooks_.mayShare()) {
    frame_.messageBox(kTextNoShareDocPrivilege, MB_ICONERROR);
    return;
  }
  if (!menuFile_ || !hooks_.share) return;
  const std::optional<std::string> path = pathOf(menuFile_);
  if (path && path->size() < kPathBytes) hooks_.share(*path);
}

void LibraryTree::changeFolder() {
  const std::optional<std::string> chosen =
      hooks_.chooseFolder ? hooks_.chooseFolder() : browseForFolder();
  if (!chosen || chosen->empty() || toWide(*chosen).size() >= kLibraryRootChars) return;
  root_ = *chosen;
  reload();
  writeLibraryRoot(configPath_, root_);
}

size_t LibraryTree::listFolder(HTREEITEM parent, const std::string& folder) {
  std::wstring pattern = toWide(folder);
  if (pattern.empty()) return 0;
  if (pattern.back() != L'\\') pattern += L'\\';
  const size_t folderChars = pattern.size();
  pattern += L"*.*";
  if (pattern.size() >= MAX_PATH) return 0;
  WIN32_FIND_DATAW found = {};
  FindHandle search(FindFirstFileW(pattern.c_str(), &found));
  if (!search) return 0;
  size_t added = 0;
  send(WM_SETREDRAW, FALSE);
  do {
    // An entry whose path would not fit could be neither opened nor shared.
    if (folderChars + wcslen(found.cFileName) >= MAX_PATH) continue;
    const std::string name = fromWide(found.cFileName);
    const std::optional<LibraryItemKind> kind = libraryEntryKind(name, found.dwFileAttributes);
    // A name UTF-8 cannot carry (a lone surrogate) would lead to no file.
    if (!kind || name.empty() || toWide(name) != found.cFileName) continue;
    if (insert(parent, *kind, name)) ++added;
  } while (added < kMaxLibraryFolderItems && FindNextFileW(search.get(), &found));
  send(WM_SETREDRAW, TRUE);
  InvalidateRect(tree_->window(), nullptr, TRUE);
  return added;
}

HTREEITEM LibraryTree::insert(HTREEITEM parent, LibraryItemKind kind, std::string_view name) {
  const TreeItemStyle style =
      kind == LibraryItemKind::Folder ? TreeItemStyle::Folder : TreeItemStyle::Blue;
  const std::string markup = treeItemMarkup(style, faceUtf8_, name);
  // A name too long for the item's text would come back cut and name
  // another file.
  if (kind != LibraryItemKind::Root && treeItemName(markup) != name) return nullptr;
  const int image = kind == LibraryItemKind::File ? kImagePage : kImageFolder;
  TreeItemSpec spec = {markup.c_str(), image, image, static_cast<LPARAM>(kind), nullptr};
  return reinterpret_cast<HTREEITEM>(
      send(kTreeInsertItem, reinterpret_cast<WPARAM>(parent), reinterpret_cast<LPARAM>(&spec)));
}

void LibraryTree::deleteChildren(HTREEITEM item) {
  menuFile_ = nullptr;
  while (const auto child = reinterpret_cast<HTREEITEM>(
             send(TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))))
    if (!send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child))) return;
}

void LibraryTree::setImage(HTREEITEM item, int image) {
  TVITEMW change = {};
  change.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  change.hItem = item;
  change.iImage = image;
  change.iSelectedImage = image;
  send(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

std::optional<LibraryItemKind> LibraryTree::kindOf(HTREEITEM item) {
  if (!item) return std::nullopt;
  TVITEMW read = {};
  read.mask = TVIF_PARAM;
  read.hItem = item;
  if (!send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read))) return std::nullopt;
  switch (read.lParam) {
    case static_cast<LPARAM>(LibraryItemKind::File):
      return LibraryItemKind::File;
    case static_cast<LPARAM>(LibraryItemKind::Folder):
      return LibraryItemKind::Folder;
    case static_cast<LPARAM>(LibraryItemKind::Root):
      return LibraryItemKind::Root;
  }
  return std::nullopt;
}

std::string LibraryTree::nameOf(HTREEITEM item) {
  char markup[kMaxTreeItemBytes] = {};
  TreeText text = {markup, sizeof markup};
  send(kTreeGetItemMarkup, reinterpret_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&text));
  return treeItemName(markup);
}

std::optional<std::string> LibraryTree::pathOf(HTREEITEM item) {
  std::vector<std::string> names;
  for (HTREEITEM at = item; at != rootItem_;) {
    if (!at) return std::nullopt;
    names.push_back(nameOf(at));
    at = reinterpret_cast<HTREEITEM>(
        send(TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(at)));
  }
  std::reverse(names.begin(), names.end());
  return libraryItemPath(root_, names);
}

}  // namespace scribly
