#pragma once
// The tool panels on screen: the colour swatch, the line widths and the font
// sample painted into their panels of the main frame; the colour palette and
// the shape choosers as skin pop-ups of their own; the system colour and font
// dialogs. What they set is the drawing tools' pen and tool.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string_view>

#include "board/drawing_tools.h"
#include "frame/tool_panels.h"
#include "skin/skin_bridge_win.h"
#include "win/handles.h"

namespace scribly {

// The skin windows the panels build when first needed.
inline constexpr std::string_view kPaletteWindowName = "scribly color pick panel";
inline constexpr std::string_view kLineChooserName = "scribly chose line panel";
inline constexpr std::string_view kRoundChooserName = "scribly chose circle panel";

class ToolPanels {
 public:
  // `frame` is the built main frame; the pop-ups come from the same skin as
  // its owned windows. All three must outlive the panels.
  ToolPanels(SkinSystem& skin, SkinWindow& frame, DrawingTools& tools);
  ~ToolPanels();
  ToolPanels(const ToolPanels&) = delete;
  ToolPanels& operator=(const ToolPanels&) = delete;

  // Offered every message of the frame's elements first: painting and
  // clicks of "color picker", "line width" and "font set", right clicks on
  // the shape buttons, and the palette's colour-chosen message to the frame.
  // True when consumed, with the answer in `result`.
  bool handle(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The pen changed behind the panels' back (a selection, a peer): repaint
  // what the bits name and show the style's button as chosen.
  void penStateChanged(uint32_t bits, uint32_t style);

  // The pop-up's window once built (null before), for whoever drives or
  // looks at it.
  HWND popupWindow(std::string_view name) const;
  // What the palette shows and whether its choice goes to the pen colour
  // (else to the fill).
  const ColourPalette& palette() const { return palette_; }
  bool paletteEditsPen() const { return editPen_; }

 private:
  class Popup;
  enum class PopupKind : uint8_t { Palette, LineChooser, RoundChooser };

  Popup* popup(PopupKind kind);
  LRESULT popupMessage(Popup& popup, SkinElement& source, UINT message, WPARAM wParam,
                       LPARAM lParam, bool& handled);
  LRESULT paletteMessage(Popup& popup, SkinElement& source, UINT message, WPARAM wParam,
                         LPARAM lParam, bool& handled);
  void popupCommand(Popup& popup, SkinElement& source, std::string_view name);

  void clickSwatch(Point p);
  void clickLineWidth(Point p);
  void chooseFont();
  void openChooser(PopupKind kind, HWND button);

  void showPalette();
  void hidePalette();
  void samplePalette(HWND palette, Point client);
  void choosePaletteColour(uint32_t colour, uint32_t chosen);
  void chooseMoreColours();

  // The painting of a frame panel; empty for an element that is none.
  PanelPainting panelPainting(const SkinElement& element, Size size) const;
  void paint(HWND window, HDC dc, const PanelPainting& shapes) const;
  void repaint(SkinElement* element);

  SkinSystem& skin_;
  SkinWindow& frame_;
  DrawingTools& tools_;
  SkinElement* swatch_;
  SkinElement* lineWidth_;
  SkinElement* fontSample_;

  ColourPalette palette_;
  bool editPen_ = true;
  // A button press seen since the palette opened: the release that ends the
  // opening click must not choose.
  bool paletteArmed_ = false;
  uint32_t gridColour_;
  HCURSOR samplingCursor_;
  Bitmap noColour_, swap_, reset_;
  std::unique_ptr<Popup> popups_[3];
};

}  // namespace scribly
