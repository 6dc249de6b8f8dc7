#include "base/png_writer.h"

#include <png.h>

#include <cstring>

namespace scribly {

std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, const uint8_t* bgr, size_t stride) {
  if (width == 0 || height == 0 || !bgr || width > 0x4000 || height > 0x4000 ||
      stride < size_t{width} * 3)
    return {};
  // libpng counts row strides in samples, which a padded row need not be a
  // whole number of; packed rows avoid the question.
  const size_t row = size_t{width} * 3;
  std::vector<uint8_t> packed(row * height);
  for (uint32_t y = 0; y < height; ++y) memcpy(&packed[y * row], bgr + y * stride, row);

  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_BGR;
  // Written once into a buffer of the worst case, then trimmed.
  std::vector<uint8_t> png(PNG_IMAGE_PNG_SIZE_MAX(image));
  png_alloc_size_t size = png.size();
  if (!png_image_write_to_memory(&image, png.data(), &size, 0, packed.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  png.resize(size);
  return png;
}

}  // namespace scribly
