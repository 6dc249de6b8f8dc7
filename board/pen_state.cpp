#include "board/pen_state.h"

#include <chrono>
#include <random>

namespace scribly {

FontRecord defaultPenFont() {
  FontRecord f;
  f.height = -14;
  f.weight = 400;
  f.charSet = 134;
  f.outPrecision = 3;
  f.clipPrecision = 2;
  f.quality = 1;
  f.pitchAndFamily = 2;
  f.setFace("MS Shell Dlg");
  return f;
}

uint32_t initialPenColour(uint32_t seed) {
  // Green stands twice, so it comes up more often.
  static constexpr uint32_t kColours[] = {0x0000FF, 0x008000, 0xFF0000, 0xFF80FF,
                                          0x8080FF, 0xFF0080, 0x008000};
  std::minstd_rand random(seed);
  return kColours[random() % std::size(kColours)];
}

uint32_t clockSeed() {
  return static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

}  // namespace scribly
