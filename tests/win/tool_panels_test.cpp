// The tool panels in the main frame built from the installed skin, driven by
// the messages a hand's clicks and pointer moves produce: what the pen then
// holds, what the frame is told and what the panels show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/silent_surroundings.h"
#include "board/tool_table.h"
#include "frame/tool_panels_win.h"
#include "test_surface.h"
#include "win/messages.h"
#include "win/module.h"

namespace scribly {
namespace {

LPARAM at(int x, int y) { return MAKELPARAM(x, y); }

void click(HWND window, int x, int y, UINT down = WM_LBUTTONDOWN) {
  SendMessageW(window, down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, at(x, y));
  SendMessageW(window, down + 1, 0, at(x, y));
}

// The centre of palette cell `index`.
LPARAM cell(int index) { return at(index % 19 * 10 + 4, index / 19 * 10 + 4); }

class ToolPanelsTest : public SkinHostTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SkinHostTest::SetUp());
    // The frame's part: every element message goes to the panels first.
    program_.route = [this](SkinElement& source, UINT message, WPARAM w, LPARAM l, LRESULT& r) {
      if (message == WM_PLUGIN_COLOUR_CHOSEN) coloursChosen_.emplace_back(w, l);
      return panels_ && panels_->handle(source, message, w, l, r);
    };
    ASSERT_NO_FATAL_FAILURE(openFrame(program_));
    panels_ = std::make_unique<ToolPanels>(*skin_, *frame_, tools_);
    tools_.setColour(0x123456);
    tools_.setFill(0xFFFFFF);
  }
  void TearDown() override {
    program_.route = nullptr;
    panels_.reset();
    SkinHostTest::TearDown();
  }

  HWND palette() { return panels_->popupWindow(kPaletteWindowName); }
  // Opens the palette from the swatch's front (pen) or back (fill) square.
  void openPalette(bool forPen) {
    click(element("color picker"), forPen ? 10 : 50, forPen ? 10 : 30);
    pump();
    ASSERT_TRUE(palette() && IsWindowVisible(palette()));
  }
  void hover(LPARAM point) {
    SendMessageW(palette(), WM_MOUSEMOVE, 0, point);
    pump();
  }
  // A palette button pressed as a hand presses it: through the palette,
  // which holds the pointer, and released on the button.
  void press(const char* name) {
    HWND button = findSkinWindow(palette(), name);
    ASSERT_NE(button, nullptr);
    RECT r;
    GetWindowRect(button, &r);
    MapWindowPoints(nullptr, palette(), reinterpret_cast<POINT*>(&r), 2);
    SendMessageW(palette(), WM_LBUTTONDOWN, MK_LBUTTON, at(r.left + 5, r.top + 5));
    SendMessageW(button, WM_LBUTTONUP, 0, at(5, 5));
  }
  // What a panel shows, printed into a surface of its size.
  std::unique_ptr<Surface> print(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    auto surface = std::make_unique<Surface>(r.right, r.bottom, RGB(1, 2, 3));
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface->dc()), PRF_CLIENT);
    return surface;
  }

  SilentHost host_;
  Board board_{BoardEnvironment{host_, host_, host_, host_, host_, nullptr}, BoardOptions{}};
  SilentToolSurroundings view_;
  DrawingTools tools_{board_, view_, 1};
  RoutingProgram program_;
  std::vector<std::pair<WPARAM, LPARAM>> coloursChosen_;
  std::unique_ptr<ToolPanels> panels_;
};

TEST_F(ToolPanelsTest, ThePaletteSamplesTheScreenAndChoosesOnReleaseForThePenOrTheFill) {
  openPalette(true);
  // It opens at the swatch's bottom-left corner and takes the pointer.
  RECT swatch, shown;
  GetWindowRect(element("color picker"), &swatch);
  GetWindowRect(palette(), &shown);
  EXPECT_EQ(shown.left, swatch.left);
  EXPECT_EQ(shown.top, swatch.bottom);
  EXPECT_EQ(GetCapture(), palette());
  // The release that ended the opening click chose nothing.
  SendMessageW(palette(), WM_LBUTTONUP, 0, at(10, -20));
  pump();
  EXPECT_TRUE(IsWindowVisible(palette()));

  // What the screen shows under the pointer is sampled (which cell a point
  // highlights is ColourPalette's to check).
  hover(cell(19));
  EXPECT_EQ(panels_->palette().colour(), RGB(232, 232, 232));
  hover(cell(11 * 19));
  EXPECT_EQ(panels_->palette().colour(), 0u);
  // The sample beside the read-out shows the colour too.
  auto shownPalette = print(palette());
  EXPECT_EQ(shownPalette->at(20, 135), RGB(0, 0, 0));
  EXPECT_EQ(shownPalette->at(4, 14), RGB(232, 232, 232));

  click(palette(), 4, 114);
  pump();
  EXPECT_FALSE(IsWindowVisible(palette()));
  EXPECT_NE(GetCapture(), palette());
  ASSERT_EQ(coloursChosen_.size(), 1u);
  EXPECT_EQ(coloursChosen_[0], (std::pair<WPARAM, LPARAM>(0, 1)));
  // A chosen black stays visible.
  EXPECT_EQ(tools_.pen().colour, kDarkestColour);
  EXPECT_EQ(tools_.pen().fill, 0xFFFFFFu);

  // The back square sends every choice to the fill.
  openPalette(false);
  EXPECT_FALSE(panels_->paletteEditsPen());
  hover(cell(7));  // red 51, green and blue 0
  click(palette(), 74, 4);
  pump();
  EXPECT_EQ(tools_.pen().fill, RGB(51, 0, 0));
  EXPECT_EQ(tools_.pen().colour, kDarkestColour);
  // The swatch shows it on the panel's grey (which square shows which colour
  // is PanelChoices' to check).
  auto squares = print(element("color picker"));
  EXPECT_EQ(squares->at(50, 30), RGB(51, 0, 0));     // the back square
  EXPECT_EQ(squares->at(1, 1), RGB(230, 230, 230));  // the panel

  // Button 100 opens the colour dialog at the sampled colour; what it
  // confirms is chosen, a cancel chooses nothing.
  openPalette(false);
  hover(cell(8));  // red 51, green 51
  answerBox([&] { press("more colours"); }, IDOK, L"Color");
  pump();
  EXPECT_FALSE(IsWindowVisible(palette()));
  ASSERT_EQ(coloursChosen_.size(), 3u);
  EXPECT_EQ(coloursChosen_[2], (std::pair<WPARAM, LPARAM>(RGB(51, 51, 0), 1)));
  openPalette(false);
  answerBox([&] { press("more colours"); }, IDCANCEL, L"Color");
  pump();
  EXPECT_EQ(coloursChosen_.size(), 3u);
  EXPECT_EQ(tools_.pen().fill, RGB(51, 51, 0));

  openPalette(false);
  press("no colour");
  pump();
  EXPECT_FALSE(IsWindowVisible(palette()));
  ASSERT_EQ(coloursChosen_.size(), 4u);
  EXPECT_EQ(coloursChosen_[3], (std::pair<WPARAM, LPARAM>(0, 0)));
  EXPECT_EQ(tools_.pen().fill, 0u);
  EXPECT_EQ(tools_.pen().colour, kDarkestColour);
}

