#include "frame/canvas_view_win.h"

#include <algorithm>
#include <vector>

#include "board/page_painting.h"
#include "objects/gdi_canvas_win.h"
#include "objects/image_object_win.h"
#include "win/dib.h"
#include "win/module.h"
#include "win/window_proc.h"

namespace scribly {
namespace {

constexpr wchar_t kViewClass[] = L"ScriblyView";
// The pictures of the pages shown last are kept, as many as fit this many
// bytes together; a page whose picture alone is larger has its objects drawn
// at every paint, as they fit the view.
constexpr int64_t kMaxKeptPageBytes = int64_t{64} << 20;
constexpr size_t kKeptPages = 4;
// Stale rectangles drawn one by one at most; more are drawn as one box.
constexpr DWORD kMostBoxes = 8;

HBITMAP pageDib(Size size, void** bits) {
  const BITMAPINFO info = dibInfo(size.width, size.height, 32, DibRows::TopDown);
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace

PageDib::PageDib(Size size)
    : size_(size), bitmap_(pageDib(size, &bits_)), selected_(dc_.get(), bitmap_.get()) {}

bool PageDib::paint(const RECT& box, HBITMAP hand, const Painter& painter) {
  const int bw = box.right - box.left, bh = box.bottom - box.top;
  HDC dc = dc_.get();
  MemoryDc scratch(dc);
  Bitmap bitmap(CreateCompatibleBitmap(dc, bw, bh));
  if (!scratch || !bitmap) return false;
  ScopedSelect selected(scratch.get(), bitmap.get());
  SetViewportOrgEx(scratch.get(), -box.left, -box.top, nullptr);
  {
    GdiCanvas canvas(scratch.get(), hand);
    painter(canvas, Rect{0, 0, size_.width, size_.height},
            Rect{box.left, box.top, box.right, box.bottom});
  }
  SetViewportOrgEx(scratch.get(), 0, 0, nullptr);
  return BitBlt(dc, box.left, box.top, bw, bh, scratch.get(), 0, 0, SRCCOPY);
}

std::unique_ptr<PageDib> paintWholePage(const Page& page, const BackgroundPicture* tile) {
  const Size size = page.size();
  if (size.width <= 0 || size.height <= 0) return nullptr;
  auto dib = std::make_unique<PageDib>(size);
  const Bitmap hand = loadHandBitmap(moduleInstance());
  const auto painter = [&](Canvas& canvas, const Rect& area, const Rect& dirty) {
    paintPage(&page, tile, canvas, area, dirty);
  };
  if (!*dib || !dib->paint(RECT{0, 0, size.width, size.height}, hand.get(), painter))
    return nullptr;
  GdiFlush();
  return dib;
}

struct CanvasView::Picture {
  Picture(uint32_t shown, Size extent)
      : page(shown), dib(extent), stale(CreateRectRgn(0, 0, extent.width, extent.height)) {}
  int64_t bytes() const { return int64_t{dib.size().width} * dib.size().height * 4; }
  uint32_t page;
  // The page's revision when last drawn; while another page shows, the page
  // may change without a word to the view.
  uint64_t revision = 0;
  bool left = false;
  PageDib dib;
  // What is not drawn yet, or changed since, in page coordinates.
  Region stale;
};

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

void CanvasView::invalidate() {
  if (Picture* picture = keptPicture())
    SetRectRgn(picture->stale.get(), 0, 0, picture->dib.size().width, picture->dib.size().height);
  InvalidateRect(window_, nullptr, FALSE);
}

void CanvasView::invalidate(const Rect& viewArea) {
  if (Picture* picture = keptPicture()) {
    // Kept in page coordinates: a later scroll moves the view, not the page.
    const Point scroll = painter_.scrollPosition();
    const Region changed(CreateRectRgn(viewArea.left + scroll.x, viewArea.top + scroll.y,
                                       viewArea.right + scroll.x, viewArea.bottom + scroll.y));
    CombineRgn(picture->stale.get(), picture->stale.get(), changed.get(), RGN_OR);
  }
  const RECT r = {viewArea.left, viewArea.top, viewArea.right, viewArea.bottom};
  InvalidateRect(window_, &r, FALSE);
}

void CanvasView::showAgain() {
  keptPicture();
  InvalidateRect(window_, nullptr, FALSE);
}

void CanvasView::keepPicture(bool keep) {
  keepPicture_ = keep;
  pictures_.clear();
  InvalidateRect(window_, nullptr, FALSE);
}

CanvasView::Picture* CanvasView::keptPicture() {
  const uint32_t page = painter_.shownPage();
  // The picture shown last stops following its page once another shows.
  if (!pictures_.empty() && pictures_.front()->page != page) pictures_.front()->left = true;
  for (auto& picture : pictures_) {
    if (picture->page == page) return picture.get();
  }
  return nullptr;
}

CanvasView::Picture* CanvasView::freshPicture(const Rect& pageArea) {
  const uint32_t page = painter_.shownPage();
  const Size size = painter_.shownPageSize();
  if (!keepPicture_ || page == 0 || size.width <= 0 || size.height <= 0 ||
      int64_t{size.width} * size.height * 4 > kMaxKeptPageBytes) {
    keptPicture();
    return nullptr;
  }
  auto found = std::find_if(pictures_.begin(), pictures_.end(),
                            [page](const auto& picture) { return picture->page == page; });
  // The page grew or shrank with its background: drawn afresh.
  if (found != pictures_.end() && (*found)->dib.size() != size) {
    pictures_.erase(found);
    found = pictures_.end();
  }
  if (found == pictures_.end()) {
    auto made = std::make_unique<Picture>(page, size);
    if (!made->dib || !made->stale) return nullptr;
    pictures_.insert(pictures_.begin(), std::move(made));
    int64_t bytes = 0;
    size_t kept = 0;
    while (kept < pictures_.size() && kept < kKeptPages &&
           bytes + pictures_[kept]->bytes() <= kMaxKeptPageBytes) {
      bytes += pictures_[kept++]->bytes();
    }
    pictures_.resize(std::max<size_t>(kept, 1));
  } else {
    std::rotate(pictures_.begin(), found, found + 1);
  }
  for (size_t i = 1; i < pictures_.size(); ++i) pictures_[i]->left = true;
  Picture& picture = *pictures_.front();
  const uint64_t revision = painter_.shownRevision();
  if (picture.left && picture.revision != revision) {
    SetRectRgn(picture.stale.get(), 0, 0, size.width, size.height);
  }
  picture.left = false;
  picture.revision = revision;
  const Region wanted(CreateRectRgn(pageArea.left, pageArea.top, pageArea.right, pageArea.bottom));
  if (CombineRgn(wanted.get(), wanted.get(), picture.stale.get(), RGN_AND) == NULLREGION) {
    return &picture;
  }
  // One box around what is stale, unless that box would be mostly fresh (a
  // scroll's strips along two sides) and the pieces are few.
  RECT around;
  GetRgnBox(wanted.get(), &around);
  std::vector<RECT> boxes{around};
  const DWORD bytes = GetRegionData(wanted.get(), 0, nullptr);
  std::vector<uint8_t> data(bytes);
  auto* region = reinterpret_cast<RGNDATA*>(data.data());
  if (bytes >= sizeof(RGNDATAHEADER) && GetRegionData(wanted.get(), bytes, region) &&
      region->rdh.nCount <= kMostBoxes) {
    const auto* first = reinterpret_cast<const RECT*>(region->Buffer);
    int64_t staleArea = 0;
    for (const RECT* r = first; r != first + region->rdh.nCount; ++r)
      staleArea += int64_t{r->right - r->left} * (r->bottom - r->top);
    if (2 * staleArea < int64_t{around.right - around.left} * (around.bottom - around.top))
      boxes.assign(first, first + region->rdh.nCount);
  }
  const auto paintView = [this](Canvas& canvas, const Rect& area, const Rect& dirty) {
    painter_.paintView(canvas, area, dirty);
  };
  for (const RECT& box : boxes) {
    if (!picture.dib.paint(box, handBitmap_.get(), paintView)) {
      pictures_.erase(pictures_.begin());
      return nullptr;
    }
  }
  CombineRgn(picture.stale.get(), picture.stale.get(), wanted.get(), RGN_DIFF);
  return &picture;
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
  const Point scroll = painter_.scrollPosition();
  const Rect shown{scroll.x + part.left, scroll.y + part.top, scroll.x + part.right,
                   scroll.y + part.bottom};
  // The memory context's origin is the page point the part's corner shows.
  SetViewportOrgEx(memory.get(), -shown.left, -shown.top, nullptr);
  {
    GdiCanvas canvas(memory.get(), handBitmap_.get());
    // What is stale in the whole view is drawn: the stale region then stays
    // the page outside the view and a few changed areas.
    const Rect view{scroll.x, scroll.y, scroll.x + w, scroll.y + h};
    if (const Picture* picture = freshPicture(view)) {
      // Grey past the page, as the painter draws it.
      canvas.fillRect(shown, kBeyondPageGrey);
      const int right = std::min(shown.right, picture->dib.size().width);
      const int bottom = std::min(shown.bottom, picture->dib.size().height);
      if (right > shown.left && bottom > shown.top) {
        BitBlt(memory.get(), shown.left, shown.top, right - shown.left, bottom - shown.top,
               picture->dib.dc(), shown.left, shown.top, SRCCOPY);
      }
    } else {
      painter_.paintView(canvas, Rect{scroll.x, scroll.y, scroll.x + w, scroll.y + h}, shown);
    }
    painter_.paintOver(canvas);
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
