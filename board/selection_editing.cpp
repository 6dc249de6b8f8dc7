#include "board/selection_editing.h"

#include <utility>

namespace scribly {

std::optional<uint32_t> SelectionEditing::prepareContextMenu(Point view) {
  if (!tools_.menuClick(view)) return std::nullopt;
  return applicableItems();
}

uint32_t SelectionEditing::applicableItems() {
  uint32_t items =
      itemBit(ContextItem::Copy) | itemBit(ContextItem::Paste) | itemBit(ContextItem::Delete);
  const BoardObject* active = tools_.selection() ? tools_.activeObject() : nullptr;
  if (!active || active->kind() == ObjectKind::HandSymbol)
    items &= ~(itemBit(ContextItem::Copy) | itemBit(ContextItem::Delete));
  if (active && active->kind() == ObjectKind::Image)
    items |= itemBit(ContextItem::EditPicture) | itemBit(ContextItem::Turn) |
             itemBit(ContextItem::SaveTo);
  if (!copied_) items &= ~itemBit(ContextItem::Paste);
  return items;
}

void SelectionEditing::copy() { copied_ = tools_.selection(); }

bool SelectionEditing::paste() {
  if (!board_.privileges().write) return false;
  const std::optional<SelectedObject> copied = std::exchange(copied_, std::nullopt);
  if (!copied) return false;
  Page* page = board_.findPage(copied->page);
  const BoardObject* original = page ? page->findObject(copied->object) : nullptr;
  if (!original) return false;
  std::unique_ptr<BoardObject> clone = original->clone();
  if (!clone) return false;  // a hand symbol, or a picture without pixels
  return board_.commitObject(std::move(clone)) != 0;
}

void SelectionEditing::remove() {
  if (!board_.privileges().write) return;
  tools_.selectTool(kDeleteTool);
  tools_.deleteActive();
}

void SelectionEditing::turnRight() {
  constexpr int32_t kQuarterRight = 4;
  tools_.setPictureValue(MessageCode::kSetOrientation, kQuarterRight);
}

void SelectionEditing::selectionCleared() {
  if (copied_ && copied_ == tools_.selection()) copied_.reset();
}

}  // namespace scribly
