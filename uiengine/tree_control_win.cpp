#include "uiengine/tree_control_win.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <utility>

#include "skin/skin_layout.h"
#include "uiengine/control_fonts_win.h"
#include "uiengine/engine_win.h"
#include "win/text.h"

namespace scribly {
namespace {

// A tree item in a large font takes at most this many rows.
constexpr int kMaxItemRows = 8;
// A tree posts this to itself to tell its owner of an edited label once the
// label is in place; one posted by anybody else finds no label waiting.
constexpr UINT kLabelEditedNote = WM_APP + 0x5C7;

}  // namespace

std::optional<LRESULT> TreeControl::kindMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  static constexpr MessageHandler<TreeControl> kEngineMessages[] = {
      {kEngineTreeListOption, &TreeControl::onListOption},
      {kTreeSetPictureFolder, &TreeControl::onPictureFolder},
      {kTreeInsertItem, &TreeControl::onInsertItem},
      {kTreeGetItemMarkup, &TreeControl::onGetItemMarkup},
      {kTreeSetItemMarkup, &TreeControl::onSetItemMarkup},
      {kLabelEditedNote, &TreeControl::onLabelEdited},
  };
  if (auto result = runHandler(*this, kEngineMessages, message, wParam, lParam)) return result;
  switch (message) {
    case TVM_EDITLABELW:
    case TVM_EDITLABELA: {
      editAsked_ = true;
      const LRESULT edit = callDefault(message, wParam, lParam);
      editAsked_ = false;
      return edit;
    }
    case WM_SETFONT: {
      const LRESULT result = callDefault(message, wParam, lParam);
      refreshItemLooks();
      return result;
    }
    default:
      return std::nullopt;
  }
}

LRESULT TreeControl::onListOption(WPARAM option, LPARAM value) {
  if (option == kTreeListLines) {
    const LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    SetWindowLongPtrW(hwnd(), GWL_STYLE, value ? style | TVS_HASLINES : style & ~TVS_HASLINES);
  }
  return 0;
}

LRESULT TreeControl::onPictureFolder(WPARAM, LPARAM folder) {
  if (!folder) return 0;
  constexpr int kMaxPictures = 100;
  const int side = MulDiv(16, engine().dpi(), 96);
  pictures_.reset(ImageList_Create(side, side, ILC_COLOR32 | ILC_MASK, kMaxPictures, 0));
  if (!pictures_) return 0;
  const std::wstring base = toWide(reinterpret_cast<const char*>(folder), kCodePageSystem) + L"\\";
  WindowDc screen(nullptr);
  for (int n = 0; n < kMaxPictures; ++n) {
    const std::wstring path = base + std::to_wstring(n) + L".bmp";
    Bitmap picture(static_cast<HBITMAP>(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, side, side, LR_LOADFROMFILE)));
    // Missing numbers keep their place with an empty picture.
    if (!picture) picture.reset(CreateCompatibleBitmap(screen.get(), side, side));
    ImageList_AddMasked(pictures_.get(), picture.get(), RGB(255, 0, 255));
  }
  SendMessageW(hwnd(), TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(pictures_.get()));
  return 0;
}

