#pragma once
// The drawing tools at work in the view window: presses, releases, keys and
// the cursor from the view's messages, pointer movement from the frame's
// 10 ms polling, capture and focus, the in-place text editor and the picture
// dialog. The tools themselves are portable (DrawingTools).
#include <windows.h>

#include <functional>
#include <utility>

#include "board/drawing_tools.h"
#include "frame/canvas_view_win.h"
#include "frame/text_edit_box_win.h"
#include "win/handles.h"

namespace scribly {

class ViewTools final : public ToolSurroundings {
 public:
  // `frame` hears the tools' notifications (select tool, pen state,
  // selection properties).
  ViewTools(Board& board, CanvasView& view, HWND frame);
  ~ViewTools() override;
  ViewTools(const ViewTools&) = delete;
  ViewTools& operator=(const ViewTools&) = delete;

  DrawingTools& tools() { return tools_; }
  // A message of the view window; true when consumed, its answer in `result`.
  bool handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The frame's 10 ms tick: one mouse move when the pointer has moved since
  // the last tick, while it is over the view.
  void poll();
  // Where drawing is switched on and off: the frame's drawing tools. The
  // view itself stays enabled (its scroll bars serve everyone) and refuses
  // presses on its own.
  void setDrawingSwitch(std::function<void(bool)> drawingSwitch) {
    drawingSwitch_ = std::move(drawingSwitch);
  }

  // ToolSurroundings
  void captureMouse() override;
  void releaseMouse() override;
  bool holdsMouse() const override;
  void focusView() override;
  void enableDrawing(bool enable) override;
  void toolButtonChanged(uint32_t keyCode) override;
  void penStateChanged(uint32_t bits, uint32_t style) override;
  void selectionProperty(SelectionProperty which, uint32_t value) override;
  void openTextEditor(Point viewPoint, const FontRecord& font, std::string_view utf8) override;
  std::optional<std::string> choosePictureFile() override;
  bool loadPictureFile(ImageObject& image, const std::string& path, Point at) override;
  bool cutFromView(ImageObject& image, std::span<const Point> outline, Point at) override;

 private:
  HWND view() const { return view_.window(); }
  // The in-place editor's colours: the text as it will show on the page.
  LRESULT editorColours(HDC dc);

  CanvasView& view_;
  HWND frame_;
  DrawingTools tools_;
  TextEditBox editor_;
  Brush editBrush_;
  uint32_t editBrushColour_ = 0;
  std::function<void(bool)> drawingSwitch_;
  bool mouseSeen_ = false;
  POINT lastPolled_ = {-32768, -32768};
};

}  // namespace scribly
