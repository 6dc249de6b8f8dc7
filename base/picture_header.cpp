#include "base/picture_header.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "base/bmp_file.h"
#include "base/byte_io.h"

namespace scribly {
namespace {

constexpr size_t kBmpFileHeaderBytes = 14;
constexpr uint32_t kBmpCoreHeaderBytes = 12;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitFields = 3;

std::optional<PictureFileHeader> readBmp(std::span<const uint8_t> file) {
  ByteReader in(file);
  in.skip(10);
  const uint32_t pixelOffset = in.u32();
  const uint32_t headerBytes = in.u32();
  int64_t width = 0, height = 0;
  uint16_t planes = 0, bits = 0;
  uint32_t compression = kBiRgb;
  if (headerBytes == kBmpCoreHeaderBytes) {
    width = in.u16();
    height = in.u16();
    planes = in.u16();
    bits = in.u16();
  } else if (headerBytes == 40 || headerBytes == 52 || headerBytes == 56 || headerBytes == 108 ||
             headerBytes == 124) {
    width = in.i32();
    height = in.i32();
    planes = in.u16();
    bits = in.u16();
    compression = in.u32();
  } else {
    return std::nullopt;
  }
  if (!in.ok() || planes != 1 || width <= 0 || height == 0) return std::nullopt;
  // Negative heights store rows top-down, which run lengths cannot.
  const bool topDown = height < 0;
  height = topDown ? -height : height;
  bool fits = false;
  switch (compression) {
    case kBiRgb:
      fits = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
      break;
    case kBiRle8:
      fits = bits == 8 && !topDown;
      break;
    case kBiRle4:
      fits = bits == 4 && !topDown;
      break;
    case kBiBitFields:
      fits = bits == 16 || bits == 32;
      break;
    default:
      break;
  }
  if (!fits || pixelOffset < kBmpFileHeaderBytes + headerBytes || pixelOffset > file.size()) {
    return std::nullopt;
  }
  if (compression != kBiRle8 && compression != kBiRle4) {
    // Every row but the last padded to four bytes; the last needs only its pixels.
    const uint64_t row = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t last = (uint64_t(width) * bits + 7) / 8;
    if (row * uint64_t(height - 1) + last > file.size() - pixelOffset) return std::nullopt;
  }
  return PictureFileHeader{PictureFileType::Bmp, static_cast<uint32_t>(width),
                           static_cast<uint32_t>(height)};
}

// Skips GIF data sub-blocks up to their terminator; false when cut short.
bool skipSubBlocks(ByteReader& in) {
  for (;;) {
    const uint8_t length = in.u8();
    if (!in.ok()) return false;
    if (length == 0) return true;
    if (!in.skip(length)) return false;
  }
}

constexpr uint8_t kGifExtension = 0x21;
constexpr uint8_t kGifImage = 0x2C;
constexpr uint8_t kGifTrailer = 0x3B;
constexpr uint8_t kGifColourTable = 0x80;

// The size of a colour table whose packed field is `packed`, 0 without one.
size_t gifColourTableBytes(uint8_t packed) {
  return (packed & kGifColourTable) ? 3 * (size_t{2} << (packed & 7)) : 0;
}

std::optional<PictureFileHeader> readGif(std::span<const uint8_t> file) {
  ByteReader in(file);
  in.skip(6);
  uint32_t width = in.u16();
  uint32_t height = in.u16();
  const uint8_t packed = in.u8();
  in.skip(2);
  in.skip(gifColourTableBytes(packed));
  if (!in.ok() || width == 0 || height == 0) return std::nullopt;
  uint64_t framePixels = 0;
  bool image = false;
  // A file cut short after an image still shows that image.
  while (in.remaining() > 0) {
    const uint8_t block = in.u8();
    if (block == kGifTrailer) break;
    if (block == kGifExtension) {
      in.u8();
      if (!skipSubBlocks(in)) break;
    } else if (block == kGifImage) {
      const uint32_t left = in.u16(), top = in.u16(), w = in.u16(), h = in.u16();
      const uint8_t flags = in.u8();
      if (!in.ok() || w == 0 || h == 0) return std::nullopt;
      framePixels += uint64_t{w} * h;
      if (framePixels > kMaxGifFramePixels) return std::nullopt;
      width = std::max(width, left + w);
      height = std::max(height, top + h);
      image = true;
      // The colour table, the code size, then the image data.
      if (!in.skip(gifColourTableBytes(flags) + 1) || !skipSubBlocks(in)) break;
    } else {
      return std::nullopt;
    }
  }
  if (!image) return std::nullopt;
  return PictureFileHeader{PictureFileType::Gif, width, height};
}

constexpr uint8_t kJpegMarker = 0xFF;
constexpr uint8_t kJpegStart = 0xD8;
constexpr uint8_t kJpegEnd = 0xD9;
constexpr uint8_t kJpegScan = 0xDA;

bool isStartOfFrame(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Frames libjpeg decodes: baseline, extended and progressive, with Huffman
// (0xC0 to 0xC2) or arithmetic (0xC9, 0xCA) coding; not lossless or
// hierarchical ones.
bool isDecodedFrame(uint8_t marker) {
  return (marker >= 0xC0 && marker <= 0xC2) || marker == 0xC9 || marker == 0xCA;
}

uint16_t bigEndian16(ByteReader& in) {
  const uint8_t high = in.u8();
  return static_cast<uint16_t>(high << 8 | in.u8());
}

std::optional<PictureFileHeader> readJpeg(std::span<const uint8_t> file) {
  ByteReader in(file);
  in.skip(2);
  while (in.ok()) {
    if (in.u8() != kJpegMarker) return std::nullopt;
    uint8_t marker = in.u8();
    while (in.ok() && marker == kJpegMarker) marker = in.u8();  // fill bytes
    if (!in.ok() || marker == kJpegStart || marker == kJpegEnd || marker == kJpegScan) {
      return std::nullopt;
    }
    // Restart markers and TEM stand alone.
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    const uint16_t length = bigEndian16(in);
    if (!in.ok() || length < 2) return std::nullopt;
    std::span<const uint8_t> segment = in.bytes(length - 2u);
    if (!in.ok()) return std::nullopt;
    if (!isStartOfFrame(marker)) continue;
    if (!isDecodedFrame(marker)) return std::nullopt;
    ByteReader frame(segment);
    const uint8_t precision = frame.u8();
    const uint16_t height = bigEndian16(frame);
    const uint16_t width = bigEndian16(frame);
    const uint8_t components = frame.u8();
    if (!frame.ok() || precision != 8 || width == 0 || height == 0 ||
        (components != 1 && components != 3 && components != 4) ||
        frame.remaining() < 3u * components) {
      return std::nullopt;
    }
    return PictureFileHeader{PictureFileType::Jpeg, width, height};
  }
  return std::nullopt;
}

bool startsWith(std::span<const uint8_t> file, std::string_view signature) {
  return file.size() >= signature.size() &&
         std::equal(signature.begin(), signature.end(), file.begin(),
                    [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
}

}  // namespace

std::optional<PictureFileHeader> readPictureFileHeader(std::span<const uint8_t> file) {
  if (startsWith(file, "BM")) return readBmp(file);
  if (startsWith(file, "GIF87a") || startsWith(file, "GIF89a")) return readGif(file);
  if (startsWith(file, "\xFF\xD8")) return readJpeg(file);
  return std::nullopt;
}

bool pictureFits(const PictureFileHeader& header, size_t maxPixelBytes) {
  constexpr uint32_t kMaxSide = std::numeric_limits<uint16_t>::max();
  return header.width > 0 && header.height > 0 && header.width <= kMaxSide &&
         header.height <= kMaxSide && pictureBytes(header.width, header.height) <= maxPixelBytes;
}

}  // namespace scribly
