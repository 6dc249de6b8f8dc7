#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "frame/command_table.h"
#include "frame/tool_panels.h"

namespace scribly {
namespace {

// Writes down every operation the table runs.
class RecordingTarget final : public CommandTarget {
 public:
  void selectTool(uint8_t tool) override { note("tool " + std::to_string(tool)); }
  void focusView() override { note("focus"); }
  void insertImage() override { note("image"); }
  void insertHandSymbol() override { note("hand"); }
  void captureScreen(bool hide) override { note(hide ? "capture hidden" : "capture"); }
  void paste() override { note("paste"); }
  void openMenu(std::string_view menu, std::string_view element) override {
    note("menu " + std::string(menu) + " at " + std::string(element));
  }
  void setBackground(std::string_view item) override { note("background " + std::string(item)); }
  void setBackgroundScale(double factor) override { note("scale " + std::to_string(factor)); }
  void contextCommand(std::string_view item) override { note("context " + std::string(item)); }
  void libraryCommand(std::string_view item) override { note("library " + std::string(item)); }
  void setLineStyle(uint32_t style) override { note("style " + std::to_string(style)); }
  void showContents(std::string_view element) override { note("contents " + std::string(element)); }
  void goToNeighbourPage(int direction) override { note("page " + std::to_string(direction)); }
  void pageOption(uint32_t option) override { note("option " + std::to_string(option)); }

  std::vector<std::string> take() { return std::exchange(calls_, {}); }

 private:
  void note(std::string call) { calls_.push_back(std::move(call)); }
  std::vector<std::string> calls_;
};

using Calls = std::vector<std::string>;

TEST(CommandTable, ElementsAndItemsMatchInAnyCaseCommandsOnlyExactlyAndReachTheirOperations) {
  RecordingTarget t;
  // Runs each "element:command:item", all known; what the target was asked to do.
  const auto run = [&t](std::initializer_list<std::string_view> commands) {
    for (std::string_view line : commands) {
      const size_t first = line.find(':'), second = line.find(':', first + 1);
      const std::string_view item = second == line.npos ? "" : line.substr(second + 1);
      EXPECT_EQ(
          runCommand(t, line.substr(0, first), line.substr(first + 1, second - first - 1), item), 0)
          << line;
    }
    return t.take();
  };
  EXPECT_EQ(run({"RECT:SelectTool"}), (Calls{"tool 12", "focus"}));
  // Not a tool: the view still gets the focus.
  EXPECT_EQ(run({"view wnd:SelectTool"}), (Calls{"focus"}));
  EXPECT_NE(runCommand(t, "rect", "selecttool", ""), 0);
  EXPECT_NE(runCommand(t, "rect", "SelectTool ", ""), 0);
  EXPECT_EQ(t.take(), Calls{});

  EXPECT_EQ(
      run({"ps_dashdot:SelectLineStyle", "PS_WIDE:SelectLineStyle", "x:set bkgndscale:SCALE_65",
           "x:set bkgndscale:scale_64", "x:set bkgndscale:scale_BestFit"}),
      (Calls{"style 3", "scale 0.650000", "scale 0.000000"}));
  // Pages, menus and captures reach their operations.
  EXPECT_EQ(run({"pageLeft:SetPage", "PAGERIGHT:SetPage", "contents:SetPage", "add page:PageOpt",
                 "add share doc:PageOpt", "clrscr:PageOpt"}),
            (Calls{"page -1", "page 1", "option 2", "option 1", "option 0"}));
  EXPECT_EQ(
      run({"bkgnd:SetBkGnd", "frame:set bkgnd:grid", "bkgnd scale:SetBkGndScale",
           "frame:right mouseclick:rotate90", "vdtree:dirroot menu:refresh", "contents:Contents"}),
      (Calls{"menu set bkgnd at bkgnd", "background grid", "menu set bkgndscale at bkgnd scale",
             "context rotate90", "library refresh", "contents contents"}));
  EXPECT_EQ(run({"capture:CaptureScreen", "cut:Cut", "paste:Paste", "image:InsertImage",
                 "hand:InsertHandSymbol"}),
            (Calls{"capture hidden", "capture", "paste", "image", "hand"}));

  // Shortcut keys name their tool buttons in any case; any other key the choice.
  const std::pair<uint32_t, std::string_view> keys[] = {
      {'R', "rect"},   {'t', "text"}, {'e', "delete"}, {'Y', "pencial"},       {'U', "trigon"},
      {'V', "choice"}, {0, "choice"}, {'B', "choice"}, {'e' + 0x100, "choice"}};
  for (const auto& [key, button] : keys) EXPECT_EQ(toolButtonForKey(key), button) << key;
}

template <typename T>
std::vector<T> shapes(const PanelPainting& painting) {
  std::vector<T> out;
  for (const PanelShape& s : painting)
    if (const T* t = std::get_if<T>(&s)) out.push_back(*t);
  return out;
}

TEST(ColourPalette, CellsHoldGreysThenTheCubeSamplingHighlightsThemAndChoicesReachTheFrame) {
  EXPECT_EQ(paletteCellColour(0), 0xFFFFFFu);
  EXPECT_EQ(paletteCellColour(1), colourOf(0, 0, 0));        // first of the 216
  EXPECT_EQ(paletteCellColour(19 + 1), colourOf(0, 0, 51));  // blue steps by row
  EXPECT_EQ(paletteCellColour(2), colourOf(0, 51, 0));       // green by column
  EXPECT_EQ(paletteCellColour(6 * 19 + 1), colourOf(153, 0, 0));
  EXPECT_EQ(paletteCellColour(kPaletteCellCount - 1), 0xFFFFFFu);  // last of the 216
  EXPECT_FALSE(paletteCellColour(-1));
  EXPECT_FALSE(paletteCellColour(kPaletteCellCount));

  std::set<uint32_t> cube;
  for (int32_t i = 0; i < kPaletteCellCount; ++i)
    if (i % kPaletteColumns != 0) cube.insert(*paletteCellColour(i));
  EXPECT_EQ(cube.size(), 216u);

  EXPECT_EQ(paletteCellAt({5, 15}), 19);
  EXPECT_EQ(paletteCellAt({189, 119}), kPaletteCellCount - 1);
  EXPECT_FALSE(paletteCellAt({190, 0}));
  EXPECT_FALSE(paletteCellAt({0, 120}));
  EXPECT_FALSE(paletteCellAt({-1, 5}));

  // Sampling highlights the cell and shows the colour only when something changed.
  ColourPalette palette;
  EXPECT_FALSE(palette.dialogStartColour());  // nothing sampled or chosen yet
  EXPECT_TRUE(palette.pointerMoved({300, 400}));
  EXPECT_FALSE(palette.pointerMoved({300, 400}));

  // Column 0, row 11: black, each channel left-aligned in four characters.
  palette.setColour(0x123456);
  EXPECT_EQ(palette.sampled(0, {3, 113}),
            (std::vector<Rect>{kPaletteSample, kPaletteReadout, paletteCellBox(209)}));
  EXPECT_EQ(palette.highlighted(), 209);
  const auto texts = shapes<TextShape>(palette.paint(0x808080));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "R:0   G:0   B:0   ");
  EXPECT_EQ(paletteReadout(colourOf(255, 128, 7)), "R:255 G:128 B:7   ");
  EXPECT_EQ(shapes<FocusShape>(palette.paint(0)), (std::vector<FocusShape>{{{0, 110, 10, 120}}}));

