#pragma once
// Baseline JPEG for picture bulk data, from and to the padded bottom-up BGR
// buffers pictures keep. The stream stores rows top-down.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace scribly {

inline constexpr int kJpegQuality = 85;

// Encodes at the given quality with 4:1:1 chroma subsampling (luma sampled
// four times horizontally per chroma sample). Empty when encoding fails or the
// stream would exceed maxBytes.
std::optional<std::vector<uint8_t>> encodeJpeg(std::span<const uint8_t> pixels, uint16_t width,
                                               uint16_t height, size_t maxBytes,
                                               int quality = kJpegQuality);

// Decodes into a new padded bottom-up buffer. Refuses a stream whose size is
// not exactly width x height, a truncated or corrupt stream (libjpeg would
// only warn and pad it grey), and pictures above the pixel cap.
std::optional<std::vector<uint8_t>> decodeJpeg(std::span<const uint8_t> jpeg, uint16_t width,
                                               uint16_t height);

}  // namespace scribly
