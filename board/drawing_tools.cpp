#include "board/drawing_tools.h"

#include <algorithm>
#include <vector>

#include "objects/hand_symbol_object.h"
#include "objects/pencil_object.h"
#include "objects/text_object.h"

namespace scribly {
namespace {

// Where the tool-bar commands and the free-form cut put what they insert.
constexpr Point kInsertCorner{4, 4};

struct ToolKey {
  uint32_t key;
  uint8_t tool;
};

// Letters and the codes the view also reports for them.
constexpr uint8_t kRectTool = toolCode(ObjectKind::Rect);
constexpr uint8_t kTriangleTool = toolCode(ObjectKind::Triangle);
constexpr ToolKey kToolKeys[] = {
    {69, kDeleteTool}, {101, kDeleteTool}, {82, kRectTool},     {114, kRectTool},
    {84, kTextTool},   {116, kTextTool},   {85, kTriangleTool}, {117, kTriangleTool},
    {86, kChoiceTool}, {118, kChoiceTool}, {89, kPencilTool},   {121, kPencilTool},
};

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

ObjectChange valueChange(MessageCode code, uint32_t value) {
  ObjectChange change;
  change.code = code;
  change.value = value;
  return change;
}

// Kinds whose set-points message names a handle and where it went.
bool movesByHandleIndex(ObjectKind kind) {
  return kind == ObjectKind::Pencil || kind == ObjectKind::Triangle;
}

}  // namespace

DrawingTools::DrawingTools(Board& board, ToolSurroundings& surroundings, uint32_t colourSeed)
    : board_(board), surroundings_(surroundings), factory_(board.measurer()) {
  pen_.colour = initialPenColour(colourSeed);
  board_.setChangeListener(this);
}

DrawingTools::~DrawingTools() { board_.setChangeListener(nullptr); }

// --- Coordinates and the active object -----------------------------------------

Point DrawingTools::toPage(Point view) const {
  // The offsets are the negated scroll positions.
  return {std::max(0, view.x - board_.scrollOffset(ScrollBar::Horizontal)),
          std::max(0, view.y - board_.scrollOffset(ScrollBar::Vertical))};
}

Point DrawingTools::toView(Point page) const {
  return {page.x + board_.scrollOffset(ScrollBar::Horizontal),
          page.y + board_.scrollOffset(ScrollBar::Vertical)};
}

BoardObject* DrawingTools::active() {
  if (!drawing_ && activeId_ == 0) return nullptr;
  Page* page = board_.currentPage();
  if (!page || page->id() != activePage_) {
    forget();
    return nullptr;
  }
  if (drawing_) return drawing_.get();
  BoardObject* object = page->findObject(activeId_);
  if (!object) forget();
  return object;
}

void DrawingTools::activate(uint32_t objectId) {
  drawing_.reset();
  activeId_ = objectId;
  activePage_ = board_.currentPageId();
}

void DrawingTools::forget() {
  drawing_.reset();
  activeId_ = 0;
}

std::optional<SelectedObject> DrawingTools::selection() {
  if (!active() || drawing_) return std::nullopt;
  return SelectedObject{activePage_, activeId_};
}

void DrawingTools::invalidate(const BoardObject& object) {
  object.invalidate(board_.view(), board_.scrollOffset(ScrollBar::Horizontal),
                    board_.scrollOffset(ScrollBar::Vertical), true);
}

uint32_t DrawingTools::objectAt(Point p) {
  Page* page = board_.currentPage();
  if (!page) return 0;
  const auto& objects = page->objects();
  for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
    if (it->object->hitTest(p)) return it->id;
  }
  return 0;
}

ToolSettings DrawingTools::settings() const {
  return {.width = pen_.width, .style = pen_.style, .colour = pen_.colour, .fill = pen_.fill};
}

void DrawingTools::reset() {
  forget();
  followed_ = {};
  dragMode_ = DragMode::None;
  handle_ = kNoHandle;
  pressed_ = false;
  cursor_ = ToolCursor::Arrow;
}

// --- Mouse -----------------------------------------------------------------------