TEST_F(ToolPanelsTest, SwatchWidthBarsStylesAndChoosersSetWhatThePenHolds) {
  HWND swatch = element("color picker");
  click(swatch, 55, 8);  // swap
  EXPECT_EQ(tools_.pen().colour, 0xFFFFFFu);
  EXPECT_EQ(tools_.pen().fill, 0x123456u);
  EXPECT_EQ(palette(), nullptr);  // the corner opens no palette

  HWND widths = element("line width");
  click(widths, 30, 52);
  EXPECT_EQ(tools_.pen().width, 5);
  click(widths, 30, 9);
  EXPECT_EQ(tools_.pen().width, 1);
  // The chosen bar in the system's highlight (the bars' painting is
  // PanelChoices' to check).
  EXPECT_EQ(print(widths)->at(5, 8), GetSysColor(COLOR_HIGHLIGHT));
  // Painting keeps nothing and never deletes what is still selected.
  const GdiObjectStats before = gdiObjectStats();
  print(element("color picker"));
  print(element("font set"));
  EXPECT_EQ(gdiObjectStats().live, before.live);
  EXPECT_EQ(gdiObjectStats().deferredDeletes, before.deferredDeletes);

  // A pen style change checks its button only.
  panels_->penStateChanged(kPenStyleBit, 2);
  for (const char* name : {"PS_SOLID", "PS_DASH", "PS_DOT", "PS_DASHDOT", "PS_DASHDOTDOT"}) {
    EXPECT_EQ(SendMessageW(element(name), BM_GETCHECK, 0, 0),
              std::string(name) == "PS_DOT" ? BST_CHECKED : BST_UNCHECKED)
        << name;
  }

  // A right click opens the chooser, whose item selects the tool.
  HWND line = element("line");
  click(line, 5, 5, WM_RBUTTONDOWN);
  HWND chooser = panels_->popupWindow(kLineChooserName);
  ASSERT_NE(chooser, nullptr);
  EXPECT_TRUE(IsWindowVisible(chooser));
  // Level with the button, right of the tool buttons.
  RECT button, tools, shown;
  GetWindowRect(line, &button);
  GetWindowRect(GetParent(line), &tools);
  GetWindowRect(chooser, &shown);
  EXPECT_EQ(shown.left, tools.right);
  EXPECT_EQ(shown.top, button.top);

  click(findSkinWindow(chooser, "lineSA"), 5, 5);
  pump();
  EXPECT_EQ(tools_.tool(), toolIdFromName("lineSA"));
  EXPECT_FALSE(IsWindowVisible(chooser));
  // The frame's own button of the tool shows it and tells the frame.
  EXPECT_EQ(SendMessageW(element("lineSA"), BM_GETCHECK, 0, 0), BST_CHECKED);
  ASSERT_EQ(program_.commands.size(), 1u);
  EXPECT_EQ(program_.commands[0].source->name() + ":" + program_.commands[0].name,
            "lineSA:SelectTool");

  // Opened again, it shows the tool in hand, even one chosen elsewhere.
  tools_.selectTool(*toolIdFromName("lineDA"));
  click(line, 5, 5, WM_RBUTTONDOWN);
  EXPECT_EQ(SendMessageW(findSkinWindow(chooser, "lineDA"), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(findSkinWindow(chooser, "lineSA"), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  click(element("halfcircle3"), 5, 5, WM_RBUTTONDOWN);
  HWND rounds = panels_->popupWindow(kRoundChooserName);
  ASSERT_NE(rounds, nullptr);
  EXPECT_TRUE(IsWindowVisible(rounds));
}

}  // namespace
}  // namespace scribly
