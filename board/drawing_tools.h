#pragma once
// The tools and the mouse over the board: which tool is in hand, the pen that
// new objects take, and the press, drag and release that create, select,
// move, resize and delete objects on the current page. Positions arrive in
// view coordinates and become page points through the board's scroll offsets.
//
// The active object is either a new object being drawn (owned here, not yet
// on a page) or an object of the current page, held by id: a peer's message
// may delete it or change the page at any time, so it is looked up anew on
// every use and forgotten when it is gone.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "board/board.h"
#include "board/pen_state.h"
#include "board/tool_seams.h"
#include "objects/image_object.h"
#include "objects/object_factory.h"

namespace scribly {

// Tool codes are the kinds of object the tools make (see tool_table.h).
constexpr uint8_t toolCode(ObjectKind kind) { return static_cast<uint8_t>(kind); }
inline constexpr uint8_t kChoiceTool = toolCode(ObjectKind::Choice);
inline constexpr uint8_t kDeleteTool = toolCode(ObjectKind::Delete);
inline constexpr uint8_t kPencilTool = toolCode(ObjectKind::Pencil);
inline constexpr uint8_t kImageTool = toolCode(ObjectKind::Image);
inline constexpr uint8_t kTextTool = toolCode(ObjectKind::Text);
inline constexpr uint8_t kFreeCutTool = toolCode(ObjectKind::FreeCut);

// The cursor the view shows; the Win32 side maps it to a cursor handle.
enum class ToolCursor : uint8_t { Arrow, CrossHair, SizeNwse, SizeNs, SizeNesw, SizeWe, Move };

enum class DragMode : uint8_t { None, MoveObject, MoveHandle };

struct SelectedObject {
  uint32_t page = 0;
  uint32_t object = 0;
  friend bool operator==(const SelectedObject&, const SelectedObject&) = default;
};

class DrawingTools final : public ObjectChangeListener {
 public:
  // Listens to the board for peers' changes until destroyed.
  DrawingTools(Board& board, ToolSurroundings& surroundings, uint32_t colourSeed = clockSeed());
  ~DrawingTools() override;
  DrawingTools(const DrawingTools&) = delete;
  DrawingTools& operator=(const DrawingTools&) = delete;

  // --- Tools -----------------------------------------------------------------
  // Any code is stored; one that makes nothing draws nothing.
  void selectTool(uint8_t tool) { tool_ = tool; }
  uint8_t tool() const { return tool_; }
  // Shortcut keys choose a tool and tell the frame; others do nothing.
  void keyDown(uint32_t virtualKey);

  // --- Pen -------------------------------------------------------------------
  // Each setter stores the value and hands it to the selected object, which
  // peers then receive when it changed.
  const PenState& pen() const { return pen_; }
  void setColour(uint32_t colour);
  void setFill(uint32_t fill);
  void setWidth(uint8_t width);
  void setStyle(uint32_t style);
  void setFont(const FontRecord& font);
  // Orientation, adjustment, brightness or contrast; other codes are ignored.
  void setPictureValue(MessageCode code, int32_t value);
  // The in-place editor's background: the fill, or the paper while unfilled.
  uint32_t editBrushColour() const;
  // The current page's paper (white without a page).
  uint32_t paperColour() const;

  // --- Mouse, in view coordinates ---------------------------------------------
  void mouseDown(Point view);
  void mouseMove(Point view);
  void mouseUp(Point view);
  // The pointer left the view: a hover mark goes, a drag goes on.
  void mouseLeft();
  // The right button: "choice" in hand and the object under the pointer
  // selected, as a click would, but a selected text stays as it is. False
  // without the write privilege (nothing is selected then).
  bool menuClick(Point view);
  bool pressed() const { return pressed_; }
  DragMode dragMode() const { return dragMode_; }
  ToolCursor cursor() const { return cursor_; }
  // Call after the board took a new privilege word. Without the write
  // privilege drawing is switched off, at once or when a drag ends.
  void writePrivilegeChanged(bool hadWrite);

