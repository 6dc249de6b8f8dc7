#pragma once
// The frame's tool panels as geometry, tables and state: the colour swatch,
// the colour palette and its two buttons, the line-width bars, the font sample
// and the choosers. The Win32 panels paint the shapes listed here and hand
// pointer positions back; nothing here knows a window. Points and sizes are in
// the client coordinates of the panel concerned; colours are COLORREF values
// (red in the low byte).
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "objects/font_record.h"
#include "objects/geometry.h"

namespace scribly {

inline constexpr uint32_t colourOf(uint8_t red, uint8_t green, uint8_t blue) {
  return red | (green << 8) | (blue << 16);
}
inline constexpr uint8_t redOf(uint32_t colour) { return colour & 0xFF; }
inline constexpr uint8_t greenOf(uint32_t colour) { return (colour >> 8) & 0xFF; }
inline constexpr uint8_t blueOf(uint32_t colour) { return (colour >> 16) & 0xFF; }

inline constexpr uint32_t kPanelBackground = 0xE6E6E6;
inline constexpr uint32_t kPanelWhite = 0xFFFFFF;
inline constexpr uint32_t kPanelBlack = 0;
// The darkest colour that is not 0: objects read 0 as "no colour", so a
// chosen pure black becomes this one to stay visible.
inline constexpr uint32_t kDarkestColour = 0x010000;

// ---------------------------------------------------------------------------
// What a panel paints, in order. The Win32 side draws each shape as it stands.

// The module bitmaps the panels show, by resource id; magenta is transparent.
enum class PanelBitmap : uint16_t { NoColour = 204, Swap = 205, Reset = 206 };
inline constexpr uint32_t kPanelBitmapTransparent = 0xFF00FF;

struct FillShape {
  Rect box;
  uint32_t colour = 0;
  friend bool operator==(const FillShape&, const FillShape&) = default;
};
// A rectangle with a 1-pixel pen, filled with the brush when there is one.
struct FrameShape {
  Rect box;
  uint32_t pen = 0;
  std::optional<uint32_t> brush;
  friend bool operator==(const FrameShape&, const FrameShape&) = default;
};
// A line from `from` up to, not including, `to`.
struct LineShape {
  Point from;
  Point to;
  uint32_t colour = 0;
  int32_t width = 1;
  friend bool operator==(const LineShape&, const LineShape&) = default;
};
struct BitmapShape {
  PanelBitmap bitmap = PanelBitmap::NoColour;
  Point topLeft;
  friend bool operator==(const BitmapShape&, const BitmapShape&) = default;
};
// Text on a transparent background, on one line: centred in the box both ways,
// or from the box's top-left corner. Without a font the panel's own font.
struct TextShape {
  Rect box;
  std::string text;
  uint32_t colour = 0;
  bool centred = false;
  std::optional<FontRecord> font;
  friend bool operator==(const TextShape&, const TextShape&) = default;
};
// The system's dotted focus rectangle.
struct FocusShape {
  Rect box;
  friend bool operator==(const FocusShape&, const FocusShape&) = default;
};

using PanelShape =
    std::variant<FillShape, FrameShape, LineShape, BitmapShape, TextShape, FocusShape>;
using PanelPainting = std::vector<PanelShape>;

// ---------------------------------------------------------------------------
// The colour swatch ("color picker"): the pen colour's square in front, the
// fill's behind it, and two corners for reset and swap.

struct PenColours {
  uint32_t pen = 0;
  uint32_t fill = 0;
  friend bool operator==(const PenColours&, const PenColours&) = default;
};

struct SwatchLayout {
  Rect inner;
  Rect front;
  Rect back;
  Rect reset;
  Rect swap;
};
SwatchLayout swatchLayout(Size element);

enum class SwatchPart : uint8_t { None, Front, Back, Reset, Swap };
// Where the squares overlap the front one wins.
SwatchPart swatchPartAt(Size element, Point p);

// A click on the swatch. Reset and swap change the colours here (the caller
// then sends them and repaints the swatch, and for reset the font sample);
// Front and Back ask the caller to show the palette at the element's
// bottom-left corner, editing the pen colour or the fill.
SwatchPart clickSwatch(Size element, Point p, PenColours& colours);

PanelPainting paintSwatch(Size element, PenColours colours);

// ---------------------------------------------------------------------------
// The colour palette: a 19 x 12 grid of cells above a strip with the sampled
// colour, its read-out and the buttons "more colours" and "no colour".

inline constexpr int32_t kPaletteColumns = 19;
inline constexpr int32_t kPaletteRows = 12;
inline constexpr int32_t kPaletteCellCount = kPaletteColumns * kPaletteRows;
inline constexpr int32_t kPaletteCellPitch = 10;
inline constexpr Size kPaletteClientSize{191, 150};
inline constexpr Rect kPaletteClient{0, 0, kPaletteClientSize.width, kPaletteClientSize.height};
inline constexpr Rect kPaletteGrid = {0, 0, (kPaletteColumns * kPaletteCellPitch),
                                      (kPaletteRows * kPaletteCellPitch)};
inline constexpr Rect kPaletteStrip{0, 120, 191, 150};
inline constexpr Rect kPaletteSample{6, 126, 40, 144};
inline constexpr Rect kPaletteReadout{46, 127, 154, 147};

inline constexpr int32_t kMoreColoursButton = 100;
inline constexpr int32_t kNoColourButton = 101;

// The colour of cell row * 19 + column: column 0 holds greys from white down
// to black, the other columns the 216 colours of six steps per channel.
std::optional<uint32_t> paletteCellColour(int32_t index);
// The cell under a point of the grid; none outside it.
std::optional<int32_t> paletteCellAt(Point p);
// The box a highlighted cell's focus rectangle takes.
Rect paletteCellBox(int32_t index);
// "R:%-4dG:%-4dB:%-4d" of the colour's channels.
std::string paletteReadout(uint32_t colour);

// What the palette posts to its owner as the colour-chosen message: the
// colour as wParam, `chosen` as lParam (kColourChosen, or 0 for no colour).
inline constexpr uint32_t kColourChosen = 1;
struct ColourChoice {
  uint32_t colour = 0;
  uint32_t chosen = 0;
  friend bool operator==(const ColourChoice&, const ColourChoice&) = default;
};
// The colour the frame takes from a posted choice: the colour when chosen,
// with pure black made visible; 0 (none) otherwise. Only the colour's three
// bytes count, whatever else the message carries.
uint32_t colourFromChoice(uint64_t wParam, uint64_t lParam);

// The 16 custom colours of the system colour dialog; they last as long as the
// module stays loaded.
std::array<uint32_t, 16>& paletteCustomColours();

class ColourPalette {
 public:
  uint32_t colour() const { return colour_; }
  void setColour(uint32_t colour) { colour_ = colour & 0xFFFFFF; }
  // -1 when no cell is highlighted.
  int32_t highlighted() const { return highlighted_; }

