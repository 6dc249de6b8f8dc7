// Fuzzes the relay wire's decoder with a byte stream cut into pieces by its
// first byte: every frame it yields must encode back to the bytes it came
// from, and a refused stream must stay refused.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "net/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scribly::net;
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 64;
  std::span<const uint8_t> stream(data + 1, size - 1);
  FrameDecoder decoder;
  size_t consumed = 0;
  while (!stream.empty()) {
    std::span<const uint8_t> chunk = stream.first(std::min(piece, stream.size()));
    stream = stream.subspan(chunk.size());
    while (auto frame = decoder.next(chunk)) {
      const std::vector<uint8_t> bytes = encode(*frame);
      const size_t end = size - 1 - stream.size() - chunk.size();
      if (bytes.empty() || bytes.size() != end - consumed ||
          !std::equal(bytes.begin(), bytes.end(), data + 1 + end - bytes.size())) {
        std::abort();
      }
      consumed = end;
    }
    if (decoder.error() != FrameError::kNone) {
      if (decoder.next(stream) || decoder.error() == FrameError::kNone) std::abort();
      break;
    }
  }
  if (decoder.pending() > kFrameHeaderBytes + kMaxFrameBytes) std::abort();
  return 0;
}
