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
  // Reads all 60 bytes; failure shows in the reader's ok().
  static FontRecord read(ByteReader& in);
};

}  // namespace scribly
