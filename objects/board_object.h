#pragma once
// The abstract board object. Its operations are declared in their fixed slot
// order (destructor first, invalidate last); every kind overrides the same
// slots and the defaults below apply where a kind does not.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "objects/canvas.h"
#include "objects/font_record.h"
#include "objects/geometry.h"

namespace scribly {

// One byte on the wire, shared with the drawing tool ids.
enum class ObjectKind : uint8_t {
  Choice = 1,
  Delete = 2,
  Pencil = 10,
  Line = 11,
  Rect = 12,
  Ellipse = 13,
  Image = 14,
  Text = 15,
  Triangle = 16,
  HandSymbol = 17,
  FreeCut = 18,     // a tool only: its strokes travel as pencil records
  PageRecord = 19,  // handled by the page, never an object
  ArrowLine = 20,
  DoubleArrowLine = 21,
  HalfCircleUpper = 22,
  HalfCircleLower = 23,
  HalfCircleLeft = 24,
  HalfCircleRight = 25,
};

enum class DrawMode : uint8_t { Plain = 0, Selected = 1, SelectedWithHandles = 2 };

// What the view shows over a handle; the Win32 layer maps these to the system
// sizing cursors and the module's move cursor.
enum class HandleCursor : uint8_t { None, SizeNwse, SizeNs, SizeNesw, SizeWe, Move };

inline constexpr int kNoHandle = -1;
inline constexpr int kMoveHandle = 8;

class BoardObject {
 public:
  BoardObject() = default;
  BoardObject(const BoardObject&) = delete;
  BoardObject& operator=(const BoardObject&) = delete;

