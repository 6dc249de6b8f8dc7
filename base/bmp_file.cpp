#include "base/bmp_file.h"

#include "base/byte_io.h"

namespace scribly {

uint16_t bmpBitCount(int screenBits) {
  if (screenBits < 2) return 1;
  if (screenBits < 5) return 4;
  if (screenBits < 9) return 8;
  if (screenBits < 25) return 24;
  return static_cast<uint16_t>(screenBits);
}

std::optional<BmpLayout> bmpLayout(int32_t width, int32_t height, uint16_t bits) {
  if (width <= 0 || height <= 0) return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return std::nullopt;
  const BmpLayout layout{width, height, bits};
  // Checked row first, so the product below cannot wrap.
  if (layout.rowBytes() > kMaxBmpFileBytes ||
      layout.rowBytes() > (kMaxBmpFileBytes - kBmpHeaderBytes - layout.colourTableBytes()) /
                              static_cast<size_t>(height))
    return std::nullopt;
  return layout;
}

std::vector<uint8_t> bmpFileBytes(const BmpLayout& layout, std::span<const uint8_t> colourTable,
                                  std::span<const uint8_t> pixels) {
  if (!bmpLayout(layout.width, layout.height, layout.bits) ||
      colourTable.size() != layout.colourTableBytes() || pixels.size() != layout.pixelBytes())
    return {};
  const auto offset = static_cast<uint32_t>(kBmpHeaderBytes + colourTable.size());
  ByteWriter out(layout.fileBytes());
  out.u8('B').u8('M').u32(static_cast<uint32_t>(layout.fileBytes())).u16(0).u16(0).u32(offset);
  out.u32(40).i32(layout.width).i32(layout.height).u16(1).u16(layout.bits).u32(0).zeros(20);
  out.bytes(colourTable).bytes(pixels);
  return out.take();
}

}  // namespace scribly
