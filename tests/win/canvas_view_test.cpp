// The view's paint: what the painter draws, through one memory context,
// shifted by the scroll position.
#include <gtest/gtest.h>

#include <vector>

#include "frame/canvas_view_win.h"
#include "tests/win/test_surface.h"

namespace scribly {
namespace {

struct SquarePainter : PagePainter {
  Point scroll;
  Rect asked;
  void paintView(Canvas& canvas, const Rect& area, const Rect&) override {
    asked = area;
    canvas.fillRect(Rect{0, 0, 1200, 1200}, 0xFFFFFF);    // paper
    canvas.fillRect(Rect{100, 100, 110, 110}, 0x0000FF);  // a red square at page (100, 100)
  }
  Point scrollPosition() const override { return scroll; }
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
  view_->paint(s.dc(), RECT{0, 0, 300, 400});
  EXPECT_EQ(painter_.asked, (Rect{60, 90, 360, 490}));
  EXPECT_EQ(s.at(45, 15), RGB(255, 0, 0));  // page (105, 105)
  EXPECT_EQ(s.at(105, 105), RGB(255, 255, 255));
}

}  // namespace
}  // namespace scribly
