#include "objects/shape_object.h"

namespace scribly {

size_t FilledObject::saveBoxRecord(std::span<uint8_t> dest) const {
  ByteWriter out(kBoxRecordSize);
  writeLayout(out, *this, [](auto& io, auto& s) { boxLayout(io, s); });
  return emitRecord(dest, out.data());
}

bool FilledObject::loadBoxRecord(std::span<const uint8_t> record) {
  if (record.size() < kBoxRecordSize ||
      !readLayout(record, *this, [](auto& io, auto& s) { boxLayout(io, s); }))
    return false;
  style_ = knownPenStyle(style_);
  return true;
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
