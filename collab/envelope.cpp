#include "collab/envelope.h"

#include <bzlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/byte_io.h"

namespace scribly {
namespace {

constexpr int kBlockSize100k = 2;
constexpr int kVerbosity = 0;
constexpr int kWorkFactor = 50;
constexpr int kSmallMode = 0;

// First output buffer for a compressed payload. The announced length is the
// sender's claim: the first buffer is sized from the bytes actually received
// (generous enough that real payloads never grow it, which is costly), and it
// grows towards the announced length only as bzip2 produces data, so a lying
// envelope cannot commit the whole cap up front.
constexpr size_t kFirstOutputBytes = size_t{256} << 10;
constexpr size_t kFirstOutputPerInputByte = 16;

// Compression scratch kept for the next call: enough for every record and
// most pictures, without holding on to the memory of a rare huge one.
constexpr size_t kKeptScratchBytes = size_t{4} << 20;

void putU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::optional<std::vector<uint8_t>> inflate(std::span<const uint8_t> data, size_t announced) {
  bz_stream stream{};
  if (BZ2_bzDecompressInit(&stream, kVerbosity, kSmallMode) != BZ_OK) return std::nullopt;

  // One byte past the announced length shows a stream that would overrun it.
  const size_t limit = announced + 1;
  std::vector<uint8_t> out(
      std::min(limit, std::max(kFirstOutputBytes, kFirstOutputPerInputByte * data.size())));
  stream.next_in = const_cast<char*>(reinterpret_cast<const char*>(data.data()));
  stream.avail_in = static_cast<unsigned>(data.size());
  size_t produced = 0;
  int rc = BZ_OK;
  for (;;) {
    if (produced == out.size()) {
      if (out.size() == limit) break;
      out.resize(std::min(limit, out.size() * 2));
    }
    stream.next_out = reinterpret_cast<char*>(out.data() + produced);
    stream.avail_out = static_cast<unsigned>(out.size() - produced);
    rc = BZ2_bzDecompress(&stream);
    produced = out.size() - stream.avail_out;
    if (rc != BZ_OK) break;
    // No input left and room left means the stream was cut short.
    if (stream.avail_in == 0 && stream.avail_out > 0) break;
  }
  BZ2_bzDecompressEnd(&stream);
  if (rc != BZ_STREAM_END || produced > announced) return std::nullopt;
  out.resize(produced);
  return out;
}

}  // namespace

std::vector<uint8_t> Compress(std::span<const uint8_t> payload) {
  const size_t n = payload.size();
  if (n > 0 && n <= UINT_MAX) {
    // bzip2 writes into scratch space that stays mapped between calls, so
    // only the envelope actually returned costs fresh memory. Board work runs
    // on one thread; a second thread would get its own scratch.
    thread_local std::vector<char> keptScratch;
    std::vector<char> bigScratch;
    std::vector<char>& scratch = n <= kKeptScratchBytes ? keptScratch : bigScratch;
    if (scratch.size() < n) scratch.resize(n);
    unsigned compressed = static_cast<unsigned>(n);
    // A compressed form that does not fit in n bytes fails with BZ_OUTBUFF_FULL.
    int rc =
        BZ2_bzBuffToBuffCompress(scratch.data(), &compressed,
                                 const_cast<char*>(reinterpret_cast<const char*>(payload.data())),
                                 static_cast<unsigned>(n), kBlockSize100k, kVerbosity, kWorkFactor);
    if (rc == BZ_OK) {
      std::vector<uint8_t> out(kEnvelopeHeaderBytes + compressed);
      out[0] = kEnvelopeCompressed;
      putU32(&out[1], static_cast<uint32_t>(n));
      putU32(&out[5], compressed);
      std::memcpy(&out[kEnvelopeHeaderBytes], scratch.data(), compressed);
      return out;
    }
  }
  std::vector<uint8_t> out(n + 1);
  out[0] = kEnvelopeRaw;
  if (n > 0) std::memcpy(&out[1], payload.data(), n);
  return out;
}

std::optional<std::vector<uint8_t>> Decompress(std::span<const uint8_t> envelope,
                                               size_t maxPayload) {
  maxPayload = std::min(maxPayload, kMaxPayloadBytes);
  ByteReader r(envelope);
  const uint8_t form = r.u8();
  if (!r.ok()) return std::nullopt;
  if (form != kEnvelopeCompressed) {
    std::span<const uint8_t> raw = r.rest();
    if (raw.size() > maxPayload) return std::nullopt;
    return std::vector<uint8_t>(raw.begin(), raw.end());
  }
  const uint32_t announced = r.u32();
  const uint32_t compressedLength = r.u32();
  // The stated compressed length must lie inside the received bytes.
  std::span<const uint8_t> data = r.bytes(compressedLength);
  if (!r.ok() || announced > maxPayload) return std::nullopt;
  return inflate(data, announced);
}

}  // namespace scribly
