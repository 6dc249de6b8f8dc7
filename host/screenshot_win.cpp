#include "host/screenshot_win.h"

#include <cstdio>
#include <vector>

#include "host/png_writer.h"

namespace scribly {

bool saveWindowPng(HWND window, const std::wstring& path) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib && bits) {
    HGDIOBJ old = SelectObject(memory, dib);
    ok = BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, old);
    if (ok) {
      const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
      std::vector<uint8_t> png =
          encodePng(w, h, static_cast<const uint8_t*>(bits), stride);
      FILE* f = _wfopen(path.c_str(), L"wb");
      ok = f && !png.empty() && fwrite(png.data(), 1, png.size(), f) == png.size();
      if (f) ok = fclose(f) == 0 && ok;
    }
  }
  if (dib) DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace scribly
