#pragma once
// PNG encoding for the host's screenshots: 8-bit RGB, stored (uncompressed)
// deflate blocks, so no compression library is needed.
#include <cstdint>
#include <string>
#include <vector>

namespace scribly {

// `bgr` holds `height` top-down rows of `width` blue-green-red pixels, each row
// `stride` bytes apart. Returns the PNG file's bytes, or empty when the sizes are
// impossible.
std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, const uint8_t* bgr, size_t stride);

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

}  // namespace scribly
