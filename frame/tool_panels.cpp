#include "frame/tool_panels.h"

#include <cstdio>
#include <iterator>

#include "base/ascii.h"
#include "board/tool_table.h"
#include "objects/canvas.h"

namespace scribly {

namespace {

constexpr int32_t kSwatchMargin = 4;
constexpr int32_t kSignGap = 3;
constexpr int32_t kPaletteCellSize = 9;
constexpr uint8_t kGreys[kPaletteRows] = {255, 232, 209, 186, 163, 140, 117, 94, 71, 48, 23, 0};
constexpr uint8_t kColourStep = 51;
// Rows of one band of the 216 colours; the second band repeats the first
// with red three steps higher.
constexpr int32_t kBandRows = 6;

constexpr int32_t kBarGap = 8;
constexpr int32_t kBarPaintInset = 8;
constexpr int32_t kBarClickInset = 4;
constexpr int32_t kBarClickSlack = 4;

constexpr uint32_t kButtonShadow = 0xA0A0A0;
constexpr int32_t kSquareSize = 5;
constexpr int32_t kSquareOffset = 2;

uint8_t toolNamed(std::string_view name) { return toolIdFromName(name).value_or(0); }

// A colour square of the swatch: white behind a black frame one pixel short
// of the square's right and bottom edges, the colour inside, or the no-colour
// sign for 0.
void paintSwatchSquare(PanelPainting& out, const Rect& square, uint32_t colour) {
  const Rect framed{square.left, square.top, square.right - 1, square.bottom - 1};
  out.emplace_back(FrameShape{framed, kPanelBlack, kPanelWhite});
  if (colour == 0) {
    out.emplace_back(BitmapShape{PanelBitmap::NoColour, {square.left, square.top}});
  } else {
    out.emplace_back(FillShape{framed.inflated(-2), colour});
  }
}

}  // namespace

SwatchLayout swatchLayout(Size element) {
  SwatchLayout l;
  l.inner = Rect{0, 0, element.width, element.height}.inflated(-kSwatchMargin);
  const int32_t w = 2 * l.inner.width() / 3;
  const int32_t h = 2 * l.inner.height() / 3;
  l.front = {l.inner.left, l.inner.top, l.inner.left + w, l.inner.top + h};
  l.back = {l.inner.right - w, l.inner.bottom - h, l.inner.right, l.inner.bottom};
  l.reset = {l.inner.left, l.front.bottom, l.back.left, l.inner.bottom};
  l.swap = {l.front.right, l.inner.top, l.inner.right, l.back.top};
  return l;
}

SwatchPart swatchPartAt(Size element, Point p) {
  const SwatchLayout l = swatchLayout(element);
  if (l.front.contains(p)) return SwatchPart::Front;
  if (l.back.contains(p)) return SwatchPart::Back;
  if (l.reset.contains(p)) return SwatchPart::Reset;
  if (l.swap.contains(p)) return SwatchPart::Swap;
  return SwatchPart::None;
}

SwatchPart clickSwatch(Size element, Point p, PenColours& colours) {
  const SwatchPart part = swatchPartAt(element, p);
  if (part == SwatchPart::Reset) {
    colours = {kDarkestColour, kPanelWhite};
  } else if (part == SwatchPart::Swap) {
    colours = {colours.fill, colours.pen};
  }
  return part;
}

PanelPainting paintSwatch(Size element, PenColours colours) {
  const SwatchLayout l = swatchLayout(element);
  PanelPainting out;
  out.emplace_back(FillShape{{0, 0, element.width, element.height}, kPanelBackground});
  paintSwatchSquare(out, l.back, colours.fill);
  paintSwatchSquare(out, l.front, colours.pen);
  out.emplace_back(BitmapShape{PanelBitmap::Reset, {l.inner.left, l.front.bottom + kSignGap}});
  out.emplace_back(BitmapShape{PanelBitmap::Swap, {l.front.right + kSignGap, l.inner.top}});
  return out;
}

std::optional<uint32_t> paletteCellColour(int32_t index) {
  if (index < 0 || index >= kPaletteCellCount) return std::nullopt;
  const int32_t column = index % kPaletteColumns;
  const int32_t row = index / kPaletteColumns;
  if (column == 0) return colourOf(kGreys[row], kGreys[row], kGreys[row]);
  const int32_t band = row / kBandRows;
  const int32_t step = column - 1;
  const int32_t red = step / 6 + 3 * band;
  const int32_t green = step % 6;
  const int32_t blue = row % kBandRows;
  return colourOf(red * kColourStep, green * kColourStep, blue * kColourStep);
}

std::optional<int32_t> paletteCellAt(Point p) {
  if (!kPaletteGrid.contains(p)) return std::nullopt;
  return p.y / kPaletteCellPitch * kPaletteColumns + p.x / kPaletteCellPitch;
}

Rect paletteCellBox(int32_t index) {
  const int32_t left = index % kPaletteColumns * kPaletteCellPitch;
  const int32_t top = index / kPaletteColumns * kPaletteCellPitch;
  return {left, top, left + kPaletteCellPitch, top + kPaletteCellPitch};
}

std::string paletteReadout(uint32_t colour) {
  char text[32];
  std::snprintf(text, sizeof text, "R:%-4dG:%-4dB:%-4d", redOf(colour), greenOf(colour),
                blueOf(colour));
  return text;
}

uint32_t colourFromChoice(uint64_t wParam, uint64_t lParam) {
  if (lParam != kColourChosen) return 0;
  const uint32_t colour = static_cast<uint32_t>(wParam) & 0xFFFFFF;
  return colour == 0 ? kDarkestColour : colour;
}

std::array<uint32_t, 16>& paletteCustomColours() {
  static std::array<uint32_t, 16> colours = [] {
    std::array<uint32_t, 16> white;
    white.fill(kPanelWhite);
    return white;
  }();
  return colours;
}

bool ColourPalette::pointerMoved(Point screen) {
  if (lastScreenPoint_ == screen) return false;
  lastScreenPoint_ = screen;
  return true;
}

std::vector<Rect> ColourPalette::sampled(std::optional<uint32_t> colour, Point client) {
  std::vector<Rect> repaint;
  if (colour && (*colour & 0xFFFFFF) != colour_) {
    colour_ = *colour & 0xFFFFFF;
    repaint.push_back(kPaletteSample);
    repaint.push_back(kPaletteReadout);
  }
  const std::optional<int32_t> cell = paletteCellAt(client);
  if (cell && *cell != highlighted_) {
    if (highlighted_ >= 0) repaint.push_back(paletteCellBox(highlighted_));
    highlighted_ = *cell;
    repaint.push_back(paletteCellBox(highlighted_));
  }
  return repaint;
}

std::optional<uint32_t> ColourPalette::dialogStartColour() const {
  if (colour_ == 0) return std::nullopt;
  return colour_;
}

PanelPainting ColourPalette::paint(uint32_t gridColour) const {
  PanelPainting out;
  const int32_t last = kPaletteCellPitch - 1;
  for (int32_t x = last; x < kPaletteGrid.right - kPaletteCellPitch; x += kPaletteCellPitch) {
    out.emplace_back(LineShape{{x, 0}, {x, kPaletteGrid.bottom}, gridColour});
  }
  for (int32_t y = last; y < kPaletteGrid.bottom; y += kPaletteCellPitch) {
    out.emplace_back(LineShape{{0, y}, {kPaletteGrid.right, y}, gridColour});
  }
  out.emplace_back(FillShape{kPaletteStrip, kPanelBackground});
  out.emplace_back(FrameShape{kPaletteSample.inflated(1), kPanelBlack, std::nullopt});
  for (int32_t i = 0; i < kPaletteCellCount; ++i) {
    const Rect box = paletteCellBox(i);
    out.emplace_back(
        FillShape{{box.left, box.top, box.left + kPaletteCellSize, box.top + kPaletteCellSize},
                  *paletteCellColour(i)});
  }
  if (highlighted_ >= 0) out.emplace_back(FocusShape{paletteCellBox(highlighted_)});
  out.emplace_back(FillShape{kPaletteSample, colour_});
  out.emplace_back(TextShape{kPaletteReadout, paletteReadout(colour_), kPanelBlack, false, {}});
  return out;
}

PanelPainting paintPaletteButton(int32_t id, Size size, bool pressed) {
  if (id != kMoreColoursButton && id != kNoColourButton) return {};
  const int32_t w = size.width;
  const int32_t h = size.height;
  const int32_t shift = pressed ? 1 : 0;
  const uint32_t light = pressed ? kButtonShadow : kPanelWhite;
  const uint32_t dark = pressed ? kPanelWhite : kButtonShadow;
  PanelPainting out;
  out.emplace_back(FillShape{{0, 0, w, h}, kPanelBackground});
  out.emplace_back(LineShape{{0, 0}, {0, h - 1}, light});
  out.emplace_back(LineShape{{0, 0}, {w - 1, 0}, light});
  out.emplace_back(LineShape{{w - 1, 0}, {w - 1, h}, dark});
  out.emplace_back(LineShape{{0, h - 1}, {w - 1, h - 1}, dark});
  if (id == kMoreColoursButton) {
    constexpr uint32_t kSquares[] = {0x0000FF, 0x00FF00, 0x00FFFF};
    const int32_t span = kSquareSize + 2 * kSquareOffset;
    const Point origin{(w - span) / 2 + shift, (h - span) / 2 + shift};
    for (int32_t i = 0; i < 3; ++i) {
      const int32_t x = origin.x + i * kSquareOffset;
      const int32_t y = origin.y + i * kSquareOffset;
      out.emplace_back(FillShape{{x, y, x + kSquareSize, y + kSquareSize}, kSquares[i]});
    }
  } else {
    out.emplace_back(
        LineShape{{3 + shift, 3 + shift}, {w - 4 + shift, h - 4 + shift}, 0x0000FF, 2});
  }
  return out;
}

std::array<Rect, kLineWidthCount> lineWidthBars(Size element, int32_t inset) {
  std::array<Rect, kLineWidthCount> bars;
  int32_t top = kBarGap;
  for (int32_t k = 1; k <= kLineWidthCount; ++k) {
    bars[k - 1] = {inset, top, element.width - inset, top + k};
    top += k + kBarGap;
  }
  return bars;
}

std::optional<uint8_t> lineWidthAt(Size element, Point p) {
  const auto bars = lineWidthBars(element, kBarClickInset);
  for (size_t i = 0; i < bars.size(); ++i) {
    if (bars[i].inflated(kBarClickSlack).contains(p)) return static_cast<uint8_t>(i + 1);
  }
  return std::nullopt;
}

PanelPainting paintLineWidth(Size element, uint8_t current, uint32_t highlightColour) {
  PanelPainting out;
  out.emplace_back(FillShape{{0, 0, element.width, element.height}, kPanelBackground});
  const auto bars = lineWidthBars(element, kBarPaintInset);
  for (size_t i = 0; i < bars.size(); ++i) {
    const Rect& bar = bars[i];
    if (i + 1 == current) {
      out.emplace_back(
          FillShape{{bar.left - 4, bar.top - 2, bar.right + 4, bar.bottom + 2}, highlightColour});
      out.emplace_back(FillShape{bar, kPanelWhite});
    } else {
      out.emplace_back(FillShape{bar, kPanelBlack});
    }
  }
  return out;
}

PanelPainting paintFontSample(Size element, const FontRecord& font, uint32_t penColour) {
  const Rect box{0, 0, element.width, element.height};
  return {FillShape{box, kPanelBackground},
          TextShape{box, std::string(kFontSampleText), penColour, true, font}};
}

Rect chooserItemBox(const Chooser& chooser, size_t index) {
  if (index >= chooser.items.size()) return {};
  const int32_t i = static_cast<int32_t>(index);
  const int32_t left = chooser.first.x + i * chooser.step.x;
  const int32_t top = chooser.first.y + i * chooser.step.y;
  return {left, top, left + chooser.item.width, top + chooser.item.height};
}

std::optional<size_t> chooserItemAt(const Chooser& chooser, Point p) {
  for (size_t i = 0; i < chooser.items.size(); ++i) {
    if (chooserItemBox(chooser, i).contains(p)) return i;
  }
  return std::nullopt;
}

std::optional<uint8_t> chooserToolAt(const Chooser& chooser, Point p) {
  const std::optional<size_t> item = chooserItemAt(chooser, p);
  if (!item) return std::nullopt;
  return toolIdFromName(chooser.items[*item]);
}

std::optional<uint32_t> lineStyleFromName(std::string_view name) {
  for (uint32_t style = 0; style < std::size(kLineStyleNames); ++style) {
    if (equalsIgnoringCase(kLineStyleNames[style], name)) return style;
  }
  return std::nullopt;
}

std::string_view lineStyleName(uint32_t style) { return kLineStyleNames[knownPenStyle(style)]; }

uint8_t toolForPanelKey(uint32_t key) {
  static constexpr struct {
    char key;
    std::string_view tool;
  } kKeys[] = {{'E', "delete"}, {'R', "rect"}, {'T', "text"}, {'U', "trigon"}, {'Y', "pencial"}};
  const uint32_t upper = key >= 'a' && key <= 'z' ? key - ('a' - 'A') : key;
  for (const auto& k : kKeys) {
    if (static_cast<uint32_t>(k.key) == upper) return toolNamed(k.tool);
  }
  return toolNamed("choice");
}

}  // namespace scribly
