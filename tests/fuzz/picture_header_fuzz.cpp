// Picture file headers from arbitrary bytes: a header that reads states a
// kind its signature names and sides that are not 0.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/bmp_file.h"
#include "base/picture_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scribly;
  const auto header = readPictureFileHeader(std::span<const uint8_t>(data, size));
  if (!header) return 0;
  const uint8_t signature = data[0];
  const bool named = (header->type == PictureFileType::Bmp && signature == 'B') ||
                     (header->type == PictureFileType::Gif && signature == 'G') ||
                     (header->type == PictureFileType::Jpeg && signature == 0xFF);
  if (!named || header->width == 0 || header->height == 0) std::abort();
  if (pictureFits(*header, kMaxPictureBytes) &&
      pictureBytes(header->width, header->height) > kMaxPictureBytes) {
    std::abort();
  }
  return 0;
}
