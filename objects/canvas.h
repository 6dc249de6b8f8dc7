#pragma once
// The drawing seam: what board objects need from a device context, shaped
// after their drawing rather than after GDI. The Win32 layer implements it on
// a device context; tests record the calls.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "objects/font_record.h"
#include "objects/geometry.h"

namespace scribly {

// Pen style values as stored in objects and records.
inline constexpr uint32_t kPenSolid = 0;
inline constexpr uint32_t kPenDash = 1;
inline constexpr uint32_t kPenDot = 2;
inline constexpr uint32_t kPenDashDot = 3;
inline constexpr uint32_t kPenDashDotDot = 4;

// A record's style as the object keeps it: any other value would fail pen
// creation and leave the previous pen selected, so it draws solid.
inline constexpr uint32_t knownPenStyle(uint32_t style) {
  return style <= kPenDashDotDot ? style : kPenSolid;
}

inline constexpr uint32_t kSelectionGreen = 0x00FF00;

enum class PenCap : uint8_t { Round, Square, Flat };
enum class PenJoin : uint8_t { Round, Bevel, Miter };

struct PenSpec {
  uint32_t style = kPenSolid;
  uint32_t width = 1;
  // COLORREF; 0 selects the null pen.
  uint32_t colour = 0;
  PenCap cap = PenCap::Flat;
  PenJoin join = PenJoin::Miter;
  // A cosmetic pen is always one pixel wide and ignores caps and joins.
  bool geometric = true;
  friend bool operator==(const PenSpec&, const PenSpec&) = default;
};

struct BrushSpec {
  bool null = true;
  uint32_t colour = 0;
  friend bool operator==(const BrushSpec&, const BrushSpec&) = default;

  static BrushSpec none() { return {}; }
  static BrushSpec solid(uint32_t c) { return {false, c}; }
  // An object's fill: 0 means not filled.
  static BrushSpec fill(uint32_t c) { return c == 0 ? none() : solid(c); }
};

enum class FillMode : uint8_t { Alternate, Winding };

// Bitmaps the module carries as resources.
enum class CanvasBitmap : uint8_t { Hand };

// Measures multi-line text the way DT_CALCRECT does (lines break only at the
// text's own line breaks). Empty when the text or the font cannot be used.
class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  virtual std::optional<Size> measureText(const FontRecord& font, std::string_view utf8,
                                          const Rect& start) = 0;
};

class Canvas : public TextMeasurer {
 public:
  // save/restore bracket a drawing routine: everything selected after save is
  // deselected and released by the matching restore.
  virtual void save() = 0;
  virtual void restore() = 0;

  virtual void setPen(const PenSpec& pen) = 0;
  virtual void setBrush(const BrushSpec& brush) = 0;
  virtual void setFillMode(FillMode mode) = 0;
  virtual void setFont(const FontRecord& font) = 0;
  virtual void setTextColour(uint32_t colour) = 0;
  // A colour fills behind text; none draws it transparently.
  virtual void setTextBackground(std::optional<uint32_t> colour) = 0;

  virtual void line(Point from, Point to) = 0;
  virtual void polyline(std::span<const Point> points) = 0;
  virtual void polygon(std::span<const Point> points) = 0;
  virtual void rectangle(const Rect& box) = 0;
  virtual void ellipse(const Rect& box) = 0;
  // The arc of the ellipse in box from `from` to `to` counter-clockwise, closed
  // by its chord.
  virtual void chord(const Rect& box, Point from, Point to) = 0;
  // Fills with the colour itself, whatever it is (0 is black here).
  virtual void fillRect(const Rect& box, uint32_t colour) = 0;
  // Draws UTF-8 text into the box with the current font; false when the text
  // does not convert.
  virtual bool drawText(const Rect& box, std::string_view utf8) = 0;
  // Stretches a w x h 24-bit bottom-up picture (rows padded to 4 bytes) into
  // dest, each destination pixel taken from one source pixel.
  virtual void blitPixels(const Rect& dest, std::span<const uint8_t> pixels, uint16_t w,
                          uint16_t h) = 0;
  // Draws a resource bitmap at its own size with one colour transparent; false
  // when the bitmap is not available.
  virtual bool drawBitmap(CanvasBitmap bitmap, Point topLeft, uint32_t transparent) = 0;
};

// Brackets a drawing routine so that every early return restores the canvas.
class CanvasStateScope {
 public:
  explicit CanvasStateScope(Canvas& c) : canvas_(c) { canvas_.save(); }
  ~CanvasStateScope() { canvas_.restore(); }
  CanvasStateScope(const CanvasStateScope&) = delete;
  CanvasStateScope& operator=(const CanvasStateScope&) = delete;

 private:
  Canvas& canvas_;
};

// Invalidation of a rectangle of the view, in view coordinates.
class Invalidator {
 public:
  virtual ~Invalidator() = default;
  virtual void invalidateRect(const Rect& r, bool erase) = 0;
};

}  // namespace scribly