  // The pointer at a screen point: false when it has not moved since the last
  // call, so there is nothing to sample.
  bool pointerMoved(Point screen);
  // The colour read under the pointer (none when nothing could be read) and
  // the pointer's client point. Returns the boxes to repaint: the old and new
  // highlighted cells, the sample and the read-out, each only when it changed.
  std::vector<Rect> sampled(std::optional<uint32_t> colour, Point client);

  // Left button up over the palette: hide it and post this.
  ColourChoice choose() const { return {colour_, kColourChosen}; }
  // Button 101: hide the palette and post this.
  static ColourChoice noColour() { return {0, 0}; }
  // Button 100: the colour dialog starts from the current colour when there
  // is one; a confirmed dialog posts ColourChoice{chosen, kColourChosen}.
  std::optional<uint32_t> dialogStartColour() const;

  // Everything but the two buttons; the grid lines in the skin's grid colour.
  PanelPainting paint(uint32_t gridColour) const;

 private:
  uint32_t colour_ = 0;
  int32_t highlighted_ = -1;
  std::optional<Point> lastScreenPoint_;
};

// The owner-drawn face of button 100 or 101 of the given size; empty for any
// other id.
PanelPainting paintPaletteButton(int32_t id, Size size, bool pressed);

// ---------------------------------------------------------------------------
// The line widths ("line width"): five bars, 1 to 5 pixels high.

inline constexpr uint8_t kLineWidthCount = 5;

// The bars inside the element narrowed by `inset` on the left and right.
std::array<Rect, kLineWidthCount> lineWidthBars(Size element, int32_t inset);
// The width a click picks: the first bar, laid out 4 pixels in from each
// side, whose box grown by 4 holds the point; none beside every bar.
std::optional<uint8_t> lineWidthAt(Size element, Point p);
PanelPainting paintLineWidth(Size element, uint8_t current, uint32_t highlightColour);

// ---------------------------------------------------------------------------
// The font sample ("font set"): "ABC" in the current font and pen colour.

inline constexpr std::string_view kFontSampleText = "ABC";
PanelPainting paintFontSample(Size element, const FontRecord& font, uint32_t penColour);

// ---------------------------------------------------------------------------
// Choosers: a row or column of equal items, each named as its skin button.
// The shape choosers' names are tool names (board/tool_table.h); the line
// style chooser's names are the pen styles in order.

struct Chooser {
  std::span<const std::string_view> items;
  Point first;  // top-left corner of the first item
  Size item;
  Point step;  // from one item's corner to the next
};

inline constexpr std::string_view kLineStyleNames[] = {"PS_SOLID", "PS_DASH", "PS_DOT",
                                                       "PS_DASHDOT", "PS_DASHDOTDOT"};
inline constexpr std::string_view kLineShapeNames[] = {"line", "lineSA", "lineDA"};
inline constexpr std::string_view kRoundShapeNames[] = {"ellipse", "halfcircle1", "halfcircle2",
                                                        "halfcircle3", "halfcircle4"};

// As the skin lays them out: the shape pop-ups "scribly chose line panel" and
// "scribly chose circle panel", and the style buttons of "ext panel".
inline constexpr Chooser kLineShapeChooser{kLineShapeNames, {2, 2}, {32, 32}, {34, 0}};
inline constexpr Chooser kRoundShapeChooser{kRoundShapeNames, {2, 2}, {32, 32}, {34, 0}};
inline constexpr Chooser kLineStyleChooser{kLineStyleNames, {2, 94}, {64, 12}, {0, 12}};

// The item's box; empty for an index past the end.
Rect chooserItemBox(const Chooser& chooser, size_t index);
// The item at a point; none between and beside the items.
std::optional<size_t> chooserItemAt(const Chooser& chooser, Point p);
// The tool a shape chooser picks at a point.
std::optional<uint8_t> chooserToolAt(const Chooser& chooser, Point p);

// "SelectLineStyle": the style of a name in any case; none for a name not in
// the table.
std::optional<uint32_t> lineStyleFromName(std::string_view name);
// The button that shows a style; styles past the table show as solid.
std::string_view lineStyleName(uint32_t style);

// The tool a key picks over the tool panel: E delete, R rect, T text,
// U trigon, Y pencial (either case); any other key "choice".
uint8_t toolForPanelKey(uint32_t key);

}  // namespace scribly