void DrawingTools::mouseDown(Point view) {
  const Point p = toPage(view);
  if (!mayWrite()) {
    if (surroundings_.holdsMouse()) surroundings_.releaseMouse();
    surroundings_.enableDrawing(false);
    return;
  }
  // A page change a peer asked for during an earlier press happens first.
  board_.releaseMouse();
  surroundings_.captureMouse();
  pressPoint_ = p;
  lastPoint_ = p;
  pressTool_ = tool_;
  if (tool_ == kChoiceTool) {
    selectPress(p);
  } else if (tool_ != kDeleteTool) {
    createPress(p);
  }
  board_.pressMouse();
  pressed_ = true;
}

void DrawingTools::mouseMove(Point view) {
  const Point p = toPage(view);
  const uint8_t tool = pressed_ ? pressTool_ : tool_;
  if (tool == kChoiceTool) {
    selectMove(p);
  } else if (tool == kDeleteTool) {
    deleteHover(p);
  } else if (tool != kImageTool && tool != kTextTool) {
    cursor_ = ToolCursor::CrossHair;
    selectMove(p);
  }
  lastPoint_ = p;
}

void DrawingTools::mouseUp(Point view) {
  const Point p = toPage(view);
  // The release point is the hand's last movement, which the polling may not
  // have taken yet: the stroke or the move ends where the button went up.
  if (pressed_ && p != lastPoint_) mouseMove(view);
  // A press refused for want of the write privilege has nothing to finish.
  if (pressed_) {
    if (pressTool_ == kChoiceTool) {
      selectRelease(p);
    } else if (pressTool_ == kDeleteTool) {
      deleteActive();
    } else {
      createRelease(p);
    }
  }
  cursor_ = ToolCursor::Arrow;
  surroundings_.releaseMouse();
  pressed_ = false;
  dragMode_ = DragMode::None;
  board_.releaseMouse();
  if (!mayWrite()) surroundings_.enableDrawing(false);
}

void DrawingTools::mouseLeft() {
  if (pressed_) return;
  if (tool_ == kDeleteTool) {
    if (BoardObject* marked = active()) invalidate(*marked);
    forget();
  }
  cursor_ = ToolCursor::Arrow;
}

bool DrawingTools::menuClick(Point view) {
  if (!mayWrite()) return false;
  tool_ = kChoiceTool;
  // A whole click: a press left open would hold peers' page changes back
  // until some later release.
  menuPress_ = true;
  mouseDown(view);
  mouseUp(view);
  menuPress_ = false;
  return true;
}

void DrawingTools::writePrivilegeChanged(bool hadWrite) {
  const bool write = mayWrite();
  if (write && !hadWrite) {
    surroundings_.enableDrawing(true);
  } else if (!write && hadWrite && !pressed_) {
    if (surroundings_.holdsMouse()) surroundings_.releaseMouse();
    surroundings_.enableDrawing(false);
  }
}

void DrawingTools::keyDown(uint32_t virtualKey) {
  for (const ToolKey& k : kToolKeys) {
    if (k.key != virtualKey) continue;
    tool_ = k.tool;
    surroundings_.toolButtonChanged(virtualKey);
    return;
  }
}

void DrawingTools::backToChoice() {
  tool_ = kChoiceTool;
  surroundings_.toolButtonChanged(0);
}

// --- Selecting and moving --------------------------------------------------------

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

// --- Deleting --------------------------------------------------------------------

void DrawingTools::deleteHover(Point p) {
  if (BoardObject* marked = active()) invalidate(*marked);
  activate(objectAt(p));
  if (BoardObject* marked = active()) invalidate(*marked);
  cursor_ = ToolCursor::Arrow;
}

void DrawingTools::deleteActive() {
  BoardObject* object = active();
  if (!object) return;
  if (drawing_) {
    invalidate(*object);
  } else {
    board_.deleteObject(activePage_, activeId_);
  }
  forget();
}

bool DrawingTools::stepHistory(bool back) {
  if (pressed_ || drawing_) return false;
  // The selection's marks go with the object or follow it.
  if (BoardObject* selected = active()) invalidate(*selected);
  const bool applied = back ? board_.undo() : board_.redo();
  if (BoardObject* selected = active()) invalidate(*selected);
  return applied;
}

// --- Creating --------------------------------------------------------------------

