// The picture panel built from the installed skin over a board with a
// selected picture, driven by the messages its controls send when a hand
// uses them: what the picture then is, and what the panel shows.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>

#include "board/silent_surroundings.h"
#include "images/picture_edit_panel_win.h"
#include "test_surface.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

class PictureEditPanelTest : public SkinHostTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SkinHostTest::SetUp());
    board_.initialize(11, 12);
    panel_ = std::make_unique<PictureEditPanel>(*skin_, parent_, tools_, board_);
  }
  void TearDown() override {
    panel_.reset();
    SkinHostTest::TearDown();
  }

  // A 64 x 48 picture at (20, 30), selected.
  void insertPicture() {
    std::vector<uint8_t> pixels(pictureBytes(64, 48));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 % 251);
    auto picture = std::make_unique<ImageObject>();
    ASSERT_TRUE(picture->attachPixels(std::move(pixels), 64, 48, {20, 30}, {84, 78}));
    ASSERT_TRUE(tools_.insertPicture(std::move(picture)));
    panel_->selectionChanged(SelectionProperty::Picture, 0);
  }
  const ImageObject* shown() {
    const auto& objects = board_.currentPage()->objects();
    return objects.size() == 1 ? static_cast<const ImageObject*>(objects[0].object.get()) : nullptr;
  }
  HWND control(std::string_view name) {
    SkinElement* element = panel_->find(name);
    return element ? element->window() : nullptr;
  }
  std::string text(std::string_view name) {
    wchar_t buffer[32] = {};
    GetWindowTextW(control(name), buffer, 32);
    return fromWide(buffer);
  }
  // A trackbar moved by one step with the arrow keys, which tell the panel.
  void step(std::string_view trackbar, int from, UINT key) {
    HWND bar = control(trackbar);
    SendMessageW(bar, TBM_SETPOS, TRUE, from);
    SendMessageW(bar, WM_KEYDOWN, key, 0);
    SendMessageW(bar, WM_KEYUP, key, 0);
    pump();
  }
  void type(const wchar_t* angle) {
    SetWindowTextW(control("scribly editpic editRotateAngle"), angle);
    pump();
  }
  void press(std::string_view button) {
    SendMessageW(control(button), BM_CLICK, 0, 0);
    pump();
  }

  SilentHost host_;
  Board board_{BoardEnvironment{host_, host_, host_, host_, host_, nullptr}, BoardOptions{}};
  SilentToolSurroundings view_;
  DrawingTools tools_{board_, view_, 1};
  std::unique_ptr<PictureEditPanel> panel_;
};

TEST_F(PictureEditPanelTest, TheControlsEditOnlyASelectedPictureAndShowTheirValues) {
  // Without a picture nothing changes, and closing only hides.
  ASSERT_TRUE(panel_->show());
  step("painter trackbar size", -49, VK_LEFT);
  type(L"45");
  EXPECT_TRUE(board_.currentPage()->objects().empty());
  SendMessageW(panel_->window(), WM_CLOSE, 0, 0);
  pump();
  EXPECT_NE(panel_->window(), nullptr);
  EXPECT_FALSE(IsWindowVisible(panel_->window()));

  insertPicture();
  ASSERT_TRUE(panel_->show());

  step("painter trackbar size", -49, VK_LEFT);
  EXPECT_EQ(text("value size"), "(-50)");
  EXPECT_EQ(shown()->box(), (Rect{20, 30, 52, 54}));
  step("painter trackbar brightness", 0, VK_RIGHT);
  EXPECT_EQ(text("value brightness"), "(1)");
  int32_t value = 0;
  EXPECT_TRUE(shown()->getBrightness(value));
  EXPECT_EQ(value, 1);

  // Typed digit by digit: the picture turned by 30 (how turns add up, and
  // that the same angle again turns nothing, is PictureEditorTest's).
  type(L"3");
  type(L"30");
  EXPECT_EQ(shown()->pictureWidth(), 79);  // 64 cos 30 + 48 sin 30
  EXPECT_EQ(panel_->editor().angle(), 30);

  // A mirror starts a new base: no angle, the size counted from here.
  press("painter editpic btnHReversal");
  EXPECT_TRUE(shown()->getOrientation(value));
  EXPECT_EQ(value, 1);
  EXPECT_EQ(text("scribly editpic editRotateAngle"), "");
  EXPECT_EQ(text("value size"), "(0)");

  // Reset shows its values (what it keeps is PictureEditorTest's).
  press("painter editpic btnReset");
  EXPECT_EQ(text("value brightness"), "(0)");
  EXPECT_TRUE(shown()->getBrightness(value));
  EXPECT_EQ(value, 0);
}

}  // namespace
}  // namespace scribly