LRESULT TreeControl::onInsertItem(WPARAM parent, LPARAM specParam) {
  const auto* spec = reinterpret_cast<const TreeItemSpec*>(specParam);
  if (!spec || !spec->markup) return 0;
  const ItemMarkup markup = parseItemMarkup(spec->markup);
  std::wstring name = toWide(markup.name);
  TVINSERTSTRUCTW insert = {};
  insert.hParent = parent ? reinterpret_cast<HTREEITEM>(parent) : TVI_ROOT;
  insert.hInsertAfter = spec->after ? spec->after : TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = name.data();
  insert.item.iImage = spec->image;
  insert.item.iSelectedImage = spec->selectedImage;
  insert.item.lParam = spec->data;
  auto* made = reinterpret_cast<HTREEITEM>(
      callDefault(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  if (made) {
    markups_[made] = std::string(spec->markup).substr(0, kMaxItemMarkupBytes);
    applyItemLook(made, markup);
  }
  return reinterpret_cast<LRESULT>(made);
}

LRESULT TreeControl::onGetItemMarkup(WPARAM item, LPARAM textParam) {
  auto it = markups_.find(reinterpret_cast<HTREEITEM>(item));
  const auto* text = reinterpret_cast<const TreeText*>(textParam);
  if (it == markups_.end() || !text) return 0;
  if (text->buffer && text->size > 0) {
    const std::string_view cut = cutUtf8(it->second, text->size - 1);
    std::memcpy(text->buffer, cut.data(), cut.size());
    text->buffer[cut.size()] = '\0';
  }
  return static_cast<LRESULT>(it->second.size());
}

LRESULT TreeControl::onSetItemMarkup(WPARAM itemParam, LPARAM markupParam) {
  auto* item = reinterpret_cast<HTREEITEM>(itemParam);
  if (!markupParam || markups_.find(item) == markups_.end()) return 0;
  const std::string markup =
      std::string(reinterpret_cast<const char*>(markupParam)).substr(0, kMaxItemMarkupBytes);
  const ItemMarkup parsed = parseItemMarkup(markup);
  std::wstring name = toWide(parsed.name);
  TVITEMW change = {};
  change.mask = TVIF_TEXT;
  change.hItem = item;
  change.pszText = name.data();
  callDefault(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
  markups_[item] = markup;
  applyItemLook(item, parsed);
  InvalidateRect(hwnd(), nullptr, TRUE);
  return 1;
}

LRESULT TreeControl::onLabelEdited(WPARAM, LPARAM) {
  if (std::exchange(labelEdited_, false)) SendMessageW(hwnd(), kTreeNotify, 1, kTreeLabelEdited);
  return 0;
}

std::optional<LRESULT> TreeControl::notified(NMHDR* header) {
  switch (header->code) {
    case NM_CUSTOMDRAW: {
      auto* draw = reinterpret_cast<NMTVCUSTOMDRAW*>(header);
      if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
      if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
      auto it = itemLooks_.find(reinterpret_cast<HTREEITEM>(draw->nmcd.dwItemSpec));
      if (it == itemLooks_.end()) return CDRF_DODEFAULT;
      if (it->second.colour && !(draw->nmcd.uItemState & CDIS_SELECTED))
        draw->clrText = *it->second.colour;
      if (!it->second.font) return CDRF_DODEFAULT;
      // The tree puts its own font back after the item.
      SelectObject(draw->nmcd.hdc, it->second.font);
      return CDRF_NEWFONT;
    }
    case NM_CLICK:
    case NM_RCLICK: {
      // The item under the pointer becomes current before the owner hears.
      TVHITTESTINFO hit = {};
      GetCursorPos(&hit.pt);
      ScreenToClient(hwnd(), &hit.pt);
      auto* item = reinterpret_cast<HTREEITEM>(
          SendMessageW(hwnd(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
      if (item) SendMessageW(hwnd(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
      SendMessageW(hwnd(), kTreeNotify, 1, header->code == NM_CLICK ? kTreeClick : kTreeRightClick);
      return header->code == NM_RCLICK ? 1 : 0;
    }
    case TVN_GETINFOTIPW:
      tipFromOwner(reinterpret_cast<NMTVGETINFOTIPW*>(header));
      return 0;
    case TVN_BEGINLABELEDITW:
      if (!editAsked_) return TRUE;
      editedItem_ = reinterpret_cast<NMTVDISPINFOW*>(header)->item.hItem;
      return FALSE;
    case TVN_ENDLABELEDITW: {
      auto* edit = reinterpret_cast<NMTVDISPINFOW*>(header);
      // The tree may end one edit twice (the edit box losing the focus as it
      // goes): the owner hears of it once.
      const bool first = edit->item.hItem == editedItem_;
      editedItem_ = nullptr;
      if (!edit->item.pszText || !first) return edit->item.pszText != nullptr;
      auto it = markups_.find(edit->item.hItem);
      if (it != markups_.end())
        it->second = renameItemMarkup(it->second, fromWide(edit->item.pszText));
      // The new label is in place once this returns TRUE; the owner hears
      // after.
      labelEdited_ = true;
      PostMessageW(hwnd(), kLabelEditedNote, 0, 0);
      return TRUE;
    }
    case TVN_DELETEITEMW: {
      const auto* removed = reinterpret_cast<NMTREEVIEWW*>(header);
      markups_.erase(removed->itemOld.hItem);
      itemLooks_.erase(removed->itemOld.hItem);
      return 0;
    }
    default:
      return 0;
  }
}

void TreeControl::tipFromOwner(NMTVGETINFOTIPW* request) {
  if (!request->pszText || request->cchTextMax <= 0) return;
  request->pszText[0] = L'\0';
  // The owner writes a tip markup for the item under the pointer and answers
  // 2; the words inside its "font" elements are what the tip shows.
  std::array<char, kMaxTipMarkupBytes + 1> markup{};
  if (SendMessageW(hwnd(), kTreeTipRequest, reinterpret_cast<WPARAM>(markup.data()),
                   static_cast<LPARAM>(kMaxTipMarkupBytes)) != kTipWritten)
    return;
  markup.back() = '\0';
  const TipMarkup tip = parseTipMarkup(markup.data());
  // The tree's tooltip measures the text with the font it has when it asks,
  // so the tip comes out sized to its font.
  if (const auto tooltip = reinterpret_cast<HWND>(callDefault(TVM_GETTOOLTIPS, 0, 0))) {
    const HFONT font = markupFont(tip);
    SendMessageW(tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : treeFont()), FALSE);
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, tip.width > 0 ? tip.width : kTipWidth);
    SendMessageW(tooltip, TTM_SETTIPTEXTCOLOR,
                 tip.colour != kNoColour ? rgbOf(tip.colour) : GetSysColor(COLOR_INFOTEXT), 0);
  }
  const std::wstring text = toWide(tip.name);
  const size_t n = std::min(text.size(), static_cast<size_t>(request->cchTextMax - 1));
  text.copy(request->pszText, n);
  request->pszText[n] = L'\0';
}

HFONT TreeControl::treeFont() {
  const auto font = reinterpret_cast<HFONT>(callDefault(WM_GETFONT, 0, 0));
  return font ? font : defaultFont();
}

HFONT TreeControl::markupFont(const ItemMarkup& markup) {
  if (markup.face.empty() && markup.size <= 0) return nullptr;
  auto key = std::make_pair(markup.face, std::max(markup.size, 0));
  auto it = markupFonts_.find(key);
  if (it == markupFonts_.end()) {
    Font made = pointFont(treeFont(), markup.face, markup.size, engine().dpi());
    if (!made) return nullptr;
    it = markupFonts_.emplace(std::move(key), std::move(made)).first;
  }
  return it->second.get();
}

void TreeControl::applyItemLook(HTREEITEM item, const ItemMarkup& markup) {
  ItemLook look;
  if (markup.colour != kNoColour) look.colour = rgbOf(markup.colour);
  look.font = markupFont(markup);
  if (look.colour || look.font)
    itemLooks_[item] = look;
  else
    itemLooks_.erase(item);
  // All rows of a tree are one height: an item in a taller font takes as many
  // as its letters need (the leading above them may be cut).
  int rows = 1;
  const int rowHeight = static_cast<int>(callDefault(TVM_GETITEMHEIGHT, 0, 0));
  if (look.font && rowHeight > 0) {
    ScreenDc screen;
    ScopedSelect selected(screen.get(), look.font);
    TEXTMETRICW metrics = {};
    if (GetTextMetricsW(screen.get(), &metrics))
      rows = std::clamp<int>(
          (metrics.tmHeight - metrics.tmInternalLeading + rowHeight - 1) / rowHeight, 1,
          kMaxItemRows);
  }
  TVITEMEXW change = {};
  change.mask = TVIF_HANDLE | TVIF_INTEGRAL;
  change.hItem = item;
  change.iIntegral = rows;
  callDefault(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

void TreeControl::refreshItemLooks() {
  // The tooltip may hold one of the fonts about to go.
  if (const auto tooltip = reinterpret_cast<HWND>(callDefault(TVM_GETTOOLTIPS, 0, 0)))
    SendMessageW(tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(treeFont()), FALSE);
  itemLooks_.clear();
  markupFonts_.clear();
  for (const auto& [item, markup] : markups_) applyItemLook(item, parseItemMarkup(markup));
}

}  // namespace scribly
