#include "share/library_tree_win.h"

#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "base/module_paths.h"
#include "share/document_share.h"
#include "skin/language_keys.h"
#include "skin/skin_config.h"
#include "win/handles.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

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
      tree_(recode(kTreeFaceCp936, kCodePageChinese, kCodePageUtf8), *this),
      menu_(frame.menu(kLibraryMenuName)),
      rootText_(skin.text(kTextShareDocLibrary)),
      chooseText_(skin.text(kTextLibraryNoFolder)) {
  tree_.attach(frame.find(kTreeElementName));
  if (!tree_.element()) return;
  // The item pictures are installed one folder above the module's.
  tree_.setPictureFolder(joinPath(installFolder(), "Skin\\VDTree"));
  enabled_ = libraryEnabled(configPath_);
  root_ = readLibraryRoot(configPath_);
  if (shown()) nameRoot();
  show(shown());
}

void LibraryTree::nameRoot() {
  const std::string& text = root_.empty() ? chooseText_ : rootText_;
  if (!rootItem_)
    rootItem_ = insert(nullptr, LibraryItemKind::Root, text);
  else
    tree_.rename(rootItem_, TreeItemStyle::Blue, text);
}

void LibraryTree::treeNotified(LPARAM kind) {
  if (!shown()) return;
  if (kind == kTreeClick) clicked();
  if (kind == kTreeRightClick) rightClicked();
}

std::optional<std::string> LibraryTree::treeTip(const std::string& markup) {
  return libraryTipMarkup(tree_.face(), markup);
}

void LibraryTree::command(std::string_view item) {
  if (!tree_.element()) return;
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
  const HWND window = tree_.window();
  if (!window) return;
  const bool was = (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
  tree_.element()->show(visible);
  if (was == visible) return;
  // The frame's layout gives the tree room only while it is visible.
  RECT client = {};
  GetClientRect(frame_.window(), &client);
  SendMessageW(frame_.window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

void LibraryTree::clicked() {
  const HTREEITEM item = tree_.current();
  const std::optional<LibraryItemKind> kind = kindOf(item);
  if (kind != LibraryItemKind::Folder && kind != LibraryItemKind::Root) return;
  // Without a folder the root is the way to choose one.
  if (kind == LibraryItemKind::Root && root_.empty()) return changeFolder();
  if (tree_.expanded(item)) {
    tree_.expand(item, false, kImageFolder);
    deleteChildren(item);
    return;
  }
  // A refresh may have listed a closed folder already.
  deleteChildren(item);
  if (const std::optional<std::string> path = pathOf(item)) listFolder(item, *path);
  tree_.expand(item, true, kImageFolderOpen);
}

void LibraryTree::rightClicked() {
  const HTREEITEM item = tree_.current();
  const std::optional<LibraryItemKind> kind = kindOf(item);
  if (!kind || !menu_) return;
  if (kind == LibraryItemKind::File) menuFile_ = item;
  const LibraryMenuState state = libraryMenuState(*kind, !root_.empty());
  menu_->enableItem(kLibraryMenuShare, state.share);
  menu_->enableItem(kLibraryMenuReload, state.reload);
  menu_->enableItem(kLibraryMenuChangeFolder, state.changeFolder);
  POINT cursor = {};
  GetCursorPos(&cursor);
  menu_->popup(cursor);
}

void LibraryTree::shareRemembered() {
  if (hooks_.mayShare && !hooks_.mayShare()) {
    frame_.messageBox(kTextNoShareDocPrivilege, MB_ICONERROR);
    return;
  }
  if (!menuFile_ || !hooks_.share) return;
  // A path longer than the share dialog holds is refused rather than cut.
  const std::optional<std::string> path = pathOf(menuFile_);
  if (path && path->size() < kSharePathBytes) hooks_.share(*path);
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
  tree_.setRedraw(false);
  do {
    // An entry whose path would not fit could be neither opened nor shared.
    if (folderChars + wcslen(found.cFileName) >= MAX_PATH) continue;
    const std::string name = fromWide(found.cFileName);
    const std::optional<LibraryItemKind> kind = libraryEntryKind(name, found.dwFileAttributes);
    // A name UTF-8 cannot carry (a lone surrogate) would lead to no file.
    if (!kind || name.empty() || toWide(name) != found.cFileName) continue;
    if (insert(parent, *kind, name)) ++added;
  } while (added < kMaxLibraryFolderItems && FindNextFileW(search.get(), &found));
  tree_.setRedraw(true);
  return added;
}

HTREEITEM LibraryTree::insert(HTREEITEM parent, LibraryItemKind kind, std::string_view name) {
  const std::string markup = tree_.itemMarkup(
      kind == LibraryItemKind::Folder ? TreeItemStyle::Folder : TreeItemStyle::Blue, name);
  // A name too long for the item's text would come back cut and name
  // another file.
  if (kind != LibraryItemKind::Root && treeItemName(markup) != name) return nullptr;
  return tree_.insert(parent, markup, kind == LibraryItemKind::File ? kImagePage : kImageFolder,
                      static_cast<LPARAM>(kind));
}

void LibraryTree::deleteChildren(HTREEITEM item) {
  menuFile_ = nullptr;
  tree_.removeChildren(item);
}

std::optional<LibraryItemKind> LibraryTree::kindOf(HTREEITEM item) const {
  switch (tree_.data(item).value_or(-1)) {
    case static_cast<LPARAM>(LibraryItemKind::File):
      return LibraryItemKind::File;
    case static_cast<LPARAM>(LibraryItemKind::Folder):
      return LibraryItemKind::Folder;
    case static_cast<LPARAM>(LibraryItemKind::Root):
      return LibraryItemKind::Root;
  }
  return std::nullopt;
}

std::optional<std::string> LibraryTree::pathOf(HTREEITEM item) const {
  std::vector<std::string> names;
  for (HTREEITEM at = item; at != rootItem_; at = tree_.parent(at)) {
    if (!at) return std::nullopt;
    names.push_back(tree_.name(at));
  }
  std::reverse(names.begin(), names.end());
  return libraryItemPath(root_, names);
}

}  // namespace scribly
