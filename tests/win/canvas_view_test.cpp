// The view's paint: what the painter draws, through one memory context,
// shifted by the scroll position.
#include <gtest/gtest.h>

#include <vector>

#include "frame/canvas_view_win.h"

namespace scribly {
namespace {

struct SquarePainter : PagePainter {
  Point scroll;
  Rect asked;
  void paintView(Canvas& canvas, const Rect& area) override {
    asked = area;
    canvas.fillRect(Rect{0, 0, 1200, 1200}, 0xFFFFFF);    // paper
    canvas.fillRect(Rect{100, 100, 110, 110}, 0x0000FF);  // a red square at page (100, 100)
  }
  Point scrollPosition() const override { return scroll; }
};

// A top-down 32-bit DIB the view paints into, read back pixel by pixel.
struct Surface {
  Surface(int w, int h) : w(w), h(h) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    old = SelectObject(dc, bitmap);
    RECT all = {0, 0, w, h};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  ~Surface() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF at(int x, int y) {
    GdiFlush();
    uint32_t v = bits[y * w + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  int w, h;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  uint32_t* bits = nullptr;
};

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                              nullptr, nullptr, nullptr);
    view_ = std::make_unique<CanvasView>(parent_, painter_);
  }
  void TearDown() override {
    view_.reset();
    DestroyWindow(parent_);
  }
  HWND parent_ = nullptr;
  SquarePainter painter_;
  std::unique_ptr<CanvasView> view_;
};

TEST_F(ViewTest, IsNamedViewWndAndFillsItsParent) {
  ASSERT_TRUE(IsWindow(view_->window()));
  wchar_t title[32] = {};
  GetWindowTextW(view_->window(), title, 32);
  EXPECT_STREQ(title, L"view wnd");
  EXPECT_EQ(GetParent(view_->window()), parent_);
}

TEST_F(ViewTest, ScrollingShiftsWhatThePainterDraws) {
  painter_.scroll = Point{60, 90};
  Surface s(300, 400);
  view_->paint(s.dc, RECT{0, 0, 300, 400});
  EXPECT_EQ(painter_.asked, (Rect{60, 90, 360, 490}));
  EXPECT_EQ(s.at(45, 15), RGB(255, 0, 0));  // page (105, 105)
  EXPECT_EQ(s.at(105, 105), RGB(255, 255, 255));
}

}  // namespace
}  // namespace scribly
