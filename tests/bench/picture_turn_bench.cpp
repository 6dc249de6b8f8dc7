// Turning a 1 000 x 1 000 picture by 30 degrees, and the JPEG round trip the
// turned copy then makes on its way to the peers.
#include <cstdio>

#include "objects/image_object.h"
#include "tests/bench/bench_support.h"

using namespace scribly;

int main() {
  constexpr uint16_t kSide = 1000;
  std::vector<uint8_t> pixels(pictureBytes(kSide, kSide));
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 13 / 7);
  constexpr int kRuns = 5;
  std::optional<TurnedPicture> turned;
  const double turn = msPerCall(kRuns, [&](int) { turned = turnPixels(pixels, kSide, kSide, 30); });
  if (!turned) return 1;
  const Stopwatch clock;
  ImageObject picture;
  picture.attachPixels(std::move(turned->pixels), turned->width, turned->height, {0, 0},
                       {turned->width, turned->height});
  const std::vector<uint8_t> bulk = saveBulkRecord(picture);
  const bool reloaded = picture.reloadPixels(bulk);
  const double roundTrip = clock.ms();
  printf("turn 1000 x 1000 by 30 degrees into %u x %u: %.1f ms\n", turned->width, turned->height,
         turn);
  printf("JPEG encode and decode of the turned copy: %.1f ms (%zu bytes%s)\n", roundTrip,
         bulk.size(), reloaded ? "" : ", reload failed");
  printFigure("turn 1000 x 1000 by 30 degrees", turn, "ms",
              "JPEG round trip of the copy %.1f ms, ratio %.2f", roundTrip, turn / roundTrip);
}
