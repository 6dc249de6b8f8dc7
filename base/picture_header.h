#pragma once
// What a picture file says it is, read from its headers before any decoder
// sees it: its kind and the size a decoder would allocate for. The system
// picture loader decodes whatever it recognises, at whatever size a header
// claims, so only files that pass here are handed to it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace scribly {

enum class PictureFileType : uint8_t { Bmp, Gif, Jpeg };

struct PictureFileHeader {
  PictureFileType type = PictureFileType::Bmp;
  uint32_t width = 0;
  uint32_t height = 0;
};

// Nullopt for anything but these, each with headers that hold together:
// - bitmap: "BM", an info header of 12, 40, 52, 56, 108 or 124 bytes, one
//   plane, a bit count and compression that go together (none; run lengths
//   for 4 and 8 bits, bottom-up; bit fields for 16 and 32 bits), sides not 0,
//   and uncompressed pixels inside the file;
// - GIF: "GIF87a" or "GIF89a", a logical screen not empty, at least one image,
//   and all its images together at most kMaxGifFramePixels (a decoder keeps
//   every frame); the size is the screen grown to cover every image;
// - JPEG: a start of frame before any scan: baseline, extended or progressive
//   with Huffman or arithmetic coding, 8-bit samples, 1, 3 or 4 components,
//   sides not 0.
std::optional<PictureFileHeader> readPictureFileHeader(std::span<const uint8_t> file);

inline constexpr uint64_t kMaxGifFramePixels = uint64_t{64} << 20;

// Whether the picture fits a picture in memory (16-bit sides) of at most
// maxPixelBytes as 24-bit pixels.
bool pictureFits(const PictureFileHeader& header, size_t maxPixelBytes);

}  // namespace scribly
