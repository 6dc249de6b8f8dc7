#include "frame/tool_panels_win.h"

#include <commdlg.h>

#include <algorithm>
#include <array>
#include <variant>

#include "board/tool_table.h"
#include "frame/tool_popup_win.h"
#include "objects/gdi_canvas_win.h"
#include "skin/attribute_values.h"
#include "win/messages.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr std::string_view kPopupNames[] = {kPaletteWindowName, kLineChooserName,
                                            kRoundChooserName};
// The palette window's attribute for its grid lines, and their colour
// without it.
constexpr std::string_view kGridColourAttribute = "gridcolor";
constexpr uint32_t kDefaultGridColour = 0xA0A0A0;
constexpr COLORREF kPopupEdgeColour = 0x808080;

bool isNamed(std::string_view name, std::span<const std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

Bitmap loadPanelBitmap(PanelBitmap bitmap) {
  return Bitmap(
      static_cast<HBITMAP>(LoadImageW(moduleInstance(), MAKEINTRESOURCEW(static_cast<int>(bitmap)),
                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

// The pop-ups' one-pixel border, dark enough to stand out from the panels
// and the paper they cover; false for a window without a border.
bool drawPopupEdge(HWND window) {
  RECT r;
  if (!(GetWindowLongPtrW(window, GWL_STYLE) & WS_BORDER) || !GetWindowRect(window, &r))
    return false;
  WindowDc dc(window, WindowDc::Area::Whole);
  Brush edge(CreateSolidBrush(kPopupEdgeColour));
  const RECT box = {0, 0, r.right - r.left, r.bottom - r.top};
  return dc && edge && FrameRect(dc.get(), &box, edge.get());
}

// The dialogs run as the system has them: their hooks leave every message,
// and the first focus, to the dialog.
UINT_PTR CALLBACK keepDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : 0;
}

// Draws a panel's shapes in order onto a context whose font is the panel's.
class ShapePainter {
 public:
  ShapePainter(HDC dc, std::span<const HBITMAP, 3> bitmaps) : dc_(dc), bitmaps_(bitmaps) {}

  void operator()(const FillShape& s) const {
    Brush brush(CreateSolidBrush(s.colour));
    const RECT r = toRect(s.box);
    if (brush) FillRect(dc_, &r, brush.get());
  }
  void operator()(const FrameShape& s) const {
    Pen pen(CreatePen(PS_SOLID, 1, s.pen));
    Brush brush(s.brush ? CreateSolidBrush(*s.brush) : nullptr);
    ScopedSelect p(dc_, pen.get());
    ScopedSelect b(dc_, s.brush ? static_cast<HGDIOBJ>(brush.get()) : GetStockObject(NULL_BRUSH));
    Rectangle(dc_, s.box.left, s.box.top, s.box.right, s.box.bottom);
  }
  void operator()(const LineShape& s) const {
    Pen pen(CreatePen(PS_SOLID, s.width, s.colour));
    ScopedSelect p(dc_, pen.get());
    MoveToEx(dc_, s.from.x, s.from.y, nullptr);
    LineTo(dc_, s.to.x, s.to.y);
  }
  void operator()(const BitmapShape& s) const {
    const size_t index = static_cast<size_t>(s.bitmap) - static_cast<size_t>(PanelBitmap::NoColour);
    if (index < bitmaps_.size())
      drawTransparentBitmap(dc_, bitmaps_[index], s.topLeft, kPanelBitmapTransparent);
  }
  void operator()(const TextShape& s) const {
    Font font;
    if (s.font) {
      const LOGFONTW lf = logFontFrom(*s.font);
      font.reset(CreateFontIndirectW(&lf));
    }
    ScopedSelect f(dc_, font.get());
    SetTextColor(dc_, s.colour);
    SetBkMode(dc_, TRANSPARENT);
    std::wstring text = toWide(s.text);
    RECT r = toRect(s.box);
    const UINT flags = DT_SINGLELINE | DT_NOPREFIX | (s.centred ? DT_CENTER | DT_VCENTER : 0);
    DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &r, flags);
  }
  void operator()(const FocusShape& s) const {
    const RECT r = toRect(s.box);
    DrawFocusRect(dc_, &r);
  }

 private:
  HDC dc_;
  std::span<const HBITMAP, 3> bitmaps_;
};

}  // namespace

bool ToolPanels::Popup::build(SkinSystem& skin, HWND owner) {
  window_ = skin.createWindow(kPopupNames[static_cast<size_t>(kind)], owner, this);
  if (!window_ || !window_->window()) return false;
  ShowWindow(window_->window(), SW_HIDE);
  return true;
}

ToolPanels::ToolPanels(SkinSystem& skin, SkinWindow& frame, DrawingTools& tools)
    : skin_(skin),
      frame_(frame),
      tools_(tools),
      swatch_(frame.find("color picker")),
      lineWidth_(frame.find("line width")),
      fontSample_(frame.find("font set")),
      gridColour_(kDefaultGridColour),
      samplingCursor_(LoadCursorW(nullptr, IDC_CROSS)),
      noColour_(loadPanelBitmap(PanelBitmap::NoColour)),
      swap_(loadPanelBitmap(PanelBitmap::Swap)),
      reset_(loadPanelBitmap(PanelBitmap::Reset)) {}

ToolPanels::~ToolPanels() {
  for (auto& popup : popups_) popup.reset();
}

HWND ToolPanels::popupWindow(std::string_view name) const {
  for (size_t i = 0; i < std::size(kPopupNames); ++i) {
    if (kPopupNames[i] == name && popups_[i]) return popups_[i]->window();
  }
  return nullptr;
}

ToolPanels::Popup* ToolPanels::popup(PopupKind kind) {
  auto& slot = popups_[static_cast<size_t>(kind)];
  if (!slot) {
    auto made = std::make_unique<Popup>(*this, kind);
    if (!made->build(skin_, frame_.window())) return nullptr;
    if (kind == PopupKind::Palette) {
      const XmlAttributeRef grid =
          made->skinWindow().root().description().element.attribute(kGridColourAttribute);
      if (grid.present()) gridColour_ = parseColour(grid.value()) & 0xFFFFFF;
    }
    slot = std::move(made);
  }
  return slot.get();
}

// --- The frame's panels ----------------------------------------------------------

bool ToolPanels::handle(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                        LRESULT& result) {
  result = 0;
  if (message == WM_PLUGIN_COLOUR_CHOSEN) {
    const uint32_t colour = colourFromChoice(wParam, lParam);
    if (editPen_) {
      tools_.setColour(colour);
    } else {
      tools_.setFill(colour);
    }
    repaint(swatch_);
    repaint(fontSample_);
    return true;
  }
  if (&source.ownerWindow() != &frame_.root()) return false;

  HWND window = source.window();
  if (&source == swatch_ || &source == lineWidth_ || &source == fontSample_) {
    switch (message) {
      case WM_ERASEBKGND:
        result = 1;
        return true;
      case WM_PAINT: {
        PaintDc dc(window);
        paint(window, dc.get(), panelPainting(source, clientSize(window)));
        return true;
      }
      case WM_PRINTCLIENT:
        paint(window, reinterpret_cast<HDC>(wParam), panelPainting(source, clientSize(window)));
        return true;
      case WM_LBUTTONDOWN:
        if (&source == swatch_) {
          clickSwatch(pointOf(lParam));
        } else if (&source == lineWidth_) {
          clickLineWidth(pointOf(lParam));
        } else {
          chooseFont();
        }
        return true;
      default:
        return false;
    }
  }
  if (message == WM_RBUTTONDOWN) {
    if (isNamed(source.name(), kLineShapeNames)) {
      openChooser(PopupKind::LineChooser, window);
      return true;
    }
    if (isNamed(source.name(), kRoundShapeNames)) {
      openChooser(PopupKind::RoundChooser, window);
      return true;
    }
  }
  return false;
}

void ToolPanels::penStateChanged(uint32_t bits, uint32_t style) {
  if (bits & (kPenColourBit | kPenFillBit)) {
    repaint(swatch_);
    repaint(fontSample_);
  }
  if (bits & kPenWidthBit) repaint(lineWidth_);
  if (bits & kPenFontBit) repaint(fontSample_);
  if (bits & kPenStyleBit) {
    const std::string_view chosen = lineStyleName(style);
    for (std::string_view name : kLineStyleNames) {
      if (SkinElement* button = frame_.find(name))
        button->send(BM_SETCHECK, name == chosen ? BST_CHECKED : BST_UNCHECKED);
    }
  }
}

PanelPainting ToolPanels::panelPainting(const SkinElement& element, Size size) const {
  const PenState& pen = tools_.pen();
  if (&element == swatch_) return paintSwatch(size, {pen.colour, pen.fill});
  if (&element == lineWidth_) return paintLineWidth(size, pen.width, GetSysColor(COLOR_HIGHLIGHT));
  if (&element == fontSample_) return paintFontSample(size, pen.font, pen.colour);
  return {};
}

void ToolPanels::paint(HWND window, HDC target, const PanelPainting& shapes) const {
  const Size size = clientSize(window);
  if (!target || size.width <= 0 || size.height <= 0) return;
  // Drawn off screen first, so that the palette does not flicker while the
  // pointer samples.
  MemoryDc memory(target);
  Bitmap canvas(CreateCompatibleBitmap(target, size.width, size.height));
  if (!memory || !canvas) return;
  ScopedSelect selected(memory.get(), canvas.get());
  ScopedSelect font(memory.get(),
                    reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
  const std::array<HBITMAP, 3> bitmaps = {noColour_.get(), swap_.get(), reset_.get()};
  const ShapePainter painter(memory.get(), bitmaps);
  for (const PanelShape& shape : shapes) std::visit(painter, shape);
  BitBlt(target, 0, 0, size.width, size.height, memory.get(), 0, 0, SRCCOPY);
}

void ToolPanels::repaint(SkinElement* element) {
  if (element && element->window()) InvalidateRect(element->window(), nullptr, FALSE);
}

void ToolPanels::clickSwatch(Point p) {
  HWND window = swatch_->window();
  PenColours colours{tools_.pen().colour, tools_.pen().fill};
  const PenColours before = colours;
  const SwatchPart part = scribly::clickSwatch(clientSize(window), p, colours);
  switch (part) {
    case SwatchPart::Front:
    case SwatchPart::Back:
      editPen_ = part == SwatchPart::Front;
      showPalette();
      return;
    case SwatchPart::Reset:
    case SwatchPart::Swap:
      if (colours.pen != before.pen) tools_.setColour(colours.pen);
      if (colours.fill != before.fill) tools_.setFill(colours.fill);
      repaint(swatch_);
      repaint(fontSample_);
      return;
    case SwatchPart::None:
      return;
  }
}

void ToolPanels::clickLineWidth(Point p) {
  const std::optional<uint8_t> width = lineWidthAt(clientSize(lineWidth_->window()), p);
  if (!width) return;
  tools_.setWidth(*width);
  repaint(lineWidth_);
}

void ToolPanels::chooseFont() {
  LOGFONTW font = logFontFrom(tools_.pen().font);
  CHOOSEFONTW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetActiveWindow();
  dialog.lpLogFont = &font;
  dialog.Flags =
      CF_SCREENFONTS | CF_EFFECTS | CF_ENABLEHOOK | CF_INITTOLOGFONTSTRUCT | CF_LIMITSIZE;
  // Peers' fonts are held to the same range (FontRecord::withinChooserRange).
  dialog.nSizeMin = FontRecord::kMinPoints;
  dialog.nSizeMax = FontRecord::kMaxPoints;
  dialog.lpfnHook = keepDialog;
  dialog.rgbColors = tools_.pen().colour;
  if (!ChooseFontW(&dialog)) return;
  tools_.setFont(fontRecordFrom(font));
  repaint(fontSample_);
  repaint(swatch_);
}

void ToolPanels::openChooser(PopupKind kind, HWND button) {
  Popup* chooser = popup(kind);
  if (!chooser || !button) return;
  // The tool in hand shows as chosen, whichever way it was chosen.
  const std::span<const std::string_view> names =
      kind == PopupKind::LineChooser ? std::span<const std::string_view>(kLineShapeNames)
                                     : std::span<const std::string_view>(kRoundShapeNames);
  for (std::string_view name : names) {
    if (SkinElement* item = chooser->skinWindow().find(name))
      item->send(BM_SETCHECK, toolIdFromName(name) == tools_.tool() ? BST_CHECKED : BST_UNCHECKED);
  }
  // Level with the button, just right of the buttons' panel, so that every
  // tool stays in sight.
  RECT r, bar;
  GetWindowRect(button, &r);
  HWND panel = GetParent(button);
  const LONG left = panel && GetWindowRect(panel, &bar) ? bar.right : r.right;
  SetWindowPos(chooser->window(), HWND_TOP, left, r.top, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

// --- The pop-ups ------------------------------------------------------------------

LRESULT ToolPanels::popupMessage(Popup& popup, SkinElement& source, UINT message, WPARAM wParam,
                                 LPARAM lParam, bool& handled) {
  const bool root = &source == &source.ownerWindow();
  if (root && message == WM_NCPAINT && drawPopupEdge(source.window())) {
    handled = true;
    return 0;
  }
  if (popup.kind == PopupKind::Palette)
    return paletteMessage(popup, source, message, wParam, lParam, handled);
  // A chooser goes away as soon as the person turns elsewhere.
  if (root && message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) popup.hide();
  return 0;
}

void ToolPanels::popupCommand(Popup& popup, SkinElement& source, std::string_view name) {
  if (popup.kind == PopupKind::Palette || name != "SelectTool") return;
  const std::optional<uint8_t> tool = toolIdFromName(source.name());
  if (!tool) return;
  tools_.selectTool(*tool);
  popup.hide();
  // The frame's button of that tool is activated as a click does, so the
  // tool bar shows the tool in hand.
  if (SkinElement* button = frame_.find(source.name())) button->raise(SkinEvent::Click);
}

void ToolPanels::chooseMoreColours() {
  hidePalette();
  std::array<COLORREF, 16> custom;
  std::copy(paletteCustomColours().begin(), paletteCustomColours().end(), custom.begin());
  CHOOSECOLORW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = frame_.window();
  dialog.lpCustColors = custom.data();
  dialog.Flags = CC_FULLOPEN | CC_ENABLEHOOK;
  dialog.lpfnHook = keepDialog;
  if (const std::optional<uint32_t> start = palette_.dialogStartColour()) {
    dialog.Flags |= CC_RGBINIT;
    dialog.rgbResult = *start;
  }
  const bool confirmed = ChooseColorW(&dialog);
  std::copy(custom.begin(), custom.end(), paletteCustomColours().begin());
  if (confirmed)
    PostMessageW(frame_.window(), WM_PLUGIN_COLOUR_CHOSEN, dialog.rgbResult, kColourChosen);
}

}  // namespace scribly
