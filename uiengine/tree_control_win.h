#pragma once
// The tree types: a standard tree view whose items carry markup (a name in
// its own colour, face and size), whose clicks and new labels reach the
// owner, and whose tips the owner writes.
#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "uiengine/item_markup.h"
#include "uiengine/standard_controls_win.h"

namespace scribly {

class TreeControl final : public StandardControl {
 public:
  TreeControl(Engine& engine, const ControlType& type, SkinControlOwner* owner)
      : StandardControl(engine, type, ControlKind::Tree, owner) {}

 private:
  // Trees open and close their items and take new labels from the user.
  DWORD kindStyle() const override {
    return TVS_HASBUTTONS | TVS_EDITLABELS | TVS_SHOWSELALWAYS | TVS_INFOTIP;
  }
  std::optional<LRESULT> kindMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::optional<LRESULT> notified(NMHDR* header) override;

  LRESULT onListOption(WPARAM option, LPARAM value);
  LRESULT onPictureFolder(WPARAM, LPARAM folder);
  LRESULT onInsertItem(WPARAM parent, LPARAM spec);
  LRESULT onGetItemMarkup(WPARAM item, LPARAM text);
  LRESULT onSetItemMarkup(WPARAM item, LPARAM markup);
  LRESULT onLabelEdited(WPARAM, LPARAM);

  void tipFromOwner(NMTVGETINFOTIPW* request);
  HFONT treeFont();
  // The font of a markup's face and size, made once per tree; null when the
  // markup names neither.
  HFONT markupFont(const ItemMarkup& markup);
  void applyItemLook(HTREEITEM item, const ItemMarkup& markup);
  // After the tree's own font changed: the faceless markup fonts follow it.
  void refreshItemLooks();

  std::map<HTREEITEM, std::string> markups_;
  struct ItemLook {
    std::optional<COLORREF> colour;
    HFONT font = nullptr;  // in markupFonts_
  };
  std::map<HTREEITEM, ItemLook> itemLooks_;
  std::map<std::pair<std::string, int>, Font> markupFonts_;
  ImageList pictures_;
  HTREEITEM editedItem_ = nullptr;
  bool labelEdited_ = false;  // the owner is yet to hear of a new label
  // Set while the program's own TVM_EDITLABEL runs: the only edits a tree
  // allows (the tree's own, on a slow second click, are refused).
  bool editAsked_ = false;
};

}  // namespace scribly
