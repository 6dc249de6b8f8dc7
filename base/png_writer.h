#pragma once
// PNG encoding for the host's screenshots and the saved page: 8-bit RGB,
// compressed by libpng.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace scribly {

// `bgr` holds `height` top-down rows of `width` blue-green-red pixels, each row
// `stride` bytes apart. Returns the PNG file's bytes, or empty when the sizes are
// impossible or the encoder fails.
std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, const uint8_t* bgr, size_t stride);

}  // namespace scribly
