#pragma once
// One record layout per kind for both directions. A kind lists its fields once,
// in wire order, in a function `layout(io, self)` that calls io(field) for each;
// saving runs it with a RecordWriter over the object, loading with a
// RecordReader. Loading reads the record twice: first into scratch values to
// see that it is whole, then into the object, so a short or bad record leaves
// the object as it was.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "base/byte_io.h"
#include "objects/board_object.h"
#include "objects/font_record.h"
#include "objects/geometry.h"

namespace scribly {

class RecordWriter {
 public:
  explicit RecordWriter(ByteWriter& out) : out_(out) {}
  RecordWriter& operator()(const Point& p) {
    writePoint(out_, p);
    return *this;
  }
  RecordWriter& operator()(const uint8_t& v) {
    out_.u8(v);
    return *this;
  }
  RecordWriter& operator()(const uint32_t& v) {
    out_.u32(v);
    return *this;
  }
  RecordWriter& operator()(const int32_t& v) {
    out_.i32(v);
    return *this;
  }
  // A box as its two corners, as it was drawn: left-top, right-bottom.
  RecordWriter& operator()(const Rect& r) {
    writePoint(out_, {r.left, r.top});
    writePoint(out_, {r.right, r.bottom});
    return *this;
  }
  RecordWriter& operator()(const FontRecord& font) {
    font.write(out_);
    return *this;
  }
  template <typename T, size_t N>
  RecordWriter& operator()(const std::array<T, N>& values) {
    for (const T& v : values) (*this)(v);
    return *this;
  }

 private:
  ByteWriter& out_;
};

class RecordReader {
 public:
  // Without `store`, every field reads into a scratch value.
  RecordReader(ByteReader& in, bool store) : in_(in), store_(store) {}
  RecordReader& operator()(Point& p) { return keep(p, readPoint(in_)); }
  RecordReader& operator()(uint8_t& v) { return keep(v, in_.u8()); }
  RecordReader& operator()(uint32_t& v) { return keep(v, in_.u32()); }
  RecordReader& operator()(int32_t& v) { return keep(v, in_.i32()); }
  RecordReader& operator()(Rect& r) {
    const Point a = readPoint(in_);
    const Point b = readPoint(in_);
    return keep(r, Rect{a.x, a.y, b.x, b.y});
  }
  RecordReader& operator()(FontRecord& font) { return keep(font, FontRecord::read(in_)); }
  template <typename T, size_t N>
  RecordReader& operator()(std::array<T, N>& values) {
    for (T& v : values) (*this)(v);
    return *this;
  }

 private:
  template <typename T>
  RecordReader& keep(T& field, const T& value) {
    if (store_) field = value;
    return *this;
  }
  ByteReader& in_;
  bool store_;
};

// The fields of `self` in `layout`'s order.
template <typename Self, typename Layout>
void writeLayout(ByteWriter& out, const Self& self, Layout layout) {
  RecordWriter io(out);
  layout(io, self);
}

// Reads `layout` from the start of `record` into `self` when the whole layout
// is there; false, and `self` untouched, when it is not.
template <typename Self, typename Layout>
bool readLayout(std::span<const uint8_t> record, Self& self, Layout layout) {
  ByteReader probe(record);
  RecordReader scratch(probe, false);
  layout(scratch, self);
  if (!probe.ok()) return false;
  ByteReader in(record);
  RecordReader reader(in, true);
  layout(reader, self);
  return true;
}

}  // namespace scribly
