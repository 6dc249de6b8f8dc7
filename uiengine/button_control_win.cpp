#include "uiengine/button_control_win.h"

#include "skin/skin_layout.h"
#include "uiengine/engine_win.h"

namespace scribly {

std::optional<LRESULT> ButtonControl::kindMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = true;
      SetCapture(hwnd());
      redraw();
      return 0;
    case WM_LBUTTONUP:
      if (pressed_) {
        pressed_ = false;
        if (GetCapture() == hwnd()) ReleaseCapture();
        RECT client;
        GetClientRect(hwnd(), &client);
        const POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        redraw();
        if (PtInRect(&client, p)) click();
      }
      return 0;
    case WM_CAPTURECHANGED:
      pressed_ = false;
      redraw();
      return 0;
    case WM_MOUSEMOVE:
      if (!hover_) {
        hover_ = true;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd(), 0};
        TrackMouseEvent(&track);
        redraw();
      }
      return 0;
    case WM_MOUSELEAVE:
      hover_ = false;
      redraw();
      return 0;
    case BM_CLICK:
      click();
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (message == WM_KILLFOCUS && GetCapture() != hwnd()) pressed_ = false;
      redraw();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_BUTTON;
    case WM_KEYDOWN:
      // Space presses the focused button and clicks it as it comes up, as
      // the mouse does; Enter clicks at once.
      if (wParam == VK_SPACE && !pressed_) {
        pressed_ = true;
        redraw();
      } else if (wParam == VK_RETURN) {
        click();
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && pressed_) {
        pressed_ = false;
        redraw();
        click();
      }
      return 0;
    case BM_GETCHECK:
      return checked_ ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
      checked_ = wParam == BST_CHECKED;
      redraw();
      return 0;
    case BM_GETSTATE:
      return (checked_ ? BST_CHECKED : 0) | (pressed_ ? BST_PUSHED : 0) | (hover_ ? BST_HOT : 0);
    default:
      return DrawnControl::kindMessage(message, wParam, lParam);
  }
}

void ButtonControl::click() {
  // As a standard button does: the parent hears of it, and an engine parent
  // answers with the click message to this button.
  HWND parent = GetParent(hwnd());
  if (parent && engine().control(parent) && (GetWindowLongPtrW(hwnd(), GWL_STYLE) & WS_CHILD)) {
    const int id = GetDlgCtrlID(hwnd());
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd()));
  } else {
    SendMessageW(hwnd(), kEngineClicked, 0, 0);
  }
}

void ButtonControl::drawFrame(HDC dc, const RECT& client) {
  COLORREF fill = 0, edge = 0;
  bool frame = true;
  if (pressed_) {
    fill = RGB(196, 222, 247), edge = RGB(0, 103, 192);
  } else if (checked_) {
    fill = RGB(214, 232, 250), edge = RGB(0, 120, 212);
  } else if (hover_) {
    fill = RGB(232, 240, 250), edge = RGB(160, 190, 230);
  } else if (hasPicture()) {
    frame = false;  // a tool button at rest is just its picture
  } else {
    fill = RGB(253, 253, 253), edge = RGB(200, 204, 210);
  }
  const int corner = scaled(6);
  if (frame) {
    Brush brush(CreateSolidBrush(fill));
    Pen pen(CreatePen(PS_INSIDEFRAME, scaled(1), edge));
    ScopedSelect b(dc, brush.get()), p(dc, pen.get());
    RoundRect(dc, client.left, client.top, client.right, client.bottom, corner, corner);
  }
  // The keyboard's button: a dark ring inside the edge.
  if (GetFocus() == hwnd()) {
    const int inset = scaled(2);
    Pen pen(CreatePen(PS_INSIDEFRAME, scaled(2), RGB(24, 24, 24)));
    ScopedSelect b(dc, GetStockObject(NULL_BRUSH)), p(dc, pen.get());
    RoundRect(dc, client.left + inset, client.top + inset, client.right - inset,
              client.bottom - inset, corner, corner);
  }
}

RECT ButtonControl::pictureArea(const RECT& client, bool captioned, int lineHeight,
                                RECT& textArea) {
  RECT to = DrawnControl::pictureArea(client, captioned, lineHeight, textArea);
  // A pressed button's picture sinks a little.
  if (pressed_) {
    OffsetRect(&to, 0, scaled(1));
    textArea.top = to.bottom;
  }
  return to;
}

}  // namespace scribly
