#include "frame/canvas_view_win.h"

#include "objects/gdi_canvas_win.h"
#include "objects/image_object_win.h"
#include "win/module.h"
#include "win/window_proc.h"

namespace scribly {
namespace {

constexpr wchar_t kViewClass[] = L"ScriblyView";

}  // namespace

CanvasView::CanvasView(HWND parent, PagePainter& painter)
    : painter_(painter), handBitmap_(loadHandBitmap(moduleInstance())) {
  if (!registerWindowClass(moduleInstance(), kViewClass, &forwardingWindowProc<CanvasView>)) return;
  RECT area = {0, 0, 0, 0};
  GetClientRect(parent, &area);
  CreateWindowExW(0, kViewClass, L"view wnd", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                  area.right, area.bottom, parent, nullptr, moduleInstance(), this);
}

CanvasView::CanvasView(PagePainter& painter, HWND adopted)
    : painter_(painter),
      handBitmap_(loadHandBitmap(moduleInstance())),
      window_(adopted),
      ownsWindow_(false) {}

CanvasView::~CanvasView() {
  if (ownsWindow_ && window_ && IsWindow(window_)) DestroyWindow(window_);
}

void CanvasView::invalidate(const Rect& viewArea) {
  const RECT r = {viewArea.left, viewArea.top, viewArea.right, viewArea.bottom};
  InvalidateRect(window_, &r, FALSE);
}

void CanvasView::paint(HDC dc, const RECT& client, const RECT* dirty) {
  const int w = client.right - client.left, h = client.bottom - client.top;
  if (w <= 0 || h <= 0) return;
  RECT part = dirty ? *dirty : client;
  if (!IntersectRect(&part, &part, &client)) return;
  // Only the dirty part goes through memory: a drag repaints the dragged
  // object's area, not the page.
  const int pw = part.right - part.left, ph = part.bottom - part.top;
  MemoryDc memory(dc);
  Bitmap bitmap(CreateCompatibleBitmap(dc, pw, ph));
  if (!memory || !bitmap) return;
  ScopedSelect selected(memory.get(), bitmap.get());
  Point scroll = painter_.scrollPosition();
  // The memory context's origin is the page point the part's corner shows.
  SetViewportOrgEx(memory.get(), -scroll.x - part.left, -scroll.y - part.top, nullptr);
  {
    GdiCanvas canvas(memory.get(), handBitmap_.get());
    painter_.paintView(canvas, Rect{scroll.x, scroll.y, scroll.x + w, scroll.y + h},
                       Rect{scroll.x + part.left, scroll.y + part.top, scroll.x + part.right,
                            scroll.y + part.bottom});
  }
  SetViewportOrgEx(memory.get(), 0, 0, nullptr);
  BitBlt(dc, part.left, part.top, pw, ph, memory.get(), 0, 0, SRCCOPY);
}

bool CanvasView::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_ERASEBKGND:
      result = 1;  // everything is painted at once below
      return true;
    case WM_PAINT: {
      PaintDc dc(window_);
      RECT client;
      GetClientRect(window_, &client);
      paint(dc.get(), client, &dc.dirty());
      return true;
    }
  }
  return input_ && input_->onViewMessage(msg, wParam, lParam, result);
}

LRESULT CanvasView::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (handleMessage(msg, wParam, lParam, result)) return result;
  return DefWindowProcW(window_, msg, wParam, lParam);
}

}  // namespace scribly
