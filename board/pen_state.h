#pragma once
// What a new object takes from the tools, and what the tool panels show.
#include <array>
#include <cstdint>

#include "collab/message_header.h"
#include "objects/canvas.h"
#include "objects/font_record.h"

namespace scribly {

// The font the tools start with.
FontRecord defaultPenFont();

// One of the pen colours a participant starts with, chosen by the seed.
uint32_t initialPenColour(uint32_t seed);

// A seed that differs from one start to the next.
uint32_t clockSeed();

struct PenState {
  uint32_t colour = 0;
  // 0 draws shapes unfilled.
  uint32_t fill = 0;
  uint8_t width = 3;
  uint32_t style = kPenSolid;
  FontRecord font = defaultPenFont();
  // The picture values: orientation, adjustment A, brightness, contrast.
  std::array<int32_t, 4> picture{};

  static constexpr bool isPictureCode(MessageCode code) {
    return code >= MessageCode::kSetOrientation && code <= MessageCode::kSetContrast;
  }
  int32_t& pictureValue(MessageCode code) {
    return picture[toByte(code) - toByte(MessageCode::kSetOrientation)];
  }
};

}  // namespace scribly
