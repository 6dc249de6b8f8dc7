#pragma once
// The edge's reads of a conference's output log, on a hiredis connection of
// its own: the replies are nested (entries within streams), which the
// conference log's flat calls do not take. Every reply is checked for its
// shape before use.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/frame.h"

struct redisContext;

namespace scribly {

// "ms-seq", or nullopt for anything else.
std::optional<net::OutId> parseOutId(std::string_view text);
std::string formatOutId(net::OutId id);

// One entry of conf:{C}:out as the edge needs it.
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

class StreamClient {
 public:
  static std::unique_ptr<StreamClient> open(const std::string& host, int port, int timeoutMs,
                                            std::string* error);
  ~StreamClient();
  StreamClient(const StreamClient&) = delete;
  StreamClient& operator=(const StreamClient&) = delete;

  std::optional<StreamState> state(const std::string& key);
  // Up to `count` entries after `after` (exclusive).
  bool range(const std::string& key, net::OutId after, size_t count, std::vector<EdgeEntry>& out);
  // XREAD BLOCK over several streams from explicit positions; one list of
  // entries per key, in key order. An empty answer after `blockMs` is true.
  bool read(const std::vector<std::string>& keys, const std::vector<net::OutId>& after,
            size_t count, int blockMs, std::vector<std::vector<EdgeEntry>>& out);
  const std::string& error() const { return error_; }

 private:
  explicit StreamClient(redisContext* context) : context_(context) {}
  struct Reply;
  bool command(const std::vector<std::string>& args, Reply& reply);

  redisContext* context_;
  std::string error_;
};

}  // namespace scribly
