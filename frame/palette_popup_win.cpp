// The colour palette pop-up: it samples the screen under the pointer as it
// moves, and chooses on release for the pen or the fill.
#include <windows.h>
#include <windowsx.h>

#include "frame/tool_popup_win.h"
#include "objects/gdi_canvas_win.h"
#include "win/handles.h"
#include "win/messages.h"

namespace scribly {

LRESULT ToolPanels::paletteMessage(Popup& popup, SkinElement& source, UINT message, WPARAM wParam,
                                   LPARAM lParam, bool& handled) {
  HWND window = source.window();
  if (&source != &source.ownerWindow()) {
    // Buttons 100 and 101 draw their own faces.
    const int id = GetDlgCtrlID(window);
    if (id != kMoreColoursButton && id != kNoColourButton) return 0;
    const auto face = [&] {
      const bool pressed = (source.send(BM_GETSTATE) & BST_PUSHED) != 0;
      return paintPaletteButton(id, clientSize(window), pressed);
    };
    switch (message) {
      case WM_ERASEBKGND:
        handled = true;
        return 1;
      case WM_PAINT: {
        PaintDc dc(window);
        paint(window, dc.get(), face());
        handled = true;
        return 0;
      }
      case WM_PRINTCLIENT:
        paint(window, reinterpret_cast<HDC>(wParam), face());
        handled = true;
        return 0;
      default:
        return 0;
    }
  }

  handled = true;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      PanelPainting shapes{FillShape{kPaletteClient, gridColour_}};
      PanelPainting palette = palette_.paint(gridColour_);
      shapes.insert(shapes.end(), palette.begin(), palette.end());
      if (message == WM_PAINT) {
        PaintDc dc(window);
        paint(window, dc.get(), shapes);
      } else {
        paint(window, reinterpret_cast<HDC>(wParam), shapes);
      }
      return 0;
    }
    case WM_MOUSEMOVE: {
      const Point p = pointOf(lParam);
      samplePalette(window, p);
      SetCursor(kPaletteClient.contains(p) ? LoadCursorW(nullptr, IDC_ARROW) : samplingCursor_);
      // The palette samples the whole screen: it takes the pointer back
      // from a button that was pressed and left.
      if (!(wParam & MK_LBUTTON) && IsWindowVisible(window) && GetCapture() != window)
        SetCapture(window);
      return 0;
    }
    case WM_SETCURSOR:
      SetCursor(LOWORD(lParam) == HTCLIENT ? LoadCursorW(nullptr, IDC_ARROW) : samplingCursor_);
      return TRUE;
    case WM_LBUTTONDOWN: {
      // The pointer is captured: a press on a button is handed to it.
      POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      HWND child = ChildWindowFromPointEx(window, p, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
      if (child && child != window) {
        MapWindowPoints(window, child, &p, 1);
        SendMessageW(child, WM_LBUTTONDOWN, wParam, MAKELPARAM(p.x, p.y));
      } else {
        paletteArmed_ = true;
      }
      return 0;
    }
    case WM_LBUTTONUP:
      if (paletteArmed_ || kPaletteGrid.contains(pointOf(lParam))) {
        const ColourChoice choice = palette_.choose();
        choosePaletteColour(choice.colour, choice.chosen);
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kMoreColoursButton) {
        chooseMoreColours();
      } else if (LOWORD(wParam) == kNoColourButton) {
        const ColourChoice none = ColourPalette::noColour();
        choosePaletteColour(none.colour, none.chosen);
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) hidePalette();
      return 0;
    case WM_CAPTURECHANGED: {
      // Losing the pointer to anyone but its own buttons closes it, as a
      // menu closes.
      HWND taker = reinterpret_cast<HWND>(lParam);
      if (taker != window && !(taker && IsChild(window, taker))) popup.hide();
      return 0;
    }
    default:
      handled = false;
      return 0;
  }
}

void ToolPanels::showPalette() {
  Popup* palette = popup(PopupKind::Palette);
  if (!palette || !swatch_ || !swatch_->window()) return;
  RECT swatch;
  GetWindowRect(swatch_->window(), &swatch);
  SetWindowPos(palette->window(), HWND_TOP, swatch.left, swatch.bottom, 0, 0,
               SWP_NOSIZE | SWP_SHOWWINDOW);
  paletteArmed_ = false;
  SetCapture(palette->window());
}

void ToolPanels::hidePalette() {
  Popup* palette = popups_[static_cast<size_t>(PopupKind::Palette)].get();
  if (!palette) return;
  palette->hide();
  if (GetCapture() == palette->window()) ReleaseCapture();
}

void ToolPanels::samplePalette(HWND palette, Point client) {
  POINT screen = {client.x, client.y};
  ClientToScreen(palette, &screen);
  if (!palette_.pointerMoved({screen.x, screen.y})) return;
  std::optional<uint32_t> colour;
  // Over the palette itself the palette is read, whatever stacking the
  // window system keeps: it is the top window there by design.
  if (HWND under = kPaletteClient.contains(client) ? palette : WindowFromPoint(screen)) {
    POINT local = screen;
    ScreenToClient(under, &local);
    WindowDc dc(under);
    const COLORREF pixel = dc ? GetPixel(dc.get(), local.x, local.y) : CLR_INVALID;
    if (pixel != CLR_INVALID) colour = pixel;
  }
  for (const Rect& r : palette_.sampled(colour, client)) {
    const RECT box = toRect(r);
    InvalidateRect(palette, &box, FALSE);
  }
}

void ToolPanels::choosePaletteColour(uint32_t colour, uint32_t chosen) {
  hidePalette();
  PostMessageW(frame_.window(), WM_PLUGIN_COLOUR_CHOSEN, colour, chosen);
}

}  // namespace scribly
