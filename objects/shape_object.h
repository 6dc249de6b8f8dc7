#pragma once
// Bases of the pen-drawn kinds: a stroked box (lines, arrow lines) and a
// stroked and filled box (rectangle, ellipse, half ellipse).
#include "objects/board_object.h"
#include "objects/record_layout.h"

namespace scribly {

class StrokedObject : public Penned<BoxObject> {
 protected:
  PenSpec pen() const { return shapePen(style_, width_, colour_); }
};

class FilledObject : public Filled<StrokedObject> {
 protected:
  // The 21-byte layout the rectangle, ellipse and half ellipse share: corners,
  // colour, then fill (the reverse of the storage order), width, style.
  static constexpr size_t kBoxRecordSize = 21;
  template <typename Io, typename Self>
  static void boxLayout(Io& io, Self& s) {
    io(s.p1_)(s.p2_)(s.colour_)(s.fill_)(s.width_)(s.style_);
  }
  size_t saveBoxRecord(std::span<uint8_t> dest) const;
  // Refuses records shorter than the 21 bytes.
  bool loadBoxRecord(std::span<const uint8_t> record);
  void copyFilledTo(FilledObject& other) const;
};

}  // namespace scribly
