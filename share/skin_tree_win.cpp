#include "share/skin_tree_win.h"

#include <cstring>

#include "skin/skin_bridge_win.h"

namespace scribly {

HWND SkinTree::window() const { return element_ ? element_->window() : nullptr; }

LRESULT SkinTree::send(UINT message, WPARAM wParam, LPARAM lParam) const {
  return element_ ? element_->send(message, wParam, lParam) : 0;
}

void SkinTree::setPictureFolder(const std::string& folder) {
  if (!folder.empty()) send(kTreeSetPictureFolder, 0, reinterpret_cast<LPARAM>(folder.c_str()));
}

bool SkinTree::handle(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                      LRESULT& result) {
  if (!element_ || &source != element_) return false;
  if (message == kTreeTipRequest) {
    result = answerTip(reinterpret_cast<char*>(wParam), static_cast<size_t>(lParam));
    return true;
  }
  if (message != kTreeNotify || wParam != 1) return false;
  result = 0;
  owner_.treeNotified(lParam);
  return true;
}

LRESULT SkinTree::answerTip(char* buffer, size_t size) {
  if (!buffer || size == 0 || !window()) return 0;
  TVHITTESTINFO hit{};
  GetCursorPos(&hit.pt);
  ScreenToClient(window(), &hit.pt);
  const auto item =
      reinterpret_cast<HTREEITEM>(send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (!item) return 0;
  const std::optional<std::string> tip = owner_.treeTip(markup(item));
  if (!tip || tip->size() >= size) return 0;
  std::memcpy(buffer, tip->c_str(), tip->size() + 1);
  return kTipWritten;
}

std::string SkinTree::itemMarkup(TreeItemStyle style, std::string_view name) const {
  return treeItemMarkup(style, face_, name);
}

HTREEITEM SkinTree::insert(HTREEITEM parent, const std::string& markup, int image, LPARAM data) {
  TreeItemSpec spec{markup.c_str(), image, image, data, nullptr};
  return reinterpret_cast<HTREEITEM>(
      send(kTreeInsertItem, reinterpret_cast<WPARAM>(parent), reinterpret_cast<LPARAM>(&spec)));
}

HTREEITEM SkinTree::insert(HTREEITEM parent, TreeItemStyle style, std::string_view name, int image,
                           LPARAM data) {
  return insert(parent, itemMarkup(style, name), image, data);
}

void SkinTree::rename(HTREEITEM item, TreeItemStyle style, std::string_view name) {
  const std::string markup = itemMarkup(style, name);
  send(kTreeSetItemMarkup, reinterpret_cast<WPARAM>(item),
       reinterpret_cast<LPARAM>(markup.c_str()));
}

std::string SkinTree::markup(HTREEITEM item) const {
  char buffer[kMaxTreeItemBytes] = {};
  TreeText text{buffer, sizeof buffer};
  send(kTreeGetItemMarkup, reinterpret_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&text));
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::optional<LPARAM> SkinTree::data(HTREEITEM item) const {
  if (!item) return std::nullopt;
  TVITEMW read{};
  read.mask = TVIF_PARAM | TVIF_HANDLE;
  read.hItem = item;
  if (!send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read))) return std::nullopt;
  return read.lParam;
}

HTREEITEM SkinTree::next(HTREEITEM item, UINT relation) const {
  // Without an item the tree would answer for its first top-level one.
  if (!item && relation != TVGN_CARET && relation != TVGN_ROOT) return nullptr;
  return reinterpret_cast<HTREEITEM>(
      send(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM SkinTree::childWithData(HTREEITEM parent, LPARAM wanted) const {
  for (HTREEITEM child = firstChild(parent); child; child = nextSibling(child))
    if (data(child) == wanted) return child;
  return nullptr;
}

bool SkinTree::expanded(HTREEITEM item) const {
  return item && (send(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
                  TVIS_EXPANDED) != 0;
}

void SkinTree::expand(HTREEITEM item, bool open, int image) {
  send(TVM_EXPAND, open ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
  setImage(item, image);
}

void SkinTree::setImage(HTREEITEM item, int image) {
  TVITEMW change{};
  change.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
  change.hItem = item;
  change.iImage = change.iSelectedImage = image;
  send(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

void SkinTree::editLabel(HTREEITEM item) {
  if (!window()) return;
  SetFocus(window());
  send(TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(item));
}

bool SkinTree::remove(HTREEITEM item) {
  return item && send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)) != 0;
}

void SkinTree::removeChildren(HTREEITEM parent) {
  while (HTREEITEM child = firstChild(parent))
    if (!remove(child)) return;
}

void SkinTree::clear() { send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

void SkinTree::setRedraw(bool on) {
  send(WM_SETREDRAW, on ? TRUE : FALSE);
  if (on && window()) InvalidateRect(window(), nullptr, TRUE);
}

}  // namespace scribly
