#include "uiengine/window_control_win.h"

#include "skin/skin_layout.h"

namespace scribly {

std::optional<LRESULT> WindowControl::kindMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  static constexpr MessageHandler<WindowControl> kEngineMessages[] = {
      {kEngineMinSize, &WindowControl::onMinSize},
      {kEngineMaxSize, &WindowControl::onMaxSize},
  };
  if (auto result = runHandler(*this, kEngineMessages, message, wParam, lParam)) return result;
  switch (message) {
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (minSize_.cx > 0) info->ptMinTrackSize.x = minSize_.cx;
      if (minSize_.cy > 0) info->ptMinTrackSize.y = minSize_.cy;
      if (maxSize_.cx > 0) info->ptMaxTrackSize.x = maxSize_.cx;
      if (maxSize_.cy > 0) info->ptMaxTrackSize.y = maxSize_.cy;
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      // Labels and check boxes take the panel's colour, not the system grey.
      SetBkColor(reinterpret_cast<HDC>(wParam), backgroundColour());
      return reinterpret_cast<LRESULT>(backgroundBrush());
    default:
      return DrawnControl::kindMessage(message, wParam, lParam);
  }
}

LRESULT WindowControl::onMinSize(WPARAM width, LPARAM height) {
  minSize_ = {static_cast<LONG>(width), static_cast<LONG>(height)};
  return 0;
}

LRESULT WindowControl::onMaxSize(WPARAM width, LPARAM height) {
  maxSize_ = {static_cast<LONG>(width), static_cast<LONG>(height)};
  return 0;
}

void WindowControl::pictureLoaded() {
  // A window's picture is its title icon.
  const SIZE size = pictureSize();
  Bitmap mask(CreateBitmap(size.cx, size.cy, 1, 1, nullptr));
  ICONINFO iconInfo = {TRUE, 0, 0, mask.get(), picture()};
  icon_.reset(CreateIconIndirect(&iconInfo));
  SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.get()));
}

}  // namespace scribly
