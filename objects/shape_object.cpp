#include "objects/shape_object.h"

namespace scribly {

void FilledObject::writeBoxRecord(ByteWriter& out) const {
  writePoint(out, p1_);
  writePoint(out, p2_);
  out.u32(colour_).u32(fill_).u8(width_).u32(style_);
}

bool FilledObject::readBoxRecord(ByteReader& in) {
  const Point a = readPoint(in);
  const Point b = readPoint(in);
  const uint32_t colour = in.u32();
  const uint32_t fill = in.u32();
  const uint8_t width = in.u8();
  const uint32_t style = in.u32();
  if (!in.ok()) return false;
  p1_ = a;
  p2_ = b;
  colour_ = colour;
  fill_ = fill;
  width_ = width;
  style_ = knownPenStyle(style);
  return true;
}

size_t FilledObject::saveBoxRecord(std::span<uint8_t> dest) const {
  ByteWriter out(kBoxRecordSize);
  writeBoxRecord(out);
  return emitRecord(dest, out.data());
}

bool FilledObject::loadBoxRecord(std::span<const uint8_t> record) {
  if (record.size() < kBoxRecordSize) return false;
  ByteReader in(record);
  return readBoxRecord(in);
}

void FilledObject::copyFilledTo(FilledObject& other) const {
  other.p1_ = p1_;
  other.p2_ = p2_;
  other.colour_ = colour_;
  other.fill_ = fill_;
  other.width_ = width_;
  other.style_ = style_;
}

}  // namespace scribly
