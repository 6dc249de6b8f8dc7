// The engine linked into the test program, for what the DLL offers no way to
// change from outside: the screen's dots per inch.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "skin/control_types.h"
#include "skin/skin_document.h"
#include "skin/skin_layout.h"
#include "tests/support/win_test_support.h"
#include "tests/win/process_counts.h"
#include "uiengine/control_win.h"
#include "uiengine/engine_win.h"
#include "uiengine/menu_win.h"
#include "win/bitmap_file.h"
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
    folder_ = narrow(tempPath(L"engine_dpi_test"));
    for (const char* size : {"24", "36"})
      std::filesystem::create_directories(folder_ + "\\icons\\" + size);
    ASSERT_TRUE(writeSquare(folder_ + "\\icons\\24\\pen.bmp", 24, kIconColour));
    ASSERT_TRUE(writeSquare(folder_ + "\\icons\\36\\pen.bmp", 36, kTwinColour));
    ASSERT_TRUE(writeSquare(folder_ + "\\icons\\24\\lonely.bmp", 24, kIconColour));
    engine_.setSkinFolder(folder_);
    window_ = make(*findControlType("window"), "", WS_POPUP | WS_VISIBLE, 0, kBox, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_->window());
    std::filesystem::remove_all(folder_);
    engine_.setDpi(0);
  }

  Control* make(const ControlType& row, const char* caption, DWORD style, DWORD exStyle,
                const RECT& rect, HWND parent) {
    const EngineId classId = engineClassId(row), interfaceId = engineInterfaceId(row);
    CLSID c;
    IID i;
    std::memcpy(&c, &classId, sizeof c);
    std::memcpy(&i, &interfaceId, sizeof i);
    return engine_.create(c, i, caption, style, exStyle, rect, parent, &owner_);
  }

  // A control and its children as the skin loader describes them.
  Control* build(const ControlDescription& d, HWND parent) {
    const RECT rect = {d.rect.x, d.rect.y, d.rect.x + d.rect.width, d.rect.y + d.rect.height};
    Control* control = make(*d.type, d.caption.c_str(), d.style, d.exStyle, rect, parent);
    if (!control) return nullptr;
    control->setName(d.name.c_str());
    for (const SkinMessage& m : d.messages)
      control->sendMessage(m.code, m.wParam,
                           m.text ? reinterpret_cast<LPARAM>(m.text->c_str()) : m.lParam);
    for (const ControlDescription& child : d.children) build(child, control->window());
    return control;
  }

  Control* button(const char* icon) {
    Control* made =
        make(*findControlType("button"), "", WS_CHILD | WS_VISIBLE, 0, kBox, window_->window());
    if (made)
      made->sendMessage(kEnginePicture, uint64_t{0xFFFFFFFF} | uint64_t{24} << 32,
                        reinterpret_cast<LPARAM>(icon));
    return made;
  }

  // The control as it draws itself, 60 x 60 pixels, 0xRRGGBB each.
  static std::vector<uint32_t> picture(Control* control) { return shoot(control->window()).pixels; }

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
  static constexpr RECT kBox = {0, 0, kSide, kSide};
  Engine& engine_ = Engine::instance();
  ClickCounter owner_;
  std::string folder_;
  Control* window_ = nullptr;
};

TEST_F(InProcessEngineTest,
       IconsFocusAndPressAtBothDensitiesAndWindowsBuiltAndDestroyedLeaveNothing) {
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

  // Built into a host's window as the plug-in's frame is: the system makes
  // the host, not the skin window, the owner of its pop-up controls.
  SkinDocument document;
  ASSERT_TRUE(document.loadText(R"(<skin><skins>
    <window name="frame" style_add="WS_CHILD" icon="icons/24/pen.bmp" font="Tahoma,10" width="300" height="200">
      <button name="pen" icon="icons/24/pen.bmp" cursor="hand" tip="Pen" x="4" y="4" width="40" height="40"/>
      <static name="label" caption="Width" color="200,0,0" back_color="250,250,250" tip="Width" x="50" y="4" width="80" height="20"/>
      <vdtree name="tree" x="4" y="50" width="200" height="100"/>
      <capturescreen name="screen cap" style_remove="WS_VISIBLE" width="0" height="0"/>
    </window></skins></skin>)",
                                "test.xml", nullptr));
  ControlIds ids(1);
  const std::optional<ControlDescription> description =
      describeWindow(document.findWindow("window", "frame"), ids);
  ASSERT_TRUE(description);
  const HWND host = window_->window();
  auto lifetime = [&] {
    Control* frame = build(*description, host);
    if (!frame) return false;
    Control* pen = frame->find("pen");
    Control* tree = frame->find("tree");
    if (!pen || !tree) return false;
    // An event makes its control current; the tree's items get their own font.
    engine_.setObject(kCurrentControlVariable, pen);
    engine_.setObject(kCurrentWindowVariable, frame);
    const TreeItemSpec item = {
        R"(<text><font face="Arial" size="12" color="0,0,255">1</font></text>)", 0, 0, 0, nullptr};
    tree->sendMessage(kTreeInsertItem, 0, reinterpret_cast<LPARAM>(&item));
    Menu* menu = engine_.createMenu(R"(<menu name="m"><item name="a" caption="A"/></menu>)",
                                    frame->window());
    DestroyWindow(frame->window());
    // The program may let go of its menu after the window.
    if (menu) menu->release();
    return menu != nullptr;
  };
  ASSERT_TRUE(lifetime());  // the first use sets up what every later one shares
  const Engine::Holdings held = engine_.holdings();
  const long gdi = liveGdiObjects(), user = liveUserObjects();
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(lifetime());
  const Engine::Holdings now = engine_.holdings();
  EXPECT_EQ(now.controls, held.controls);
  EXPECT_EQ(now.objects, held.objects);
  EXPECT_EQ(now.menus, held.menus);
  EXPECT_EQ(liveGdiObjects(), gdi);
  EXPECT_EQ(liveUserObjects(), user);
}

}  // namespace
}  // namespace scribly
