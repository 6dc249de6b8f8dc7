#include <windows.h>

#include <cstdio>

#include "bench_objects.h"
#include "objects/gdi_canvas_win.h"
#include "tests/bench/bench_support.h"

// Captures what objects draw so the same primitives can be issued directly.
struct Op {
  int kind = 0;
  PenSpec pen{};
  BrushSpec brush{};
  FillMode fill = FillMode::Alternate;
  std::vector<Point> pts{};
  Rect r{};
  uint32_t colour = 0;
};
struct Capture : Canvas {
  std::vector<std::vector<Op>> objects;
  void begin() { objects.emplace_back(); }
  void add(Op o) { objects.back().push_back(std::move(o)); }
  void save() override {}
  void restore() override {}
  void setPen(const PenSpec& p) override { add({.kind = 0, .pen = p}); }
  void setBrush(const BrushSpec& b) override { add({.kind = 1, .brush = b}); }
  void setFillMode(FillMode m) override { add({.kind = 2, .fill = m}); }
  void setFont(const FontRecord&) override {}
  void setTextColour(uint32_t) override {}
  void setTextBackground(std::optional<uint32_t>) override {}
  void line(Point a, Point b) override { add({.kind = 3, .pts = {a, b}}); }
  void polyline(std::span<const Point> p) override {
    add({.kind = 4, .pts = {p.begin(), p.end()}});
  }
  void polygon(std::span<const Point> p) override { add({.kind = 5, .pts = {p.begin(), p.end()}}); }
  void rectangle(const Rect& r) override { add({.kind = 6, .r = r}); }
  void ellipse(const Rect& r) override { add({.kind = 7, .r = r}); }
  void chord(const Rect& r, Point a, Point b) override { add({.kind = 8, .pts = {a, b}, .r = r}); }
  void fillRect(const Rect& r, uint32_t c) override { add({.kind = 9, .r = r, .colour = c}); }
  bool drawText(const Rect&, std::string_view) override { return true; }
  void blitPixels(const Rect&, std::span<const uint8_t>, uint16_t, uint16_t) override {}
  bool drawBitmap(CanvasBitmap, Point, uint32_t) override { return true; }
  std::optional<Size> measureText(const FontRecord&, std::string_view, const Rect&) override {
    return Size{30, 13};
  }
};

// The same primitives straight to the context, with the same pens and brushes
// but without the canvas's scopes.
void direct(HDC dc, const std::vector<Op>& ops) {
  HGDIOBJ oldPen = nullptr, oldBrush = nullptr;
  Pen pen;
  Brush brush;
  int oldFill = 0;
  for (const Op& o : ops) {
    switch (o.kind) {
      case 0: {
        Pen made = o.pen.colour ? makePen(o.pen) : Pen();
        HGDIOBJ prev = SelectObject(dc, made ? made.get() : GetStockObject(NULL_PEN));
        if (!oldPen) oldPen = prev;
        pen = std::move(made);
        break;
      }
      case 1: {
        Brush made = o.brush.null ? Brush() : Brush(CreateSolidBrush(o.brush.colour));
        HGDIOBJ prev = SelectObject(dc, made ? made.get() : GetStockObject(NULL_BRUSH));
        if (!oldBrush) oldBrush = prev;
        brush = std::move(made);
        break;
      }
      case 2: {
        int p = SetPolyFillMode(dc, o.fill == FillMode::Alternate ? ALTERNATE : WINDING);
        if (!oldFill) oldFill = p;
        break;
      }
      case 3:
        MoveToEx(dc, o.pts[0].x, o.pts[0].y, nullptr);
        LineTo(dc, o.pts[1].x, o.pts[1].y);
        break;
      case 4:
        Polyline(dc, reinterpret_cast<const POINT*>(o.pts.data()), (int)o.pts.size());
        break;
      case 5:
        Polygon(dc, reinterpret_cast<const POINT*>(o.pts.data()), (int)o.pts.size());
        break;
      case 6:
        Rectangle(dc, o.r.left, o.r.top, o.r.right, o.r.bottom);
        break;
      case 7:
        Ellipse(dc, o.r.left, o.r.top, o.r.right, o.r.bottom);
        break;
      case 8:
        Chord(dc, o.r.left, o.r.top, o.r.right, o.r.bottom, o.pts[0].x, o.pts[0].y, o.pts[1].x,
              o.pts[1].y);
        break;
      case 9: {
        RECT r{o.r.left, o.r.top, o.r.right, o.r.bottom};
        Brush b(CreateSolidBrush(o.colour));
        FillRect(dc, &r, b.get());
        break;
      }
    }
  }
  // Deselected before their owners delete them.
  if (oldPen) SelectObject(dc, oldPen);
  if (oldBrush) SelectObject(dc, oldBrush);
  if (oldFill) SetPolyFillMode(dc, oldFill);
}

int main() {
  Capture cap;
  auto page = makePage(&cap);
  // Text is left out: the direct path could not draw it without the same conversions.
  std::vector<BoardObject*> shapes;
  for (auto& o : page)
    if (o->kind() != ObjectKind::Text) shapes.push_back(o.get());
  for (auto* o : shapes) {
    cap.begin();
    o->draw(&cap, DrawMode::Plain, 0, true);
  }
  ScreenDc screen;
  MemoryDc memory(screen.get());
  Bitmap bitmap(CreateCompatibleBitmap(screen.get(), 1300, 1300));
  ScopedSelect selected(memory.get(), bitmap.get());
  HDC mem = memory.get();
  const int rounds = 20;
  double viaCanvas = 0, viaDirect = 0;
  for (int r = 0; r < rounds; ++r) {
    const Stopwatch canvasClock;
    {
      GdiCanvas c(mem);
      for (auto* o : shapes) o->draw(&c, DrawMode::Plain, 0, true);
    }
    GdiFlush();
    const double canvas = canvasClock.ms();
    const Stopwatch directClock;
    for (auto& ops : cap.objects) direct(mem, ops);
    GdiFlush();
    if (r == 0) continue;  // warm-up
    viaCanvas += canvas;
    viaDirect += directClock.ms();
  }
  printf("%zu objects: canvas %.2f ms, direct %.2f ms, ratio %.3f\n", shapes.size(),
         viaCanvas / (rounds - 1), viaDirect / (rounds - 1), viaCanvas / viaDirect);
  printFigure("objects through the GDI canvas", viaCanvas / (rounds - 1), "ms",
              "direct GDI %.2f ms, ratio %.3f", viaDirect / (rounds - 1), viaCanvas / viaDirect);
}