  EXPECT_TRUE(palette.sampled(0, {8, 111}).empty());
  // A failed read keeps the colour; a point off the grid keeps the highlight.
  EXPECT_EQ(palette.sampled(std::nullopt, {15, 5}),
            (std::vector<Rect>{paletteCellBox(209), paletteCellBox(1)}));
  EXPECT_EQ(palette.colour(), 0u);
  EXPECT_EQ(palette.sampled(0xFF, {100, 140}),
            (std::vector<Rect>{kPaletteSample, kPaletteReadout}));
  EXPECT_EQ(palette.highlighted(), 1);

  // Choices and what the frame takes from them.
  palette.setColour(0x00FF00);
  EXPECT_EQ(palette.choose(), (ColourChoice{0x00FF00, 1}));
  EXPECT_EQ(palette.dialogStartColour(), 0x00FF00u);

  EXPECT_EQ(colourFromChoice(0x123456, 1), 0x123456u);
  EXPECT_EQ(colourFromChoice(0x123456, 0), 0u);
  EXPECT_EQ(colourFromChoice(0x123456, 2), 0u);
  EXPECT_EQ(colourFromChoice(0xFFFFFFFF00000000ull, 1), kDarkestColour);

  EXPECT_TRUE(paintPaletteButton(102, {15, 22}, false).empty());
  const auto up = shapes<LineShape>(paintPaletteButton(kNoColourButton, {15, 22}, false));
  const auto down = shapes<LineShape>(paintPaletteButton(kNoColourButton, {15, 22}, true));
  ASSERT_EQ(up.size(), 5u);
  EXPECT_EQ(up[4], (LineShape{{3, 3}, {11, 18}, 0x0000FF, 2}));
  EXPECT_EQ(down[4].from, (Point{4, 4}));
  EXPECT_EQ(up[0].colour, down[2].colour);  // the frame's tones swap
}

TEST(PanelChoices, SwatchPartsWidthBarsAndChoosersPickByPointAndPaintTheirChoice) {
  const Size element{64, 40};
  const SwatchLayout l = swatchLayout(element);
  EXPECT_EQ(l.front, (Rect{4, 4, 41, 25}));
  EXPECT_EQ(l.back, (Rect{23, 15, 60, 36}));
  EXPECT_EQ(swatchPartAt(element, {30, 20}), SwatchPart::Front);  // the overlap
  EXPECT_EQ(swatchPartAt(element, {59, 35}), SwatchPart::Back);
  EXPECT_EQ(swatchPartAt(element, {4, 35}), SwatchPart::Reset);
  EXPECT_EQ(swatchPartAt(element, {59, 4}), SwatchPart::Swap);
  EXPECT_EQ(swatchPartAt(element, {3, 20}), SwatchPart::None);
  EXPECT_EQ(swatchPartAt(element, {60, 10}), SwatchPart::None);

  PenColours colours{0x0000FF, 0};
  EXPECT_EQ(clickSwatch(element, {10, 10}, colours), SwatchPart::Front);
  EXPECT_EQ(clickSwatch(element, {50, 8}, colours), SwatchPart::Swap);
  EXPECT_EQ(colours, (PenColours{0, 0x0000FF}));
  EXPECT_EQ(clickSwatch(element, {10, 30}, colours), SwatchPart::Reset);
  EXPECT_EQ(colours, (PenColours{0x010000, 0xFFFFFF}));
  EXPECT_EQ(clickSwatch(element, {0, 0}, colours), SwatchPart::None);
  EXPECT_EQ(colours, (PenColours{0x010000, 0xFFFFFF}));

  // Painted back then front, no colour shown as its sign.
  const PanelPainting p = paintSwatch({64, 40}, {0, 0x00FF00});
  const auto frames = shapes<FrameShape>(p);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].box, (Rect{23, 15, 59, 35}));
  EXPECT_EQ(frames[1].box, (Rect{4, 4, 40, 24}));
  EXPECT_EQ(shapes<FillShape>(p).back(), (FillShape{{25, 17, 57, 33}, 0x00FF00}));
  EXPECT_EQ(shapes<BitmapShape>(p), (std::vector<BitmapShape>{{PanelBitmap::NoColour, {4, 4}},
                                                              {PanelBitmap::Reset, {4, 28}},
                                                              {PanelBitmap::Swap, {44, 4}}}));

  const Size bars{64, 62};
  const std::pair<Point, std::optional<uint8_t>> widths[] = {
      {{30, 4}, 1},  {{0, 8}, 1},   {{30, 12}, 1},  {{30, 13}, 2}, {{63, 40}, 4},
      {{30, 58}, 5}, {{30, 3}, {}}, {{30, 59}, {}}, {{64, 8}, {}}};
  for (const auto& [point, width] : widths)
    EXPECT_EQ(lineWidthAt(bars, point), width) << point.x << "," << point.y;

  const auto fills = shapes<FillShape>(paintLineWidth(bars, 3, 0xD77800));
  ASSERT_EQ(fills.size(), 7u);
  EXPECT_EQ(fills[3], (FillShape{{4, 25, 60, 32}, 0xD77800}));
  EXPECT_EQ(fills[4], (FillShape{{8, 27, 56, 30}, 0xFFFFFF}));
  EXPECT_EQ(fills[6], (FillShape{{8, 50, 56, 55}, 0}));
  EXPECT_EQ(shapes<FillShape>(paintLineWidth(bars, 9, 0xD77800)).size(), 6u);

  FontRecord font;
  font.setFace("Segoe UI");
  EXPECT_EQ(shapes<TextShape>(paintFontSample({64, 26}, font, 0x0000FF)),
            (std::vector<TextShape>{{{0, 0, 64, 26}, "ABC", 0x0000FF, true, font}}));

  EXPECT_EQ(chooserToolAt(kLineShapeChooser, {2, 2}), 11);
  EXPECT_EQ(chooserToolAt(kLineShapeChooser, {36, 33}), 20);
  EXPECT_EQ(chooserToolAt(kLineShapeChooser, {101, 10}), 21);
  EXPECT_FALSE(chooserToolAt(kLineShapeChooser, {35, 10}));  // between two items
  EXPECT_FALSE(chooserToolAt(kLineShapeChooser, {102, 10}));
  EXPECT_FALSE(chooserToolAt(kLineShapeChooser, {10, 34}));
  EXPECT_EQ(chooserToolAt(kRoundShapeChooser, {140, 20}), 25);
  EXPECT_EQ(chooserItemAt(kLineStyleChooser, {10, 153}), 4u);
  EXPECT_FALSE(chooserItemAt(kLineStyleChooser, {10, 154}));
  EXPECT_EQ(chooserItemBox(kLineStyleChooser, 5), Rect{});

  EXPECT_EQ(lineStyleName(3), "PS_DASHDOT");
  EXPECT_EQ(lineStyleName(7), "PS_SOLID");
}

}  // namespace
}  // namespace scribly
