#include "skin/attribute_values.h"

#include <limits>

namespace scribly {

int32_t readDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(value == kLimit ? kLimit - 1 : value);
}

uint32_t parseColour(std::string_view text) {
  int32_t parts[4] = {0, 0, 0, 0};
  for (int32_t& part : parts) {
    const size_t comma = text.find(',');
    part = readDecimal(text.substr(0, comma));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (parts[0] == -1 && parts[1] == -1 && parts[2] == -1) return kNoColour;
  uint32_t colour = 0;
  for (int i = 0; i < 4; ++i) colour |= (static_cast<uint32_t>(parts[i]) & 0xFF) << (8 * i);
  return colour;
}

int32_t ControlIds::next() {
  state_ = state_ * 214013u + 2531011u;
  const int32_t random15 = static_cast<int32_t>((state_ >> 16) & 0x7FFF);
  return kFirstRandomControlId + random15 / 4;
}

}  // namespace scribly
