#include "host/screenshot_win.h"

#include <cstdio>
#include <vector>

#include "base/png_writer.h"
#include "win/dib.h"
#include "win/handles.h"

namespace scribly {

bool saveWindowPng(HWND window, const std::wstring& path) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;

  ScreenDc screen;
  MemoryDc memory(screen.get());
  BITMAPINFO bi = dibInfo(w, h, 24, DibRows::TopDown);
  void* bits = nullptr;
  Bitmap dib(CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !dib || !bits) return false;
  bool ok;
  {
    ScopedSelect selected(memory.get(), dib.get());
    ok = BitBlt(memory.get(), 0, 0, w, h, screen.get(), r.left, r.top, SRCCOPY) != 0;
    GdiFlush();
  }
  if (ok) {
    std::vector<uint8_t> png = encodePng(w, h, static_cast<const uint8_t*>(bits), dibStride(w, 24));
    FILE* f = _wfopen(path.c_str(), L"wb");
    ok = f && !png.empty() && fwrite(png.data(), 1, png.size(), f) == png.size();
    if (f) ok = fclose(f) == 0 && ok;
  }
  return ok;
}

}  // namespace scribly
