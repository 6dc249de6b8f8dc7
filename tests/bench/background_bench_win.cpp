// A 1920 x 1080 background: scaling it once per factor, then painting a
// 1200 x 800 view over the kept copy, against stretching the picture itself
// at every paint.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "board/background_picture.h"
#include "objects/gdi_canvas_win.h"
#include "objects/pixel_ops.h"
#include "tests/bench/bench_support.h"
#include "win/handles.h"

using namespace scribly;

int main() {
  constexpr uint16_t kW = 1920, kH = 1080;
  std::vector<uint8_t> pixels(pictureBytes(kW, kH));
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 / 3);
  const auto picture = BackgroundPicture::make(pixels, kW, kH);

  for (float factor : {0.65f, 1.25f, 2.0f}) {
    const Size size{static_cast<int32_t>(kW * factor), static_cast<int32_t>(kH * factor)};
    const double ms = msPerCall(10, [&](int) { picture->resized(size); });
    printf("scale to %.2f (%d x %d): %.1f ms\n", factor, size.width, size.height, ms);
    const std::string what =
        "scale a 1920 x 1080 background to " + std::to_string(factor).substr(0, 4);
    printFigure(what.c_str(), ms, "ms", "once per change of scale");
  }

  const auto scaled = picture->resized(Size{2400, 1350});
  HDC screen = GetDC(nullptr);
  MemoryDc memory(screen);
  Bitmap bitmap(CreateCompatibleBitmap(screen, 1200, 800));
  ReleaseDC(nullptr, screen);
  ScopedSelect selected(memory.get(), bitmap.get());
  const Rect view{300, 200, 1500, 1000};
  const int paints = 50;
  const double copy = msPerCall(paints, [&](int) {
    SetViewportOrgEx(memory.get(), -view.left, -view.top, nullptr);
    GdiCanvas canvas(memory.get());
    scaled->draw(canvas, Point{0, 0}, view);
  });
  const double stretch = msPerCall(paints, [&](int) {
    SetViewportOrgEx(memory.get(), -view.left, -view.top, nullptr);
    GdiCanvas canvas(memory.get());
    canvas.blitPixels(Rect{0, 0, 2400, 1350}, picture->pixels(), kW, kH);
  });
  printf("paint a 1200 x 800 view at 1.25: kept copy %.2f ms, stretched at paint %.2f ms\n", copy,
         stretch);
  printFigure("paint a 1200 x 800 view at 1.25 from the kept copy", copy, "ms",
              "stretched at every paint %.2f ms, ratio %.2f", stretch, copy / stretch);
}
