// Fuzzes Compress: every payload comes back from its envelope unchanged, and
// the envelope never outgrows the payload by more than its header.
#include <algorithm>
#include <cstdlib>

#include "collab/envelope.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> payload(data, size);
  auto envelope = scribly::Compress(payload);
  if (envelope.size() > size + scribly::kEnvelopeHeaderBytes) std::abort();
  auto back = scribly::Decompress(envelope);
  if (!back || !std::equal(back->begin(), back->end(), payload.begin(), payload.end())) {
    std::abort();
  }
  return 0;
}
