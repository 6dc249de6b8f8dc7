#pragma once
// Reading the values of skin attributes: numbers, colours, and the ids of
// controls that name none.
#include <cstdint>
#include <string_view>

namespace scribly {

// Leading blanks, an optional sign, then digits; reading stops at the first
// other character. No digits read as 0; values beyond int32 saturate.
int32_t readDecimal(std::string_view text);

// All four bytes 255: written "-1,-1,-1" in a skin; also what an absent
// transparent-colour attribute means (no colour is transparent).
inline constexpr uint32_t kNoColour = 0xFFFFFFFF;

// "red,green,blue[,alpha]" in decimal, packed red in the low byte and alpha in
// the high byte; missing parts are 0, each part keeps its low 8 bits.
uint32_t parseColour(std::string_view text);

// Ids for controls without an "id": 10000 plus a 15-bit pseudo-random value
// divided by 4, so 10000 to 18191. The generator is the C runtime's classic
// linear one, seeded by the caller (the skin system seeds it with the time).
class ControlIds {
 public:
  explicit ControlIds(uint32_t seed) : state_(seed) {}
  int32_t next();

 private:
  uint32_t state_;
};

inline constexpr int32_t kFirstRandomControlId = 10000;
inline constexpr int32_t kLastRandomControlId = 18191;

}  // namespace scribly
