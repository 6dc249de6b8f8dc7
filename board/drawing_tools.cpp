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