  // --- Insertion, at view points ---------------------------------------------
  // Each needs the write privilege at the moment it commits: a dialog or
  // the editor may have stayed open while the privilege went.
  // The person chooses a picture file; it is inserted and selected.
  bool choosePicture(Point view);
  bool insertPictureFile(const std::string& path, Point view);
  // A picture with its pixels and place; committed and selected.
  bool insertPicture(std::unique_ptr<ImageObject> picture);
  // The in-place editor's text; empty text makes nothing. Not selected.
  bool insertText(std::string_view utf8, Point view);
  bool insertHandSymbol(Point view);
  // The tool-bar commands: insert at the view's corner, then "choice".
  void insertImageCommand();
  void insertHandSymbolCommand();
  Point textEditPosition() const { return textEditPosition_; }

  // --- Selection -------------------------------------------------------------
  // The object drawn or selected, if any.
  BoardObject* activeObject() { return active(); }
  // The selected object of the current page, if any (not one being drawn).
  std::optional<SelectedObject> selection();
  // Removes the active object, sending its deletion when it was on a page.
  void deleteActive();
  // Forgets everything in hand (the board was reset).
  void reset();
  // Takes back, or makes again, this participant's last step on the page
  // (see Board::undo); not while a press draws or drags.
  bool undo() { return stepHistory(true); }
  bool redo() { return stepHistory(false); }

  // --- View ------------------------------------------------------------------
  // The current page with the active object on top; `area` is in page
  // coordinates.
  void paint(Canvas& canvas, const Rect& area, const std::optional<Rect>& dirty = std::nullopt);
  // The active object alone, as it shows over the page.
  void paintActive(Canvas& canvas);
  Point toPage(Point view) const;
  Point toView(Point page) const;

  // ObjectChangeListener: the panels follow a peer's change of the selection.
  void peerChangedObject(uint32_t pageId, uint32_t objectId, MessageCode code) override;

 private:
  BoardObject* active();
  // Makes a page object the active one; 0 forgets.
  void activate(uint32_t objectId);
  void forget();
  void invalidate(const BoardObject& object);
  // The topmost object of the current page under p, or 0.
  uint32_t objectAt(Point p);
  ToolSettings settings() const;

  void selectPress(Point p);
  void selectMove(Point p);
  void selectRelease(Point p);
  void createPress(Point p);
  void createRelease(Point p);
  void deleteHover(Point p);
  void appendToStroke(Point p);
  void freeCut();
  void editText(uint32_t objectId);
  // Selects an object just committed (0: the commit failed, false).
  bool selectCommitted(uint32_t objectId);
  bool placePicture(std::unique_ptr<ImageObject> picture);
  bool mayWrite() const { return board_.privileges().write; }
  // The pen takes the selection's values, and the panels are told.
  void followSelection();
  void applyToSelection(const ObjectChange& change);
  // Switches to "choice" as the frame's button would.
  void backToChoice();
  bool stepHistory(bool back);

  Board& board_;
  ToolSurroundings& surroundings_;
  ObjectFactory factory_;
  PenState pen_;
  uint8_t tool_ = kPencilTool;
  // The tool the current press started with: a tool chosen during a drag
  // takes effect at the next press.
  uint8_t pressTool_ = kPencilTool;

  std::unique_ptr<BoardObject> drawing_;
  uint32_t activeId_ = 0;
  // The page the active object belongs to; another page forgets it.
  uint32_t activePage_ = 0;
  // The selection the pen last followed.
  SelectedObject followed_;

  DragMode dragMode_ = DragMode::None;
  int handle_ = kNoHandle;
  Point pressPoint_;
  Point lastPoint_;
  bool pressed_ = false;
  ToolCursor cursor_ = ToolCursor::Arrow;
  Point textEditPosition_;
  // A right-button press: it selects, and never opens the editor.
  bool menuPress_ = false;
};

}  // namespace scribly
