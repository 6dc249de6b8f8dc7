// Turning a 1 000 x 1 000 picture by 30 degrees, and the JPEG round trip the
// turned copy then makes on its way to the peers.
#include <chrono>
#include <cstdio>

#include "objects/image_object.h"
#include "tests/bench/bench_figure.h"

using namespace scribly;

int main() {
  constexpr uint16_t kSide = 1000;
  std::vector<uint8_t> pixels(pictureBytes(kSide, kSide));
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 13 / 7);
  constexpr int kRuns = 5;
  std::optional<TurnedPicture> turned;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kRuns; ++i) turned = turnPixels(pixels, kSide, kSide, 30);
  const auto t1 = std::chrono::steady_clock::now();
  if (!turned) return 1;
  ImageObject picture;
  picture.attachPixels(std::move(turned->pixels), turned->width, turned->height, {0, 0},
                       {turned->width, turned->height});
  const std::vector<uint8_t> bulk = saveBulkRecord(picture);
  const bool reloaded = picture.reloadPixels(bulk);
  const auto t2 = std::chrono::steady_clock::now();
  const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
  printf("turn 1000 x 1000 by 30 degrees into %u x %u: %.1f ms\n", turned->width, turned->height,
         ms(t1 - t0) / kRuns);
  printf("JPEG encode and decode of the turned copy: %.1f ms (%zu bytes%s)\n", ms(t2 - t1),
         bulk.size(), reloaded ? "" : ", reload failed");
  printFigure("turn 1000 x 1000 by 30 degrees", ms(t1 - t0) / kRuns, "ms",
              "JPEG round trip of the copy %.1f ms, ratio %.2f", ms(t2 - t1),
              ms(t1 - t0) / kRuns / ms(t2 - t1));
}
