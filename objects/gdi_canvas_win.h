#pragma once
// The drawing seam on a GDI device context. Pens, brushes and fonts are made
// when set, selected at once, and deselected and deleted by the restore that
// closes their scope (or by the destructor for scopes left open).
#include <windows.h>

#include <string>
#include <vector>

#include "objects/board_object.h"
#include "objects/canvas.h"
#include "win/handles.h"
#include "win/text.h"

namespace scribly {

// The window system's rectangles, mouse points and client areas as ours.
inline RECT toRect(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
inline Point pointOf(LPARAM lParam) {
  return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}
inline Size clientSize(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return {r.right, r.bottom};
}

// Module resources objects draw with or show.
inline constexpr int kHandBitmapResource = 208;
inline constexpr int kMoveCursorResource = 209;

// The font a record describes: its first 28 bytes as they are, the face
// converted from UTF-8, "MS Shell Dlg" when the face does not convert.
LOGFONTW logFontFrom(const FontRecord& font);

// The record of a font the system describes; a face longer than the record
// holds is cut.
FontRecord fontRecordFrom(const LOGFONTW& lf);

// Draws a bitmap at its own size with one colour left out; false when the
// bitmap or the context cannot be used.
bool drawTransparentBitmap(HDC dc, HBITMAP bitmap, Point at, COLORREF transparent);

// The pen a spec describes: geometric with its cap, join and style, or cosmetic.
Pen makePen(const PenSpec& pen);

// The cursor a handle shows: system sizing cursors, the module's move cursor.
HCURSOR cursorForHandle(HandleCursor cursor, HINSTANCE module);

class GdiCanvas : public Canvas {
 public:
  // handBitmap: the 19 x 17 hand (not owned); null when the module has none.
  explicit GdiCanvas(HDC dc, HBITMAP handBitmap = nullptr);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  HDC dc() const { return dc_; }

  void save() override;
  void restore() override;
  void setPen(const PenSpec& pen) override;
  void setBrush(const BrushSpec& brush) override;
  void setFillMode(FillMode mode) override;
  void setFont(const FontRecord& font) override;
  void setTextColour(uint32_t colour) override;
  void setTextBackground(std::optional<uint32_t> colour) override;
  void line(Point from, Point to) override;
  void polyline(std::span<const Point> points) override;
  void polygon(std::span<const Point> points) override;
  void rectangle(const Rect& box) override;
  void ellipse(const Rect& box) override;
  void chord(const Rect& box, Point from, Point to) override;
  void fillRect(const Rect& box, uint32_t colour) override;
  bool drawText(const Rect& box, std::string_view utf8) override;
  void blitPixels(const Rect& dest, std::span<const uint8_t> pixels, uint16_t w,
                  uint16_t h) override;
  bool drawBitmap(CanvasBitmap bitmap, Point topLeft, uint32_t transparent) override;
  std::optional<Size> measureText(const FontRecord& font, std::string_view utf8,
                                  const Rect& start) override;

 private:
  // What one save() opened: the context's saved state and the objects made
  // since, which stay selected until the scope closes.
  struct Scope {
    int savedState = 0;
    Pen pen;
    Brush brush;
    Font font;
  };
  Scope& current() { return scopes_.back(); }
  // Selects a newly made object and lets the previous one of its slot go.
  template <class H>
  void replace(GdiHandle<H>& slot, GdiHandle<H> made);

  HDC dc_;
  HBITMAP hand_;
  std::vector<Scope> scopes_;
};

// Measures with the screen's context, as objects do outside drawing.
class ScreenTextMeasurer : public TextMeasurer {
 public:
  std::optional<Size> measureText(const FontRecord& font, std::string_view utf8,
                                  const Rect& start) override;
};

}  // namespace scribly
