#pragma once
// The 60-byte font description objects carry in their records (the byte layout
// of an 8-bit-character LOGFONT). The face name is UTF-8.
#include <array>
#include <cstdint>
#include <string>

#include "base/byte_io.h"

namespace scribly {

struct FontRecord {
  static constexpr size_t kSize = 60;
  static constexpr size_t kFaceSize = 32;
  // The first 28 bytes, which a wide font description takes over unchanged.
  static constexpr size_t kMetricsSize = 28;
  // The sizes the font chooser offers, in points, and the largest character
  // height or width they make in a record: 144 points at 200 dots per inch.
  static constexpr int32_t kMinPoints = 6;
  static constexpr int32_t kMaxPoints = 144;
  static constexpr int32_t kMaxHeight = kMaxPoints * 200 / 72;
  static constexpr int32_t kMaxWeight = 1000;

  int32_t height = 0;
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = 0;
  uint8_t outPrecision = 0;
  uint8_t clipPrecision = 0;
  uint8_t quality = 0;
  uint8_t pitchAndFamily = 0;
  std::array<char, kFaceSize> faceName{};

  // Every byte takes part, as a comparison of the fifteen words would.
  friend bool operator==(const FontRecord&, const FontRecord&) = default;

  // The face up to its terminator; a face without one is cut at 32 bytes.
  std::string face() const;
  void setFace(const std::string& utf8);

  void write(ByteWriter& out) const;
  // Reads all 60 bytes, within what the font chooser offers (see
  // withinChooserRange); failure shows in the reader's ok().
  static FontRecord read(ByteReader& in);
  // The font as the chooser could have made it: height and width at most
  // kMaxHeight either way, weight at most kMaxWeight, upright (no escapement
  // or orientation), italic, underline and strike-out on or off. A peer's
  // font of a million pixels or turned text would reach every participant's
  // screen.
  FontRecord withinChooserRange() const;
};

}  // namespace scribly
