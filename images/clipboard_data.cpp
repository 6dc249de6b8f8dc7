#include "images/clipboard_data.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "base/byte_io.h"
#include "objects/pixel_ops.h"

namespace scribly {
namespace {

// Header sizes: the old core header, and the info header with its later
// extensions (colour masks inside from 52 bytes on).
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kMasksInHeaderBytes = 52;
constexpr std::array<uint32_t, 5> kInfoHeaderSizes = {40, 52, 56, 108, 124};

constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;

struct Layout {
  int64_t width = 0;
  int64_t height = 0;  // negative: the first row is the top one
  uint32_t bitsPerPixel = 0;
  uint32_t compression = kUncompressed;
  uint32_t coloursUsed = 0;
  std::array<uint32_t, 3> masks{};  // red, green, blue
  bool masksGiven = false;
  bool core = false;  // three-byte colour table entries
};

// One channel of a pixel under its mask, spread to 0..255.
uint8_t channel(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t top = mask >> shift;
  const uint32_t v = (value & mask) >> shift;
  return static_cast<uint8_t>(top == 0xFF ? v : uint64_t{v} * 255 / top);
}

std::optional<Layout> readHeader(ByteReader& in) {
  Layout l;
  const uint32_t headerBytes = in.u32();
  if (headerBytes == kCoreHeaderBytes) {
    l.core = true;
    l.width = in.u16();
    l.height = in.u16();
    if (in.u16() != 1) return std::nullopt;  // planes
    l.bitsPerPixel = in.u16();
    return in.ok() ? std::optional(l) : std::nullopt;
  }
  if (std::find(kInfoHeaderSizes.begin(), kInfoHeaderSizes.end(), headerBytes) ==
      kInfoHeaderSizes.end())
    return std::nullopt;
  l.width = in.i32();
  l.height = in.i32();
  if (in.u16() != 1) return std::nullopt;
  l.bitsPerPixel = in.u16();
  l.compression = in.u32();
  in.skip(4 * 3);  // image size, resolution
  l.coloursUsed = in.u32();
  in.skip(4);  // important colours
  if (l.compression == kBitFields) {
    // From 52 bytes on the masks are the header's next fields; after a
    // 40-byte header they follow it.
    for (uint32_t& mask : l.masks) mask = in.u32();
    l.masksGiven = true;
    if (headerBytes >= kMasksInHeaderBytes) in.skip(headerBytes - kMasksInHeaderBytes);
  } else {
    in.skip(headerBytes - kInfoHeaderBytes);
  }
  return in.ok() ? std::optional(l) : std::nullopt;
}

bool supported(const Layout& l) {
  switch (l.bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 24:
      return l.compression == kUncompressed;
    case 16:
    case 32:
      return l.compression == kUncompressed || l.compression == kBitFields;
    default:
      return false;
  }
}

}  // namespace

std::string_view clipboardText(std::span<const uint8_t> block) {
  const size_t limit = std::min(block.size(), kClipboardTextBytes);
  const auto* text = reinterpret_cast<const char*>(block.data());
  const void* end = limit ? memchr(text, 0, limit) : nullptr;
  return {text, end ? static_cast<size_t>(static_cast<const char*>(end) - text) : limit};
}

std::optional<ClipboardPicture> pictureFromDib(std::span<const uint8_t> block) {
  ByteReader in(block);
  std::optional<Layout> header = readHeader(in);
  if (!header || !supported(*header)) return std::nullopt;
  const Layout& l = *header;
  const int64_t rows = l.height < 0 ? -l.height : l.height;
  if (l.width <= 0 || l.width > 0xFFFF || rows == 0 || rows > 0xFFFF) return std::nullopt;
  const auto width = static_cast<uint16_t>(l.width), height = static_cast<uint16_t>(rows);
  if (pictureBytes(width, height) > kMaxPictureBytes) return std::nullopt;

  // The colour table: entries of three bytes after a core header, of four
  // otherwise. Pictures of more than 8 bits may carry one they do not use.
  const size_t entryBytes = l.core ? 3 : 4;
  const uint64_t entries =
      l.coloursUsed != 0 ? l.coloursUsed : (l.bitsPerPixel <= 8 ? 1u << l.bitsPerPixel : 0);
  if (entries > in.remaining() / entryBytes) return std::nullopt;
  const std::span<const uint8_t> table = in.bytes(static_cast<size_t>(entries * entryBytes));

  const size_t sourceRow = (size_t{width} * l.bitsPerPixel + 31) / 32 * 4;
  if (in.remaining() / sourceRow < height) return std::nullopt;
  const std::span<const uint8_t> source = in.bytes(sourceRow * height);
  if (!in.ok()) return std::nullopt;

  std::array<uint32_t, 3> masks = l.masks;
  if (!l.masksGiven) {
    masks = l.bitsPerPixel == 16 ? std::array<uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                                 : std::array<uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
  }

  ClipboardPicture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(pictureBytes(width, height), 0);
  const size_t destRow = pictureRowBytes(width);
  const size_t tableEntries = table.size() / entryBytes;
  for (size_t r = 0; r < height; ++r) {
    const uint8_t* from = source.data() + r * sourceRow;
    // Both are stored bottom-up unless the header says top-down.
    uint8_t* to = picture.pixels.data() + (l.height < 0 ? height - 1 - r : r) * destRow;
    for (size_t x = 0; x < width; ++x, to += 3) {
      switch (l.bitsPerPixel) {
        case 24:
          memcpy(to, from + 3 * x, 3);
          break;
        case 16:
        case 32: {
          const uint8_t* p = from + x * (l.bitsPerPixel / 8);
          const uint32_t v = l.bitsPerPixel == 16 ? uint32_t{p[0]} | uint32_t{p[1]} << 8
                                                  : uint32_t{p[0]} | uint32_t{p[1]} << 8 |
                                                        uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
          to[0] = channel(v, masks[2]);
          to[1] = channel(v, masks[1]);
          to[2] = channel(v, masks[0]);
          break;
        }
        default: {
          // 1, 4 or 8 bits per index, the leftmost pixel in the high bits;
          // an index past the table is black.
          const size_t bit = x * l.bitsPerPixel;
          const unsigned shift = 8 - l.bitsPerPixel - bit % 8;
          const size_t index = (from[bit / 8] >> shift) & ((1u << l.bitsPerPixel) - 1);
          if (index < tableEntries) memcpy(to, table.data() + index * entryBytes, 3);
          break;
        }
      }
    }
  }
  return picture;
}

}  // namespace scribly
