#pragma once
// A canvas that records every call as a line of text, for tests of what board
// objects draw and measure; and a fake for invalidation.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "objects/canvas.h"

namespace scribly {

inline std::string hexColour(uint32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06x", c);
  return buf;
}

class RecordingCanvas : public Canvas {
 public:
  std::vector<std::string> ops;
  int depth = 0;
  int maxDepth = 0;
  bool bitmapAvailable = true;
  bool textConverts = true;
  // Measures taken, and whether they fail.
  int measures = 0;
  bool measureFails = false;
  std::vector<std::vector<uint8_t>> blits;

  // Ops whose text starts with the prefix.
  std::vector<std::string> with(const std::string& prefix) const {
    std::vector<std::string> out;
    std::ranges::copy_if(ops, std::back_inserter(out),
                         [&](auto& op) { return op.starts_with(prefix); });
    return out;
  }
  bool has(const std::string& op) const {
    return std::find(ops.begin(), ops.end(), op) != ops.end();
  }
  size_t indexOf(const std::string& op) const {
    return std::find(ops.begin(), ops.end(), op) - ops.begin();
  }

  void save() override {
    ops.push_back("save");
    maxDepth = std::max(maxDepth, ++depth);
  }
  void restore() override {
    ops.push_back("restore");
    --depth;
  }
  void setPen(const PenSpec& p) override {
    static const char* caps[] = {"round", "square", "flat"};
    static const char* joins[] = {"round", "bevel", "miter"};
    if (p.colour == 0) {
      ops.push_back("pen null");
      return;
    }
    ops.push_back("pen " + std::string(p.geometric ? "geo " : "cos ") + std::to_string(p.style) +
                  " w" + std::to_string(p.width) + " " + hexColour(p.colour) + " " +
                  caps[static_cast<int>(p.cap)] + " " + joins[static_cast<int>(p.join)]);
  }
  void setBrush(const BrushSpec& b) override {
    ops.push_back(b.null ? "brush null" : "brush " + hexColour(b.colour));
  }
  void setFillMode(FillMode m) override {
    ops.push_back(m == FillMode::Alternate ? "fillmode alternate" : "fillmode winding");
  }
  void setFont(const FontRecord& f) override { ops.push_back("font " + f.face()); }
  void setTextColour(uint32_t c) override { ops.push_back("textcolour " + hexColour(c)); }
  void setTextBackground(std::optional<uint32_t> c) override {
    ops.push_back(c ? "textbk " + hexColour(*c) : "textbk transparent");
  }
  void line(Point a, Point b) override { ops.push_back("line" + pts(std::array{a, b})); }
  void polyline(std::span<const Point> p) override { ops.push_back("polyline" + pts(p)); }
  void polygon(std::span<const Point> p) override { ops.push_back("polygon" + pts(p)); }
  void rectangle(const Rect& r) override { ops.push_back("rect" + rect(r)); }
  void ellipse(const Rect& r) override { ops.push_back("ellipse" + rect(r)); }
  void chord(const Rect& r, Point a, Point b) override {
    ops.push_back("chord" + rect(r) + pts(std::array{a, b}));
  }
  void fillRect(const Rect& r, uint32_t c) override {
    ops.push_back("fill" + rect(r) + " " + hexColour(c));
  }
  bool drawText(const Rect& r, std::string_view utf8) override {
    if (!textConverts) return false;
    ops.push_back("text" + rect(r) + " " + std::string(utf8));
    return true;
  }
  void blitPixels(const Rect& r, std::span<const uint8_t> px, uint16_t w, uint16_t h) override {
    ops.push_back("blit" + rect(r) + " " + std::to_string(w) + "x" + std::to_string(h));
    // The last byte the blit reads, so a buffer too short for w x h shows.
    if (w && h) lastPixelByte = px[(3 * size_t{w} + 3) / 4 * 4 * h - 1];
    blits.emplace_back(px.begin(), px.end());
    blitSources.push_back(px.data());
  }
  bool drawBitmap(CanvasBitmap, Point at, uint32_t transparent) override {
    if (!bitmapAvailable) return false;
    ops.push_back("bitmap" + pts(std::span(&at, 1)) + " " + hexColour(transparent));
    return true;
  }
  // A fixed-pitch measure: 7 pixels a byte, 13 a line.
  std::optional<Size> measureText(const FontRecord&, std::string_view utf8, const Rect&) override {
    ++measures;
    if (measureFails) return std::nullopt;
    int32_t lines = 1, widest = 0, current = 0;
    for (char c : utf8) {
      if (c == '\n') {
        ++lines;
        current = 0;
      } else {
        widest = std::max(widest, ++current);
      }
    }
    return Size{7 * widest, 13 * lines};
  }

  std::vector<const uint8_t*> blitSources;
  uint8_t lastPixelByte = 0;

 private:
  static std::string pts(std::span<const Point> p) {
    std::string s;
    for (Point q : p) s += " " + std::to_string(q.x) + "," + std::to_string(q.y);
    return s;
  }
  static std::string rect(const Rect& r) {
    return " " + std::to_string(r.left) + "," + std::to_string(r.top) + "-" +
           std::to_string(r.right) + "," + std::to_string(r.bottom);
  }
};

// What the object draws at its own position.
template <class Object>
RecordingCanvas drawing(Object& object, DrawMode mode, uint32_t background = 0) {
  RecordingCanvas canvas;
  object.draw(&canvas, mode, background, true);
  return canvas;
}

// Which of the points hit the object, as a string of '1' and '0'.
template <class Object>
std::string hits(Object& object, std::initializer_list<Point> points) {
  std::string out;
  for (Point p : points) out += object.hitTest(p) ? '1' : '0';
  return out;
}

// The handle under each point, '-' for none.
template <class Object>
std::string handlesAt(const Object& object, std::initializer_list<Point> points) {
  std::string out;
  for (Point p : points) {
    const int handle = object.hitHandle(p);
    out += handle == kNoHandle ? '-' : static_cast<char>('0' + handle);
  }
  return out;
}

class RecordingInvalidator : public Invalidator {
 public:
  std::vector<Rect> rects;
  std::vector<bool> erases;
  void invalidateRect(const Rect& r, bool erase) override {
    rects.push_back(r);
    erases.push_back(erase);
  }
};

}  // namespace scribly
