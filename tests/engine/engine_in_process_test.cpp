// The engine linked into the test program, for what the DLL offers no way to
// change from outside: the screen's dots per inch.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "skin/control_types.h"
#include "skin/skin_layout.h"
#include "uiengine/control_win.h"
#include "uiengine/engine_win.h"
#include "win/bitmap_file.h"
#include "win/dib.h"
#include "win/handles.h"

namespace scribly {
namespace {

constexpr COLORREF kTwinColour = RGB(0, 200, 0), kIconColour = RGB(200, 0, 0);

// A square picture of one colour written as a bitmap file.
bool writeSquare(const std::string& path, int side, COLORREF colour) {
  ScreenDc screen;
  Bitmap picture(CreateCompatibleBitmap(screen.get(), side, side));
  {
    MemoryDc dc(screen.get());
    ScopedSelect selected(dc.get(), picture.get());
    Brush brush(CreateSolidBrush(colour));
    const RECT all = {0, 0, side, side};
    FillRect(dc.get(), &all, brush.get());
  }
  return writeBitmapFile(picture.get(), {0, 0, side, side}, path);
}

// Counts the clicks its controls raise.
class ClickCounter final : public SkinControlOwner {
 public:
  LRESULT __stdcall onControlMessage(SkinControl*, UINT message, WPARAM, LPARAM, BOOL*) override {
    if (message == kEngineClicked) ++clicks;
    return 0;
  }
  LRESULT __stdcall onNamedCommand(SkinControl*, const char*, const char*) override { return 0; }

  int clicks = 0;
};

class InProcessEngineTest : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "engine_dpi_test";
    for (const char* sub : {"", "\\icons", "\\icons\\24", "\\icons\\36"})
      CreateDirectoryA((folder_ + sub).c_str(), nullptr);
    ASSERT_TRUE(writeSquare(folder_ + "\\icons\\24\\pen.bmp", 24, kIconColour));
    ASSERT_TRUE(writeSquare(folder_ + "\\icons\\36\\pen.bmp", 36, kTwinColour));
    ASSERT_TRUE(writeSquare(folder_ + "\\icons\\24\\lonely.bmp", 24, kIconColour));
    engine_.setSkinFolder(folder_);
    window_ = make("window", WS_POPUP | WS_VISIBLE, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_->window());
    for (const char* file :
         {"\\icons\\24\\pen.bmp", "\\icons\\36\\pen.bmp", "\\icons\\24\\lonely.bmp"})
      DeleteFileA((folder_ + file).c_str());
    for (const char* sub : {"\\icons\\36", "\\icons\\24", "\\icons", ""})
      RemoveDirectoryA((folder_ + sub).c_str());
    engine_.setDpi(0);
  }

  Control* make(const char* type, DWORD style, HWND parent) {
    const ControlType* row = findControlType(type);
    if (!row) return nullptr;
    const EngineId classId = engineClassId(*row), interfaceId = engineInterfaceId(*row);
    CLSID c;
    IID i;
    std::memcpy(&c, &classId, sizeof c);
    std::memcpy(&i, &interfaceId, sizeof i);
    const RECT rect = {0, 0, kSide, kSide};
    return engine_.create(c, i, "", style, 0, rect, parent, &owner_);
  }

  Control* button(const char* icon) {
    Control* made = make("button", WS_CHILD | WS_VISIBLE, window_->window());
    if (made)
      made->sendMessage(kEnginePicture, uint64_t{0xFFFFFFFF} | uint64_t{24} << 32,
                        reinterpret_cast<LPARAM>(icon));
    return made;
  }

  // The control as it draws itself, 60 x 60 pixels, 0xRRGGBB each.
  static std::vector<uint32_t> picture(Control* control) {
    const BITMAPINFO info = dibInfo(kSide, kSide, 32, DibRows::TopDown);
    void* bits = nullptr;
    ScreenDc screen;
    Bitmap canvas(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!canvas || !bits) return {};
    MemoryDc dc(screen.get());
    {
      ScopedSelect selected(dc.get(), canvas.get());
      SendMessageW(control->window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()),
                   PRF_CLIENT);
    }
    GdiFlush();
    std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits),
                                 static_cast<const uint32_t*>(bits) + kSide * kSide);
    for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
  }

  // The widest run of `colour` across the middle row of a picture.
  static LONG widestRun(const std::vector<uint32_t>& pixels, COLORREF colour) {
    const uint32_t wanted = GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
    LONG widest = 0, run = 0;
    for (size_t x = 0; x < kSide && pixels.size() == kSide * kSide; ++x) {
      run = pixels[kSide / 2 * kSide + x] == wanted ? run + 1 : 0;
      widest = std::max(widest, run);
    }
    return widest;
  }

  static constexpr int kSide = 60;
  Engine& engine_ = Engine::instance();
  ClickCounter owner_;
  std::string folder_;
  Control* window_ = nullptr;
};

TEST_F(InProcessEngineTest, IconsFocusAndPressAtBothDensities) {
  for (const int dpi : {96, 144}) {
    engine_.setDpi(dpi);
    Control* pen = button("icons/24/pen.bmp");
    ASSERT_NE(pen, nullptr);
    const std::vector<uint32_t> rest = picture(pen);
    // Dense screens get the 36-pixel twin of the icon.
    if (dpi == 96)
      EXPECT_EQ(widestRun(rest, kIconColour), 24);
    else
      EXPECT_EQ(widestRun(rest, kTwinColour), 36);
    SetFocus(pen->window());
    const std::vector<uint32_t> focused = picture(pen);
    EXPECT_NE(focused, rest) << dpi;
    // Space presses the focused button and clicks it as it comes up.
    SendMessageW(pen->window(), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(SendMessageW(pen->window(), BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
    EXPECT_NE(picture(pen), focused) << dpi;
    EXPECT_EQ(owner_.clicks, 0);
    SendMessageW(pen->window(), WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(owner_.clicks, 1);
    owner_.clicks = 0;
    EXPECT_EQ(picture(pen), focused) << dpi;
    DestroyWindow(pen->window());
  }
  // Without a twin the 24-pixel icon is drawn at the larger size.
  Control* lonely = button("icons/24/lonely.bmp");
  ASSERT_NE(lonely, nullptr);
  EXPECT_EQ(widestRun(picture(lonely), kIconColour), 36);
}

}  // namespace
}  // namespace scribly
