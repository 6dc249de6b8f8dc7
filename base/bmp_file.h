#pragma once
// Uncompressed bitmap files: the layout of a picture at a bit count, and the
// file's headers around its colour table and bottom-up pixel rows.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace scribly {

// The file header (14 bytes) and the info header (40 bytes).
inline constexpr size_t kBmpHeaderBytes = 54;
// Larger files are refused rather than allocated.
inline constexpr size_t kMaxBmpFileBytes = size_t{256} << 20;

// The bit count a picture is saved at on a screen of `screenBits` (bits per
// pixel times planes): 1, 4, 8 or 24, and a deeper screen keeps its own.
uint16_t bmpBitCount(int screenBits);

struct BmpLayout {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bits = 24;

  // Rows are padded to four bytes.
  size_t rowBytes() const { return (static_cast<size_t>(width) * bits + 31) / 32 * 4; }
  // 2^bits entries of four bytes up to 8 bits; none above.
  size_t colourTableBytes() const { return bits <= 8 ? size_t{4} << bits : 0; }
  size_t pixelBytes() const { return rowBytes() * static_cast<size_t>(height); }
  size_t fileBytes() const { return kBmpHeaderBytes + colourTableBytes() + pixelBytes(); }
};

// Pictures in memory keep the layout of a 24-bit file's pixels: blue, green,
// red per pixel, rows bottom-up, each padded to a multiple of 4 bytes.
// Bytes in one padded row; 0 for an empty row.
inline size_t pictureRowBytes(uint32_t width) {
  return width == 0 ? 0 : ((3 * size_t{width} - 1) / 4 + 1) * 4;
}
inline size_t pictureBytes(uint32_t width, uint32_t height) {
  return pictureRowBytes(width) * height;
}

// Largest pixel buffer accepted from a peer or a decoder.
inline constexpr size_t kMaxPictureBytes = size_t{64} << 20;

// Nullopt when a side is not positive, the bit count is not 1, 4, 8, 16, 24
// or 32, or the file would be larger than kMaxBmpFileBytes.
std::optional<BmpLayout> bmpLayout(int32_t width, int32_t height, uint16_t bits);

// The whole file: headers, `colourTable` and `pixels` (bottom-up rows). Empty
// when the table or the pixels are not the sizes the layout states.
std::vector<uint8_t> bmpFileBytes(const BmpLayout& layout, std::span<const uint8_t> colourTable,
                                  std::span<const uint8_t> pixels);

}  // namespace scribly