void DrawingTools::createPress(Point p) {
  if (tool_ == kImageTool) {
    // The dialog takes the pointer that the press captured.
    surroundings_.releaseMouse();
    choosePicture(toView(p));
    return;
  }
  if (tool_ == kTextTool) {
    textEditPosition_ = toView(p);
    surroundings_.openTextEditor(textEditPosition_, pen_.font, {});
    return;
  }
  ToolStart start = factory_.startFromTool(tool_, p, settings());
  if (!start.object) return;
  handle_ = start.dragHandle;
  dragMode_ = DragMode::MoveHandle;
  if (BoardObject* previous = active()) invalidate(*previous);
  activate(0);
  drawing_ = std::move(start.object);
}

void DrawingTools::appendToStroke(Point p) {
  if (!drawing_ || drawing_->kind() != ObjectKind::Pencil) return;
  auto* stroke = static_cast<PencilObject*>(drawing_.get());
  if (stroke->addPoint(p) || stroke->points().size() < PencilObject::kMaxPoints) return;
  // A full stroke goes to the page and a new one carries on from its end,
  // so a long stroke is never cut short. A cut's outline stays one piece.
  if (pressTool_ != kPencilTool) return;
  const Point joint = stroke->points().back();
  ToolSettings carried;
  stroke->getPenWidth(carried.width);
  stroke->getPenStyle(carried.style);
  stroke->getColour(carried.colour);
  board_.commitObject(std::move(drawing_));
  ToolStart next = factory_.startFromTool(kPencilTool, joint, carried);
  static_cast<PencilObject*>(next.object.get())->addPoint(p);
  drawing_ = std::move(next.object);
}

void DrawingTools::createRelease(Point p) {
  if (!active() || !drawing_) return;
  invalidate(*drawing_);
  if (p != pressPoint_ && pressPoint_ != lastPoint_) {
    if (pressTool_ == kFreeCutTool && drawing_->kind() == ObjectKind::Pencil) {
      freeCut();
    } else {
      board_.commitObject(std::move(drawing_));
      forget();
    }
    return;
  }
  // A click without a drag selects what lies under it rather than making a
  // shape of no size.
  forget();
  selectPress(p);
  if (active()) backToChoice();
}

void DrawingTools::freeCut() {
  const auto stroke = std::move(drawing_);
  forget();
  std::vector<Point> outline;
  for (Point q : static_cast<const PencilObject&>(*stroke).points()) outline.push_back(toView(q));
  // Fewer than three points enclose nothing.
  if (outline.size() >= 3) {
    auto picture = std::make_unique<ImageObject>();
    // The cut ends a drag, which may finish after the privilege went.
    if (surroundings_.cutFromView(*picture, outline, toPage(kInsertCorner))) {
      placePicture(std::move(picture));
    }
  }
  backToChoice();
}

// --- Insertion -------------------------------------------------------------------

bool DrawingTools::choosePicture(Point view) {
  if (!mayWrite()) return false;
  const std::optional<std::string> path = surroundings_.choosePictureFile();
  return path && insertPictureFile(*path, view);
}

bool DrawingTools::insertPictureFile(const std::string& path, Point view) {
  if (!mayWrite()) return false;
  auto picture = std::make_unique<ImageObject>();
  if (!surroundings_.loadPictureFile(*picture, path, toPage(view))) return false;
  return placePicture(std::move(picture));
}

bool DrawingTools::insertPicture(std::unique_ptr<ImageObject> picture) {
  return mayWrite() && placePicture(std::move(picture));
}

bool DrawingTools::placePicture(std::unique_ptr<ImageObject> picture) {
  if (!picture || !picture->hasPixels()) return false;
  return selectCommitted(board_.commitObject(std::move(picture)));
}

bool DrawingTools::selectCommitted(uint32_t objectId) {
  if (objectId == 0) return false;
  // The old selection loses its marks; the commit showed the new object.
  if (BoardObject* previous = active()) invalidate(*previous);
  activate(objectId);
  return true;
}

bool DrawingTools::insertText(std::string_view utf8, Point view) {
  if (utf8.empty() || !mayWrite()) return false;
  auto text = std::make_unique<TextObject>(board_.measurer());
  text->moveTo(PackedPoint::pack(toPage(view)));
  text->setFill(pen_.fill);
  text->setColour(pen_.colour);
  text->setFont(pen_.font);
  text->setText(utf8);
  return board_.commitObject(std::move(text)) != 0;
}

