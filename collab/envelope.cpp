#include "collab/envelope.h"

#include <bzlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

// bzip2's working memory, kept per thread from one stream to the next: a
// stream takes about a megabyte at our block size, and a board decodes
// thousands of records of a few hundred bytes, each of which would otherwise
// map that memory, fault it in and give it back. Blocks are reused for the
// same size only; a hostile stream's larger block is freed when done.
class KeptBzipMemory {
 public:
  KeptBzipMemory() = default;
  KeptBzipMemory(const KeptBzipMemory&) = delete;
  KeptBzipMemory& operator=(const KeptBzipMemory&) = delete;
  ~KeptBzipMemory() {
    for (size_t i = 0; i < count_; ++i) std::free(kept_[i]);
  }

  static void* take(void* opaque, int items, int size) {
    auto& self = *static_cast<KeptBzipMemory*>(opaque);
    if (items < 0 || size < 0) return nullptr;
    const size_t bytes = static_cast<size_t>(items) * static_cast<size_t>(size);
    for (size_t i = 0; i < self.count_; ++i) {
      if (sizeOf(self.kept_[i]) != bytes) continue;
      void* block = self.kept_[i];
      self.kept_[i] = self.kept_[--self.count_];
      self.keptBytes_ -= bytes;
      return static_cast<char*>(block) + kHeaderBytes;
    }
    if (bytes > SIZE_MAX - kHeaderBytes) return nullptr;
    void* block = std::malloc(kHeaderBytes + bytes);
    if (!block) return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    return static_cast<char*>(block) + kHeaderBytes;
  }

  static void give(void* opaque, void* address) {
    if (!address) return;
    auto& self = *static_cast<KeptBzipMemory*>(opaque);
    void* block = static_cast<char*>(address) - kHeaderBytes;
    const size_t bytes = sizeOf(block);
    if (self.count_ == self.kept_.size() || bytes > kMaxKeptBytes - self.keptBytes_) {
      std::free(block);
      return;
    }
    self.kept_[self.count_++] = block;
    self.keptBytes_ += bytes;
  }

  void attach(bz_stream& stream) {
    stream.bzalloc = &KeptBzipMemory::take;
    stream.bzfree = &KeptBzipMemory::give;
    stream.opaque = this;
  }

 private:
  // Each block starts with its size, aligned as malloc aligns.
  static constexpr size_t kHeaderBytes = alignof(std::max_align_t);
  // A compressing stream holds four blocks at once, a decompressing one two.
  static constexpr size_t kMaxKeptBytes = size_t{8} << 20;

  static size_t sizeOf(const void* block) {
    size_t bytes = 0;
    std::memcpy(&bytes, block, sizeof bytes);
    return bytes;
  }

  std::array<void*, 6> kept_{};
  size_t count_ = 0;
  size_t keptBytes_ = 0;
};

KeptBzipMemory& keptBzipMemory() {
  thread_local KeptBzipMemory memory;
  return memory;
}

// What BZ2_bzBuffToBuffCompress does, with the kept memory.
int compressInto(char* dest, unsigned* destLength, const char* source, unsigned sourceLength) {
  bz_stream stream{};
  keptBzipMemory().attach(stream);
  int rc = BZ2_bzCompressInit(&stream, kBlockSize100k, kVerbosity, kWorkFactor);
  if (rc != BZ_OK) return rc;
  stream.next_in = const_cast<char*>(source);
  stream.avail_in = sourceLength;
  stream.next_out = dest;
  stream.avail_out = *destLength;
  rc = BZ2_bzCompress(&stream, BZ_FINISH);
  if (rc == BZ_STREAM_END) {
    *destLength -= stream.avail_out;
    rc = BZ_OK;
  } else if (rc == BZ_FINISH_OK) {
    rc = BZ_OUTBUFF_FULL;
  }
  BZ2_bzCompressEnd(&stream);
  return rc;
}

std::optional<std::vector<uint8_t>> inflate(std::span<const uint8_t> data, size_t announced) {
  bz_stream stream{};
  keptBzipMemory().attach(stream);
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
    const int rc =
        compressInto(scratch.data(), &compressed, reinterpret_cast<const char*>(payload.data()),
                     static_cast<unsigned>(n));
    if (rc == BZ_OK) {
      std::vector<uint8_t> out(kEnvelopeHeaderBytes + compressed);
      out[0] = kEnvelopeCompressed;
      putU32(&out[1], static_cast<uint32_t>(n));
      putU32(&out[5], compressed);
      std::memcpy(&out[kEnvelopeHeaderBytes], scratch.data(), compressed);
      return out;
    }
  }
  return Store(payload);
}

std::vector<uint8_t> Store(std::span<const uint8_t> payload) {
  std::vector<uint8_t> out(payload.size() + 1);
  out[0] = kEnvelopeRaw;
  if (!payload.empty()) std::memcpy(&out[1], payload.data(), payload.size());
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
