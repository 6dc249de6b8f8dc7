#pragma once
// The canvas view: a child of the frame that shows the current page. Every
// paint goes through one memory context and one block copy, so pages with many
// objects never flicker.
//
// The page's background and committed objects are kept in a picture of the
// whole page, drawn again only where the board said something changed; a
// paint copies from it and draws the object in hand over the copy. Scrolling,
// and turning back to one of the last pages shown that did not change
// meanwhile, draw no object.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "board/page.h"
#include "objects/canvas.h"
#include "objects/geometry.h"
#include "win/handles.h"

namespace scribly {

// What the view shows, asked at every paint.
class PagePainter {
 public:
  virtual ~PagePainter() = default;
  // The page as it is kept: background and committed objects over `area`
  // (page coordinates; grey past the page). Objects outside `dirty` need not
  // be drawn.
  virtual void paintView(Canvas& canvas, const Rect& area, const Rect& dirty) = 0;
  // What is drawn over the page at every paint and never kept: the object in
  // hand and its selection.
  virtual void paintOver(Canvas&) {}
  // The view's scroll position: page coordinates of the view's origin.
  virtual Point scrollPosition() const = 0;
  // The page shown (0: none, and nothing is kept) and its size.
  virtual uint32_t shownPage() const { return 0; }
  virtual Size shownPageSize() const { return {}; }
  // Changes whenever the shown page changes in any way (see Page::revision).
  virtual uint64_t shownRevision() const { return 0; }
};

// A page's picture in memory: a top-down 32-bit DIB of the page's size in a
// context of its own. The view keeps the shown page in one; the exporter
// draws each page into one, so a file gets what the view shows.
class PageDib {
 public:
  explicit PageDib(Size size);
  PageDib(const PageDib&) = delete;
  PageDib& operator=(const PageDib&) = delete;

  explicit operator bool() const { return dc_ && bitmap_ && bits_; }
  HDC dc() const { return dc_.get(); }
  Size size() const { return size_; }
  // Rows of blue, green, red and an unused byte, 4 * width bytes apart,
  // top down; what GDI drew is there once it is flushed.
  const uint8_t* bits() const { return static_cast<const uint8_t*>(bits_); }

  // `area` and `dirty` as PagePainter::paintView takes them.
  using Painter = std::function<void(Canvas&, const Rect& area, const Rect& dirty)>;
  // Draws `box` (page coordinates) as a paint of the view draws it: the
  // page over its whole area, only what meets the box, into memory of the
  // box's size that is then copied in. False when GDI could not.
  bool paint(const RECT& box, HBITMAP hand, const Painter& painter);

 private:
  Size size_;
  MemoryDc dc_{nullptr};
  void* bits_ = nullptr;
  Bitmap bitmap_;
  ScopedSelect selected_;
};

// The whole of `page` as the view shows it (its background, every object,
// nothing in hand) drawn into a new picture; null when GDI could not.
// `tile` is the page's template picture, or null.
std::unique_ptr<PageDib> paintWholePage(const Page& page, const BackgroundPicture* tile);

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
  // The whole page changed.
  void invalidate();
  // An area changed, in view coordinates (the board's objects say where they
  // show).
  void invalidate(const Rect& viewArea);
  // Nothing on the page changed; the view shows it again (it scrolled).
  void showAgain();
  // Paints into any context (the window's, or a test's memory DIB); only the
  // `dirty` part of the client when given.
  void paint(HDC dc, const RECT& client, const RECT* dirty = nullptr);
  // Whether paints go through the kept picture (on by default); off draws
  // every object at every paint, as the benchmarks' and tests' baseline.
  void keepPicture(bool keep);
  void setInput(ViewInput* input) { input_ = input; }
  // The view's own handling of a message; true when consumed.
  bool handleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  template <class Owner>
  friend LRESULT CALLBACK forwardingWindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
  struct Picture;
  // The kept picture of the shown page, or null; first notes that the page
  // shown last is no longer.
  Picture* keptPicture();
  // The shown page's picture, made or kept, brought up to date over
  // `pageArea`; null when the page is not kept (none shown, or too large).
  Picture* freshPicture(const Rect& pageArea);

  PagePainter& painter_;
  // The shown page's first, then the pages shown before.
  std::vector<std::unique_ptr<Picture>> pictures_;
  bool keepPicture_ = true;
  Bitmap handBitmap_;
  ViewInput* input_ = nullptr;
  HWND window_ = nullptr;
  bool ownsWindow_ = true;
};

}  // namespace scribly
