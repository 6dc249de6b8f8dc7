// The choice tool: selecting what lies under the pointer, moving it or
// dragging a handle, and following the selection as peers change it.
#include "board/drawing_tools.h"
#include "objects/text_object.h"

namespace scribly {
namespace {

ToolCursor cursorFor(HandleCursor c) {
  switch (c) {
    case HandleCursor::SizeNwse:
      return ToolCursor::SizeNwse;
    case HandleCursor::SizeNs:
      return ToolCursor::SizeNs;
    case HandleCursor::SizeNesw:
      return ToolCursor::SizeNesw;
    case HandleCursor::SizeWe:
      return ToolCursor::SizeWe;
    case HandleCursor::Move:
      return ToolCursor::Move;
    case HandleCursor::None:
      break;
  }
  return ToolCursor::Arrow;
}

// Kinds whose set-points message names a handle and where it went.
bool movesByHandleIndex(ObjectKind kind) {
  return kind == ObjectKind::Pencil || kind == ObjectKind::Triangle;
}

}  // namespace

void DrawingTools::selectPress(Point p) {
  dragMode_ = DragMode::None;
  surroundings_.focusView();
  BoardObject* current = active();
  handle_ = current ? current->hitHandle(p) : kNoHandle;
  if (handle_ != kNoHandle) {
    // The centre handle shows the move cursor, so it moves the object.
    if (current->handleCursor(handle_) == HandleCursor::Move) {
      dragMode_ = DragMode::MoveObject;
      return;
    }
    if (current->kind() == ObjectKind::Image) {
      // Corner drags keep the proportions the picture has now.
      static_cast<ImageObject*>(current)->setReferenceSize();
    }
    dragMode_ = DragMode::MoveHandle;
    return;
  }
  if (current) invalidate(*current);
  const uint32_t before = drawing_ ? 0 : activeId_;
  if (!current || !current->hitTest(p)) activate(objectAt(p));
  BoardObject* hit = active();
  followSelection();
  if (!menuPress_ && hit && !drawing_ && activeId_ == before && hit->kind() == ObjectKind::Text) {
    editText(activeId_);
    return;
  }
  if (hit) {
    dragMode_ = DragMode::MoveObject;
    invalidate(*hit);
  }
}

void DrawingTools::selectMove(Point p) {
  BoardObject* object = active();
  if (surroundings_.holdsMouse()) {
    if (!object) return;
    if (dragMode_ == DragMode::MoveObject) {
      invalidate(*object);
      object->dragBy(lastPoint_, p);
      invalidate(*object);
    } else if (dragMode_ == DragMode::MoveHandle) {
      invalidate(*object);
      object->moveHandle(handle_, p);
      if (pressTool_ == kChoiceTool) cursor_ = cursorFor(object->handleCursor(handle_));
      // A full stroke is replaced by its continuation here.
      if (pressTool_ == kPencilTool || pressTool_ == kFreeCutTool) appendToStroke(p);
      if (BoardObject* now = active()) invalidate(*now);
    }
    return;
  }
  if (object) {
    const int handle = object->hitHandle(p);
    if (handle != kNoHandle) {
      cursor_ = cursorFor(object->handleCursor(handle));
      return;
    }
  }
  if (tool_ == kChoiceTool) cursor_ = ToolCursor::Arrow;
}

void DrawingTools::selectRelease(Point p) {
  if (p == pressPoint_ || pressPoint_ == lastPoint_) return;
  BoardObject* object = active();
  if (!object || drawing_) return;
  ObjectChange change;
  if (dragMode_ == DragMode::MoveObject) {
    change.code = MessageCode::kMoveTo;
    change.value = object->firstPoint().value;
  } else if (dragMode_ == DragMode::MoveHandle) {
    change.code = MessageCode::kSetPoints;
    if (movesByHandleIndex(object->kind())) {
      change.value = static_cast<uint32_t>(handle_);
      change.second = PackedPoint::pack(lastPoint_).value;
    } else {
      change.value = object->firstPoint().value;
      change.second = object->secondPoint().value;
    }
  } else {
    return;
  }
  board_.changeObject(activePage_, activeId_, change);
}

void DrawingTools::followSelection() {
  BoardObject* object = active();
  const SelectedObject now =
      object && !drawing_ ? SelectedObject{activePage_, activeId_} : SelectedObject{};
  if (object && now != followed_) {
    uint32_t bits = 0;
    uint32_t colour = 0, fill = 0, style = 0;
    uint8_t width = 0;
    FontRecord font;
    if (object->getColour(colour) && colour != pen_.colour) {
      pen_.colour = colour;
      bits |= kPenColourBit;
    }
    if (object->getFill(fill) && fill != pen_.fill) {
      pen_.fill = fill;
      bits |= kPenFillBit;
    }
    if (object->getPenWidth(width) && width != pen_.width) {
      pen_.width = width;
      bits |= kPenWidthBit;
    }
    if (object->getFont(font) && font != pen_.font) {
      pen_.font = font;
      bits |= kPenFontBit;
    }
    if (object->getPenStyle(style) && style != pen_.style) {
      pen_.style = style;
      bits |= kPenStyleBit;
    }
    // Every panel that shows a changed value repaints.
    if (bits != 0) surroundings_.penStateChanged(bits, pen_.style);
  }
  followed_ = now;

  if (!object) {
    surroundings_.selectionProperty(SelectionProperty::Brightness, 0);
    surroundings_.selectionProperty(SelectionProperty::Contrast, 0);
    surroundings_.selectionProperty(SelectionProperty::Picture, 0);
    return;
  }
  int32_t value = 0;
  if (object->getBrightness(value)) {
    surroundings_.selectionProperty(SelectionProperty::Brightness, static_cast<uint32_t>(value));
  }
  if (object->getContrast(value)) {
    surroundings_.selectionProperty(SelectionProperty::Contrast, static_cast<uint32_t>(value));
  }
  if (object->kind() == ObjectKind::Image) {
    surroundings_.selectionProperty(SelectionProperty::Picture, 0);
    surroundings_.selectionProperty(SelectionProperty::FirstPoint, object->firstPoint().value);
    surroundings_.selectionProperty(SelectionProperty::SecondPoint, object->secondPoint().value);
  }
}

void DrawingTools::editText(uint32_t objectId) {
  const auto* text = static_cast<const TextObject*>(board_.currentPage()->findObject(objectId));
  textEditPosition_ = toView(text->firstPoint().unpack());
  surroundings_.openTextEditor(textEditPosition_, text->font(), text->text());
  // The editor makes a new object when it closes.
  deleteActive();
}

}  // namespace scribly
