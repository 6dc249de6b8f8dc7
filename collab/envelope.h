#pragma once
// Compression envelope for bulky payloads (background pictures, picture bulk
// data, pencil and text records):
//   compressed: u8 1, u32 payload length n, u32 compressed length c, c bytes of bzip2
//   raw:        u8 0, the n payload bytes
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace scribly {

// Wraps a payload: compressed form (1, n, c, data) or raw form (0, bytes).
std::vector<uint8_t> Compress(std::span<const uint8_t> payload);
// The raw form alone, for payloads that are compressed already: bzip2 would
// spend tens of milliseconds a JPEG to save a fifth of it.
std::vector<uint8_t> Store(std::span<const uint8_t> payload);

// The payload of an envelope, or nullopt when it is malformed or states more
// than maxPayload bytes. Nothing is allocated past what the envelope states,
// so a caller that knows how large its payload can be passes that: bzip2
// inflates a hundred bytes to megabytes.
std::optional<std::vector<uint8_t>> Decompress(std::span<const uint8_t> envelope,
                                               size_t maxPayload);

// The largest payload an envelope may carry, in either form. The largest
// legitimate payload is a page background: a 4-byte format code and a picture
// file taken as it is. The biggest such file in practice is an uncompressed
// 32-bit BMP of a screen capture; 64 MiB holds one of up to about 16.7 million
// pixels (5120 x 3200 fits), several times a 4K screen. A peer announcing more
// is refused before anything is allocated.
constexpr size_t kMaxPayloadBytes = size_t{64} << 20;

inline std::optional<std::vector<uint8_t>> Decompress(std::span<const uint8_t> envelope) {
  return Decompress(envelope, kMaxPayloadBytes);
}

// Sizes of the envelope's fixed parts.
constexpr size_t kEnvelopeHeaderBytes = 9;  // form byte, n, c
constexpr uint8_t kEnvelopeRaw = 0;
constexpr uint8_t kEnvelopeCompressed = 1;

}  // namespace scribly
