// Fuzzes the relay server's restore with arbitrary saved state: no crash, no
// leak, no allocation past the budget, and a state it takes saves to bytes
// that restore to the same state again.
#include <cstdlib>

#include "relay/relay_server.h"
#include "tests/fuzz/memory_limit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scribly;
  const RelayServerLimits limits{.idRangeSize = 64,
                                 .maxParticipants = 16,
                                 .maxOpenTransfers = 4,
                                 .maxOpenTransferBytes = kBudget,
                                 .maxPages = 64,
                                 .maxObjects = 1024,
                                 .maxPictureBytes = kBudget};
  size_t delivered = 0;
  auto deliver = [&](uint32_t, std::span<const uint8_t>) { ++delivered; };
  RelayServer server(deliver, limits);
  if (!server.restoreState({data, size})) return 0;
  const std::vector<uint8_t> saved = server.saveState();
  RelayServer again(deliver, limits);
  if (!again.restoreState(saved) || again.saveState() != saved) std::abort();
  if (delivered != 0) std::abort();
  return 0;
}
