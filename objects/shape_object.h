#pragma once
// Bases of the pen-drawn kinds: a stroked box (lines, arrow lines) and a
// stroked and filled box (rectangle, ellipse, half ellipse).
#include "objects/board_object.h"

namespace scribly {

class StrokedObject : public BoxObject {
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
  bool setColour(uint32_t colour) override { return assignIfChanged(colour_, colour); }
  bool getColour(uint32_t& colour) const override {
    colour = colour_;
    return true;
  }

 protected:
  PenSpec pen() const { return shapePen(style_, width_, colour_); }

  uint32_t colour_ = 0;
  uint8_t width_ = 0;
  uint32_t style_ = 0;
};

class FilledObject : public StrokedObject {
 public:
  bool setFill(uint32_t fill) override { return assignIfChanged(fill_, fill); }
  bool getFill(uint32_t& fill) const override {
    fill = fill_;
    return true;
  }

 protected:
  // The 21-byte layout the rectangle, ellipse and half ellipse share: corners,
  // colour, then fill (the reverse of the storage order), width, style.
  static constexpr size_t kBoxRecordSize = 21;
  void writeBoxRecord(ByteWriter& out) const;
  bool readBoxRecord(ByteReader& in);
  size_t saveBoxRecord(std::span<uint8_t> dest) const;
  // Refuses records shorter than the 21 bytes.
  bool loadBoxRecord(std::span<const uint8_t> record);
  void copyFilledTo(FilledObject& other) const;

  uint32_t fill_ = 0;
};

}  // namespace scribly
