#include "uiengine/drawn_control_win.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "skin/skin_layout.h"
#include "uiengine/engine_win.h"
#include "win/text.h"

namespace scribly {
namespace {

// From this many dots per inch on icons come from their 36-pixel twins.
constexpr int kDenseDpi = 144;

void drawPicture(HDC dc, HBITMAP picture, SIZE size, uint32_t key, const RECT& to) {
  MemoryDc source(dc);
  ScopedSelect selected(source.get(), picture);
  const int width = to.right - to.left, height = to.bottom - to.top;
  if (key != kNoColour) {
    TransparentBlt(dc, to.left, to.top, width, height, source.get(), 0, 0, size.cx, size.cy,
                   rgbOf(key));
  } else {
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, to.left, to.top, width, height, source.get(), 0, 0, size.cx, size.cy, SRCCOPY);
  }
}

}  // namespace

int DrawnControl::scaled(int pixels) const { return MulDiv(pixels, engine().dpi(), 96); }

std::optional<LRESULT> DrawnControl::kindMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  static constexpr MessageHandler<DrawnControl> kEngineMessages[] = {
      {kEnginePicture, &DrawnControl::onPicture},
      {kEngineIconPosition, &DrawnControl::onIconPosition},
  };
  return runHandler(*this, kEngineMessages, message, wParam, lParam);
}

LRESULT DrawnControl::onIconPosition(WPARAM x, LPARAM y) {
  iconPosition_ = {static_cast<LONG>(x), static_cast<LONG>(y)};
  InvalidateRect(hwnd(), nullptr, TRUE);
  return 0;
}

LRESULT DrawnControl::onPicture(WPARAM keyAndSize, LPARAM fileText) {
  if (!fileText) return 0;
  const char* file = reinterpret_cast<const char*>(fileText);
  const int size = static_cast<int>(keyAndSize >> 32);
  std::wstring path = toWide(engine().resolveSkinFile(file));
  // Icons are drawn for 96 dots per inch in ".../24/" folders; a denser
  // screen gets the 36-pixel twin from ".../36/" where there is one, and the
  // icon size grows with the screen.
  const int dpi = engine().dpi();
  bool scale = false;
  if (dpi >= kDenseDpi) {
    scale = size > 0;
    for (const std::wstring_view folder : {L"/24/", L"\\24\\"}) {
      const size_t at = path.rfind(folder);
      if (at == std::wstring::npos) continue;
      std::wstring twin = path;
      twin.replace(at + 1, 2, L"36");
      if (GetFileAttributesW(twin.c_str()) != INVALID_FILE_ATTRIBUTES)
        path = std::move(twin);
      else
        scale = true;  // the 24-pixel picture, drawn larger
      break;
    }
  }
  Bitmap loaded(static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
  if (!loaded) {
    engine().log("cannot load picture " + std::string(file));
    return 0;
  }
  BITMAP info = {};
  GetObjectW(loaded.get(), sizeof info, &info);
  picture_ = std::move(loaded);
  pictureSize_ = {info.bmWidth, info.bmHeight};
  transparentKey_ = static_cast<uint32_t>(keyAndSize);
  iconSize_ = scale ? MulDiv(size > 0 ? size : info.bmWidth, dpi, 96) : size;
  pictureLoaded();
  InvalidateRect(hwnd(), nullptr, TRUE);
  return 0;
}

RECT DrawnControl::pictureArea(const RECT& client, bool captioned, int lineHeight, RECT& textArea) {
  const int w = iconSize_ > 0 ? iconSize_ : pictureSize_.cx;
  const int h = iconSize_ > 0 ? iconSize_ : pictureSize_.cy;
  int x = (client.right - w) / 2, y = (client.bottom - h) / 2;
  if (captioned) y = std::max<int>(scaled(2), (client.bottom - h - lineHeight) / 2);
  if (iconPosition_.x >= 0) x = iconPosition_.x, y = iconPosition_.y;
  const RECT to = {x, y, x + w, y + h};
  textArea.top = to.bottom;
  return to;
}

void DrawnControl::draw(HDC dc) {
  RECT client;
  GetClientRect(hwnd(), &client);
  // Drawn off screen first so a pressed or hovered button does not flicker.
  MemoryDc memory(dc);
  Bitmap canvas(CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1),
                                       std::max<LONG>(client.bottom, 1)));
  ScopedSelect canvasSelected(memory.get(), canvas.get());
  HDC m = memory.get();
  {
    Brush back(CreateSolidBrush(backgroundColour()));
    FillRect(m, &client, back.get());
  }
  const bool enabled = IsWindowEnabled(hwnd());
  drawFrame(m, client);
  wchar_t text[512] = {};
  const int length = showsCaption() ? GetWindowTextW(hwnd(), text, 512) : 0;
  RECT textArea = client;
  int lineHeight = 0;
  if (length > 0) {
    ScopedSelect f(m, font());
    TEXTMETRICW metrics = {};
    GetTextMetricsW(m, &metrics);
    lineHeight = metrics.tmHeight;
  }
  if (picture_) {
    const RECT to = pictureArea(client, length > 0, lineHeight, textArea);
    drawPicture(m, picture_.get(), pictureSize_, transparentKey_, to);
  }
  if (length > 0) {
    ScopedSelect f(m, font());
    SetBkMode(m, TRANSPARENT);
    COLORREF textColour =
        colour(kColourText) != kNoColour ? rgbOf(colour(kColourText)) : RGB(32, 32, 32);
    if (!enabled) textColour = RGB(160, 160, 160);
    SetTextColor(m, textColour);
    UINT format = DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;
    format |= picture_ ? DT_TOP : DT_VCENTER;
    DrawTextW(m, text, length, &textArea, format);
  }
  BitBlt(dc, 0, 0, client.right, client.bottom, m, 0, 0, SRCCOPY);
}

}  // namespace scribly
