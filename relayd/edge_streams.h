#pragma once
// The edge's reads of conferences' output logs, over any connection: a
// blocking read takes one of its own, since it holds the replies behind it.
// Every reply is checked for its shape before use.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/frame.h"
#include "relayd/conference_log.h"

namespace scribly {

// "ms-seq", or nullopt for anything else.
std::optional<net::OutId> parseOutId(std::string_view text);
std::string formatOutId(net::OutId id);

// One entry of conf:{C}:out as the edge needs it. An entry of no known shape
// keeps its id, with no deliveries, so that readers move past it.
struct EdgeEntry {
  net::OutId id;
  net::OutId source;       // the input entry it answers
  std::vector<uint8_t> d;  // the deliveries
};

struct StreamState {
  net::OutId last;           // last id ever generated (0-0 for no stream)
  net::OutId first;          // first entry still held (0-0 when none)
  bool lostEntries = false;  // entries were trimmed or deleted
};

std::optional<StreamState> streamState(RedisConnection& redis, const std::string& key);
// Up to `count` entries after `after` (exclusive).
bool readRange(RedisConnection& redis, const std::string& key, net::OutId after, size_t count,
               std::vector<EdgeEntry>& out);
// XREAD BLOCK over several streams from explicit positions; one list of
// entries per key, in key order. Nothing after `blockMs` is a success.
bool readStreams(RedisConnection& redis, const std::vector<std::string>& keys,
                 const std::vector<net::OutId>& after, size_t count, int blockMs,
                 std::vector<std::vector<EdgeEntry>>& out);

}  // namespace scribly
