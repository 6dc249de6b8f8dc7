#include "objects/font_record.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace scribly {
namespace {

// The text without a last UTF-8 character that a byte limit cut short, so the
// face still converts; the bytes of whole characters stay as they are.
std::string_view wholeCharacters(std::string_view utf8) {
  size_t lead = utf8.size();
  while (lead > 0 && utf8.size() - lead < 4 &&
         (static_cast<uint8_t>(utf8[lead - 1]) & 0xC0) == 0x80)
    --lead;
  if (lead == 0) return utf8;
  const auto first = static_cast<uint8_t>(utf8[--lead]);
  const size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  return utf8.size() - lead < length ? utf8.substr(0, lead) : utf8;
}

}  // namespace

std::string FontRecord::face() const {
  const size_t n = strnlen(faceName.data(), faceName.size());
  return std::string(wholeCharacters({faceName.data(), n}));
}

void FontRecord::setFace(const std::string& utf8) {
  faceName.fill(0);
  const std::string_view kept =
      wholeCharacters(std::string_view(utf8).substr(0, std::min(utf8.size(), kFaceSize - 1)));
  std::memcpy(faceName.data(), kept.data(), kept.size());
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
  return f.withinChooserRange();
}

FontRecord FontRecord::withinChooserRange() const {
  FontRecord f = *this;
  f.height = std::clamp(height, -kMaxHeight, kMaxHeight);
  f.width = std::clamp(width, -kMaxHeight, kMaxHeight);
  f.escapement = f.orientation = 0;
  f.weight = std::clamp(weight, 0, kMaxWeight);
  f.italic = italic != 0;
  f.underline = underline != 0;
  f.strikeOut = strikeOut != 0;
  return f;
}

}  // namespace scribly
