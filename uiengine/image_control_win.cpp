#include "uiengine/image_control_win.h"

#include "skin/skin_layout.h"

namespace scribly {

std::optional<LRESULT> ImageControl::kindMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  static constexpr MessageHandler<ImageControl> kEngineMessages[] = {
      {kEngineStretch, &ImageControl::onStretch},
      {kEngineHitTransparent, &ImageControl::onHitTransparent},
  };
  if (auto result = runHandler(*this, kEngineMessages, message, wParam, lParam)) return result;
  if (message == WM_NCHITTEST && hitTransparent_ && hasPicture()) {
    POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ScreenToClient(hwnd(), &p);
    if (transparentAt(p)) return HTTRANSPARENT;
  }
  return DrawnControl::kindMessage(message, wParam, lParam);
}

LRESULT ImageControl::onStretch(WPARAM stretch, LPARAM) {
  stretch_ = stretch != 0;
  InvalidateRect(hwnd(), nullptr, TRUE);
  return 0;
}

LRESULT ImageControl::onHitTransparent(WPARAM through, LPARAM) {
  hitTransparent_ = through != 0;
  return 0;
}

RECT ImageControl::pictureArea(const RECT& client, bool, int, RECT&) {
  if (stretch_) return client;
  return {0, 0, pictureSize().cx, pictureSize().cy};
}

bool ImageControl::transparentAt(POINT p) const {
  if (transparentKey() == kNoColour) return false;
  RECT client;
  GetClientRect(hwnd(), &client);
  const SIZE size = pictureSize();
  if (stretch_ && client.right > 0 && client.bottom > 0) {
    p.x = p.x * size.cx / client.right;
    p.y = p.y * size.cy / client.bottom;
  }
  if (p.x < 0 || p.y < 0 || p.x >= size.cx || p.y >= size.cy) return true;
  MemoryDc source(nullptr);
  ScopedSelect selected(source.get(), picture());
  return GetPixel(source.get(), p.x, p.y) == rgbOf(transparentKey());
}

}  // namespace scribly