bool DrawingTools::insertHandSymbol(Point view) {
  if (!mayWrite()) return false;
  auto hand =
      std::make_unique<HandSymbolObject>(board_.myUserId(), toPage(view), board_.measurer());
  hand->setLabel(board_.userName(board_.myUserId()));
  hand->setFont(pen_.font);
  hand->setFill(pen_.fill);
  hand->setColour(pen_.colour);
  return selectCommitted(board_.commitObject(std::move(hand)));
}

void DrawingTools::insertImageCommand() {
  choosePicture(kInsertCorner);
  backToChoice();
}

void DrawingTools::insertHandSymbolCommand() {
  insertHandSymbol(kInsertCorner);
  backToChoice();
}

// --- Pen -------------------------------------------------------------------------

void DrawingTools::applyToSelection(const ObjectChange& change) {
  // Without the write privilege the pen changes, the page does not.
  if (mayWrite() && selection()) board_.changeObject(activePage_, activeId_, change);
}

void DrawingTools::setColour(uint32_t colour) {
  pen_.colour = colour;
  applyToSelection(valueChange(MessageCode::kSetColor, colour));
}

void DrawingTools::setFill(uint32_t fill) {
  pen_.fill = fill;
  applyToSelection(valueChange(MessageCode::kSetFill, fill));
}

void DrawingTools::setWidth(uint8_t width) {
  pen_.width = width;
  applyToSelection(valueChange(MessageCode::kSetWidth, width));
}

void DrawingTools::setStyle(uint32_t style) {
  pen_.style = style;
  applyToSelection(valueChange(MessageCode::kSetStyle, style));
}

void DrawingTools::setFont(const FontRecord& font) {
  pen_.font = font;
  ObjectChange change = valueChange(MessageCode::kSetFont, 0);
  change.font = font;
  applyToSelection(change);
}

void DrawingTools::setPictureValue(MessageCode code, int32_t value) {
  if (!PenState::isPictureCode(code)) return;
  pen_.pictureValue(code) = value;
  applyToSelection(valueChange(code, static_cast<uint32_t>(value)));
}

uint32_t DrawingTools::paperColour() const {
  const Page* page = board_.currentPage();
  return page ? page->paperColour() : kPaperWhite;
}

uint32_t DrawingTools::editBrushColour() const {
  return pen_.fill != 0 ? pen_.fill : paperColour();
}

void DrawingTools::peerChangedObject(uint32_t pageId, uint32_t objectId, MessageCode code) {
  if (drawing_ || objectId == 0 || objectId != activeId_ || pageId != activePage_) return;
  const BoardObject* object = active();
  if (!object) return;
  uint32_t bits = 0;
  switch (code) {
    case MessageCode::kSetColor:
      if (object->getColour(pen_.colour)) bits = kPenColourBit;
      break;
    case MessageCode::kSetFill:
      if (object->getFill(pen_.fill)) bits = kPenFillBit;
      break;
    case MessageCode::kSetWidth:
      if (object->getPenWidth(pen_.width)) bits = kPenWidthBit;
      break;
    case MessageCode::kSetFont:
      if (object->getFont(pen_.font)) bits = kPenFontBit;
      break;
    case MessageCode::kSetStyle:
      // The line-style buttons show the selection's style too.
      if (object->getPenStyle(pen_.style)) {
        surroundings_.penStateChanged(kPenStyleBit, pen_.style);
      }
      return;
    default:
      return;
  }
  if (bits != 0) surroundings_.penStateChanged(bits, 0);
}

// --- Painting --------------------------------------------------------------------

void DrawingTools::paint(Canvas& canvas, const Rect& area, const std::optional<Rect>& dirty) {
  board_.paint(canvas, area, dirty);
  paintActive(canvas);
}

void DrawingTools::paintActive(Canvas& canvas) {
  BoardObject* object = active();
  if (!object) return;
  const DrawMode mode = tool_ == kDeleteTool ? DrawMode::Selected : DrawMode::SelectedWithHandles;
  object->draw(&canvas, mode, paperColour(), true);
}

}  // namespace scribly
