#pragma once
// The canvas view: a child of the frame that shows the current page. Every
// paint goes through one memory context and one block copy, so pages with many
// objects never flicker.
#include <windows.h>

#include "objects/canvas.h"
#include "objects/geometry.h"
#include "win/handles.h"

namespace scribly {

// What the view shows, asked at every paint.
class PagePainter {
 public:
  virtual ~PagePainter() = default;
  // Everything the view shows of `area`, in page coordinates, drawn so that
  // area's top-left lands on the view's corner.
  // Objects outside `dirty` (page coordinates) need not be drawn.
  virtual void paintView(Canvas& canvas, const Rect& area, const Rect& dirty) = 0;
  // The view's scroll position: page coordinates of the view's origin.
  virtual Point scrollPosition() const = 0;
};

// Where the view's messages other than painting go first (the tools).
class ViewInput {
 public:
  virtual ~ViewInput() = default;
  // True when consumed, with the answer in `result`.
  virtual bool onViewMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
};

class CanvasView {
 public:
  // A view window of its own, a child of `parent`.
  CanvasView(HWND parent, PagePainter& painter);
  // A window someone else made and owns (the skin's "view wnd"), whose owner
  // hands its messages to handleMessage.
  CanvasView(PagePainter& painter, HWND adopted);
  ~CanvasView();
  CanvasView(const CanvasView&) = delete;
  CanvasView& operator=(const CanvasView&) = delete;

  HWND window() const { return window_; }
  void invalidate() { InvalidateRect(window_, nullptr, FALSE); }
  // An area in view coordinates (the board's objects say where they show).
  void invalidate(const Rect& viewArea);
  // Paints into any context (the window's, or a test's memory DIB); only the
  // `dirty` part of the client when given.
  void paint(HDC dc, const RECT& client, const RECT* dirty = nullptr);
  void setInput(ViewInput* input) { input_ = input; }
  // The view's own handling of a message; true when consumed.
  bool handleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  template <class Owner>
  friend LRESULT CALLBACK forwardingWindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);

  PagePainter& painter_;
  Bitmap handBitmap_;
  ViewInput* input_ = nullptr;
  HWND window_ = nullptr;
  bool ownsWindow_ = true;
};

}  // namespace scribly
