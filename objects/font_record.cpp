#include "objects/font_record.h"

#include <algorithm>
#include <cstring>

namespace scribly {

std::string FontRecord::face() const {
  const size_t n = strnlen(faceName.data(), faceName.size());
  return std::string(faceName.data(), n);
}

void FontRecord::setFace(const std::string& utf8) {
  faceName.fill(0);
  const size_t n = std::min(utf8.size(), kFaceSize - 1);
  std::memcpy(faceName.data(), utf8.data(), n);
}

void FontRecord::write(ByteWriter& out) const {
  out.i32(height).i32(width).i32(escapement).i32(orientation).i32(weight);
  out.u8(italic).u8(underline).u8(strikeOut).u8(charSet);
  out.u8(outPrecision).u8(clipPrecision).u8(quality).u8(pitchAndFamily);
  out.bytes(faceName.data(), faceName.size());
}

FontRecord FontRecord::read(ByteReader& in) {
  FontRecord f;
  f.height = in.i32();
  f.width = in.i32();
  f.escapement = in.i32();
  f.orientation = in.i32();
  f.weight = in.i32();
  f.italic = in.u8();
  f.underline = in.u8();
  f.strikeOut = in.u8();
  f.charSet = in.u8();
  f.outPrecision = in.u8();
  f.clipPrecision = in.u8();
  f.quality = in.u8();
  f.pitchAndFamily = in.u8();
  const auto face = in.bytes(kFaceSize);
  if (!face.empty()) std::memcpy(f.faceName.data(), face.data(), kFaceSize);
  return f;
}

}  // namespace scribly
