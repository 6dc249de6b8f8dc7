#include "frame/view_tools_win.h"

#include <vector>

#include "images/picture_files_win.h"
#include "objects/gdi_canvas_win.h"
#include "objects/image_object_win.h"
#include "win/handles.h"
#include "win/messages.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

HCURSOR cursorFor(ToolCursor cursor) {
  switch (cursor) {
    case ToolCursor::CrossHair:
      return LoadCursorW(nullptr, IDC_CROSS);
    case ToolCursor::SizeNwse:
      return cursorForHandle(HandleCursor::SizeNwse, moduleInstance());
    case ToolCursor::SizeNs:
      return cursorForHandle(HandleCursor::SizeNs, moduleInstance());
    case ToolCursor::SizeNesw:
      return cursorForHandle(HandleCursor::SizeNesw, moduleInstance());
    case ToolCursor::SizeWe:
      return cursorForHandle(HandleCursor::SizeWe, moduleInstance());
    case ToolCursor::Move:
      return cursorForHandle(HandleCursor::Move, moduleInstance());
    case ToolCursor::Arrow:
      break;
  }
  return LoadCursorW(nullptr, IDC_ARROW);
}

}  // namespace

ViewTools::ViewTools(Board& board, CanvasView& view, HWND frame)
    : view_(view), frame_(frame), tools_(board, *this) {}

ViewTools::~ViewTools() = default;

bool ViewTools::handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_LBUTTONDOWN:
      tools_.mouseDown(pointOf(lParam));
      return true;
    case WM_LBUTTONUP:
      tools_.mouseUp(pointOf(lParam));
      return true;
    case WM_MOUSEMOVE:
      // Moves are read by the polling; the message only says the pointer is
      // here and asks to hear when it leaves.
      if (!mouseSeen_) {
        mouseSeen_ = true;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, view(), 0};
        TrackMouseEvent(&track);
      }
      return true;
    case WM_MOUSELEAVE:
      mouseSeen_ = false;
      tools_.mouseLeft();
      return true;
    case WM_SETCURSOR:
      if (LOWORD(lParam) != HTCLIENT) return false;
      SetCursor(cursorFor(tools_.cursor()));
      result = TRUE;
      return true;
    case WM_KEYDOWN:
      // Ctrl+Z undoes, Ctrl+Y and Ctrl+Shift+Z redo; no tool takes them.
      if (GetKeyState(VK_CONTROL) < 0 && (wParam == 'Z' || wParam == 'Y')) {
        if (wParam == 'Z' && GetKeyState(VK_SHIFT) >= 0) {
          tools_.undo();
        } else {
          tools_.redo();
        }
        return true;
      }
      tools_.keyDown(static_cast<uint32_t>(wParam));
      return true;
    case WM_PLUGIN_TEXT_COMMITTED: {
      // Only the editor this view opened hands its text over; any other
      // window's text (another program's field) is never read.
      const auto edit = reinterpret_cast<HWND>(wParam);
      const Point at = {static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
      if (edit && edit == editor_.window()) tools_.insertText(TextEditBox::textOf(edit), at);
      return true;
    }
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lParam) != editor_.window()) return false;
      result = editorColours(reinterpret_cast<HDC>(wParam));
      return true;
    case WM_CAPTURECHANGED:
      return false;
  }
  return false;
}

LRESULT ViewTools::editorColours(HDC dc) {
  // The text behind the fill, as the text object draws it, or on the paper
  // while unfilled; the brush is made again only when that colour changes.
  const uint32_t back = tools_.editBrushColour();
  if (!editBrush_ || back != editBrushColour_) {
    editBrush_.reset(CreateSolidBrush(back));
    editBrushColour_ = back;
  }
  SetTextColor(dc, tools_.pen().colour);
  SetBkColor(dc, back);
  return reinterpret_cast<LRESULT>(editBrush_.get());
}

void ViewTools::poll() {
  if (!mouseSeen_ || !view()) return;
  POINT p;
  if (!GetCursorPos(&p) || !ScreenToClient(view(), &p)) return;
  if (p.x == lastPolled_.x && p.y == lastPolled_.y) return;
  lastPolled_ = p;
  tools_.mouseMove({p.x, p.y});
}

void ViewTools::captureMouse() { SetCapture(view()); }

void ViewTools::releaseMouse() {
  if (holdsMouse()) ReleaseCapture();
}

bool ViewTools::holdsMouse() const { return view() && GetCapture() == view(); }

void ViewTools::focusView() {
  if (view()) SetFocus(view());
}

void ViewTools::enableDrawing(bool enable) {
  if (drawingSwitch_) drawingSwitch_(enable);
}

void ViewTools::toolButtonChanged(uint32_t keyCode) {
  SendMessageW(frame_, WM_PLUGIN_SELECT_TOOL, 0, keyCode);
}

void ViewTools::penStateChanged(uint32_t bits, uint32_t style) {
  PostMessageW(frame_, WM_PLUGIN_PEN_STATE, bits, style);
}

void ViewTools::selectionProperty(SelectionProperty which, uint32_t value) {
  PostMessageW(frame_, WM_PLUGIN_SELECTION_PROPS, static_cast<WPARAM>(which), value);
}

void ViewTools::openTextEditor(Point viewPoint, const FontRecord& font, std::string_view utf8) {
  const std::string text(utf8);
  editor_.open(viewPoint, view(), font, text.empty() ? nullptr : text.c_str());
}

std::optional<std::string> ViewTools::choosePictureFile() { return choosePictureToOpen(view()); }

bool ViewTools::loadPictureFile(ImageObject& image, const std::string& path, Point at) {
  return scribly::loadPictureFile(image, toWide(path), at);
}

bool ViewTools::cutFromView(ImageObject& image, std::span<const Point> outline, Point at) {
  if (outline.size() < 3 || !view()) return false;
  std::vector<POINT> points;
  points.reserve(outline.size());
  for (const Point& p : outline) points.push_back({p.x, p.y});
  Region region(CreatePolygonRgn(points.data(), static_cast<int>(points.size()), ALTERNATE));
  RECT box;
  if (!region || GetRgnBox(region.get(), &box) == NULLREGION) return false;
  InflateRect(&box, 1, 1);
  const int w = box.right - box.left, h = box.bottom - box.top;

  // The page as the view shows it now, without the outline, painted into
  // memory so that windows over the view change nothing.
  RECT client;
  GetClientRect(view(), &client);
  WindowDc screen(view());
  MemoryDc page(screen.get());
  Bitmap pagePixels(CreateCompatibleBitmap(screen.get(), client.right, client.bottom));
  MemoryDc cut(screen.get());
  Bitmap cutPixels(CreateCompatibleBitmap(screen.get(), w, h));
  if (!page || !pagePixels || !cut || !cutPixels) return false;
  ScopedSelect pageSelected(page.get(), pagePixels.get());
  view_.paint(page.get(), client);
  {
    ScopedSelect cutSelected(cut.get(), cutPixels.get());
    const RECT all = {0, 0, w, h};
    FillRect(cut.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    OffsetRgn(region.get(), -box.left, -box.top);
    FillRgn(cut.get(), region.get(), static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    // White outside stays white; black inside takes the page's pixels.
    BitBlt(cut.get(), 0, 0, w, h, page.get(), box.left, box.top, SRCPAINT);
  }
  return attachFromBitmap(image, cutPixels.get(), at);
}

}  // namespace scribly
