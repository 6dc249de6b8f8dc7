#pragma once
// What the view's context menu does to the selection: copy and paste (one
// paste per copy), delete, the quarter turn, and which of its items apply to
// what lies under the pointer.
#include <cstdint>
#include <optional>
#include <string_view>

#include "board/board.h"
#include "board/drawing_tools.h"

namespace scribly {

// The context menu's items by their index in the menu.
enum class ContextItem : uint8_t {
  Copy = 0,
  Paste = 1,
  Delete = 2,
  EditPicture = 3,
  Turn = 4,
  SaveTo = 5
};
inline constexpr std::string_view kContextItemNames[] = {"copy",    "paste",    "delete",
                                                         "editpic", "rotate90", "saveto"};
inline constexpr uint32_t itemBit(ContextItem item) { return 1u << static_cast<uint8_t>(item); }

class SelectionEditing {
 public:
  SelectionEditing(Board& board, DrawingTools& tools) : board_(board), tools_(tools) {}

  // The right button at a view point: "choice" in hand and the object there
  // selected, as a click would. Answers the items that apply (itemBit), or
  // nothing without the write privilege: then no menu opens.
  std::optional<uint32_t> prepareContextMenu(Point view);
  uint32_t applicableItems();

  // The copy is a reference to the object by page and id: an object gone by
  // any route (a peer's delete, the delete tool, a page removal, a reset)
  // simply is not found when pasting.
  void copy();
  // A clone of the copied object over it, on the current page, sent as any
  // new object; the copy is forgotten either way. False when nothing was
  // pasted. These commands need the write privilege when they run: the menu
  // may have stayed open while it went.
  bool paste();
  // Removes the selection with the delete tool, which stays in hand.
  void remove();
  // Turns the selected picture a quarter to the right, for every board.
  void turnRight();
  bool hasCopy() const { return copied_.has_value(); }
  // Clearing the page forgets a copy of the selection.
  void selectionCleared();

 private:
  Board& board_;
  DrawingTools& tools_;
  std::optional<SelectedObject> copied_;
};

}  // namespace scribly