  virtual ~BoardObject() = default;                         // 0
  virtual int hitHandle(Point p) const = 0;                 // 1
  virtual HandleCursor handleCursor(int handle) const = 0;  // 2
  virtual bool moveHandle(int handle, Point p) = 0;         // 3
  virtual bool dragBy(Point from, Point to) = 0;            // 4
  virtual void nudge(int direction) = 0;                    // 5
  virtual bool hitTest(Point p) = 0;                        // 6
  virtual std::unique_ptr<BoardObject> clone() const = 0;   // 7
  virtual ObjectKind kind() const = 0;                      // 8
  virtual void draw(Canvas* canvas, DrawMode mode, uint32_t background,
                    bool atOwnPosition) = 0;  // 9
  // An empty destination asks for the bytes to reserve (an upper bound for
  // enveloped records); otherwise writes and answers the count, or 0 when the
  // object cannot be saved or the destination is too small.
  virtual size_t save(std::span<uint8_t> dest) const = 0;       // 10
  virtual bool load(std::span<const uint8_t> record) = 0;       // 11
  virtual bool hasBulkData() const { return false; }            // 12
  virtual size_t saveBulkData(std::span<uint8_t> dest) const {  // 13
    return 0;
  }
  virtual bool loadBulkData(std::span<const uint8_t> bytes) { return false; }  // 14
  virtual void moveTo(PackedPoint p) = 0;                                      // 15
  virtual void setPoints(PackedPoint a, PackedPoint b) = 0;                    // 16
  virtual PackedPoint firstPoint() const = 0;                                  // 17
  virtual PackedPoint secondPoint() const = 0;                                 // 18
  virtual bool setPenWidth(uint8_t width) { return false; }                    // 19
  virtual bool getPenWidth(uint8_t& width) const { return false; }             // 20
  virtual bool setPenStyle(uint32_t style) { return false; }                   // 21
  virtual bool getPenStyle(uint32_t& style) const { return false; }            // 22
  virtual bool setColour(uint32_t colour) { return false; }                    // 23
  virtual bool getColour(uint32_t& colour) const { return false; }             // 24
  virtual bool setFill(uint32_t fill) { return false; }                        // 25
  virtual bool getFill(uint32_t& fill) const { return false; }                 // 26
  virtual bool setText(std::string_view utf8) { return false; }                // 27
  // Copies the text with its terminator when the buffer holds it; length
  // receives the text's length.
  virtual bool getText(std::span<char> buffer, uint16_t& length) const {  // 28
    return false;
  }
  virtual bool setFont(const FontRecord& font) { return false; }   // 29
  virtual bool getFont(FontRecord& font) const { return false; }   // 30
  virtual bool setAdjustmentA(int32_t v) { return false; }         // 31
  virtual bool getAdjustmentA(int32_t& v) const { return false; }  // 32
  virtual bool setOrientation(int32_t v) { return false; }         // 33
  virtual bool getOrientation(int32_t& v) const { return false; }  // 34
  virtual bool setBrightness(int32_t v) { return false; }          // 35
  virtual bool getBrightness(int32_t& v) const { return false; }   // 36
  virtual bool setContrast(int32_t v) { return false; }            // 37
  virtual bool getContrast(int32_t& v) const { return false; }     // 38
  virtual void invalidate(Invalidator& view, int32_t dx, int32_t dy,
                          bool erase) const = 0;  // 39
};

// The object's record as a byte vector; empty when it cannot be saved.
std::vector<uint8_t> saveRecord(const BoardObject& object);
std::vector<uint8_t> saveBulkRecord(const BoardObject& object);

// Record helpers: points travel packed, signed 16-bit each.
inline Point readPoint(ByteReader& in) { return PackedPoint{in.u32()}.unpack(); }
inline void writePoint(ByteWriter& out, Point p) { out.u32(PackedPoint::pack(p).value); }
// Copies a finished record out as save() promises: the size when dest is
// empty, 0 when it does not fit, else the bytes written.
size_t emitRecord(std::span<uint8_t> dest, std::span<const uint8_t> record);

// Setters answer whether the stored value changed.
template <typename T>
bool assignIfChanged(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

// Pens shared by the kinds.
PenSpec shapePen(uint32_t style, uint8_t width, uint32_t colour);
PenSpec selectionPen(uint32_t width = 1);

// Widths outside 1..10 draw nothing.
inline bool drawableWidth(uint8_t width) { return width >= 1 && width <= 10; }

void paintHandles(Canvas& canvas, std::span<const Point> handles);
HandleCursor boxHandleCursor(int handle);
void invalidateBox(Invalidator& view, const Rect& box, int32_t margin, int32_t dx, int32_t dy,
                   bool erase);
// The margin most kinds add around their box: half the pen and a pixel.
inline int32_t standardMargin(uint8_t width) { return ((width + 4) >> 1) + 1; }

// A box kind: two corners in any order, with the default handle scheme, box
// hit test, movement and invalidation.
class BoxObject : public BoardObject {
 public:
  int hitHandle(Point p) const override;
  HandleCursor handleCursor(int handle) const override { return boxHandleCursor(handle); }
  bool moveHandle(int handle, Point p) override;
  bool dragBy(Point from, Point to) override;
  void nudge(int direction) override;
  bool hitTest(Point p) override;
  void moveTo(PackedPoint p) override;
  void setPoints(PackedPoint a, PackedPoint b) override;
  PackedPoint firstPoint() const override { return PackedPoint::pack(p1_); }
  PackedPoint secondPoint() const override { return PackedPoint::pack(p2_); }
  void invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const override;

  Point first() const { return p1_; }
  Point second() const { return p2_; }
  Rect box() const { return boxOf(p1_, p2_); }

 protected:
  void offsetBy(int32_t dx, int32_t dy);
  // Swaps the corners into order, as the box hit test does before testing.
  void normalise();
  bool boxHitTest(Point p, uint8_t width, uint32_t fill);

  // The selection over the box: its eight handles when the mode shows them and
  // `withHandles`, then in any selected mode the box in the selection pen.
  void drawBoxSelection(Canvas& canvas, DrawMode mode, bool withHandles = true) const;

  Point p1_;
  Point p2_;
};

// The selection over any kind: the handles when the mode shows them, then in
// any selected mode `outline`, which draws the kind's selected look.
template <typename Outline>
void drawSelection(Canvas& canvas, DrawMode mode, std::span<const Point> handles,
                   Outline&& outline) {
  if (mode == DrawMode::SelectedWithHandles) paintHandles(canvas, handles);
  if (mode != DrawMode::Plain) outline();
}

// The colour, pen and fill accessors, once for every kind that has them:
// Coloured adds the colour, Penned also the pen's width and style, Filled the
// fill colour.
template <class Base>
class Coloured : public Base {
 public:
  bool setColour(uint32_t colour) override { return assignIfChanged(colour_, colour); }
  bool getColour(uint32_t& colour) const override {
    colour = colour_;
    return true;
  }

 protected:
  uint32_t colour_ = 0;
};

template <class Base>
class Penned : public Coloured<Base> {
 public:
  bool setPenWidth(uint8_t width) override { return assignIfChanged(width_, width); }
  bool getPenWidth(uint8_t& width) const override {
    width = width_;
    return true;
  }
  bool setPenStyle(uint32_t style) override { return assignIfChanged(style_, style); }
  bool getPenStyle(uint32_t& style) const override {
    style = style_;
    return true;
  }

 protected:
  uint8_t width_ = 0;
  uint32_t style_ = 0;
};

template <class Base>
class Filled : public Base {
 public:
  bool setFill(uint32_t fill) override { return assignIfChanged(fill_, fill); }
  bool getFill(uint32_t& fill) const override {
    fill = fill_;
    return true;
  }

 protected:
  uint32_t fill_ = 0;
};

}  // namespace scribly
