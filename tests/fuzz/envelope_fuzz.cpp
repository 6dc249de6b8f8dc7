// Fuzzes Decompress with any bytes a peer could send as an envelope.
#include <cstdlib>

#include "collab/envelope.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto payload = scribly::Decompress(std::span<const uint8_t>(data, size));
  if (payload && payload->size() > scribly::kMaxPayloadBytes) std::abort();
  return 0;
}
