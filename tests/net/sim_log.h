#pragma once
// What the simulator reads back from Redis: the conferences' input and output
// logs entry by entry, a few figures of the server, and the checks made on
// them once the conference is quiet. Synchronous hiredis: the simulator calls
// it between its own steps, on loopback.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/frame.h"
#include "relay/relay_server.h"

struct redisContext;

namespace scribly::sim {

struct StreamEntry {
  net::OutId id;
  std::map<std::string, std::string> fields;
};

class RedisReader {
 public:
  static std::unique_ptr<RedisReader> open(const std::string& address, std::string* error);
  ~RedisReader();

  // Entries after `after` (all from the start when null), at most `count`.
  std::vector<StreamEntry> range(const std::string& key, std::optional<net::OutId> after,
                                 size_t count = 4096);
  std::vector<StreamEntry> all(const std::string& key);
  std::optional<StreamEntry> last(const std::string& key);
  long long length(const std::string& key);
  std::optional<std::string> get(const std::string& key);
  std::map<std::string, std::string> hash(const std::string& key);
  std::vector<std::string> list(const std::string& key);
  // One field of INFO or CONFIG GET, as text; empty when absent.
  std::string info(const std::string& field);
  std::string config(const std::string& name);

 private:
  RedisReader(redisContext* context, std::string address)
      : context_(context), address_(std::move(address)) {}
  // The connection, opened again after a failure (Redis restarted): a call
  // that fails meanwhile reads as empty.
  redisContext* context();
  redisContext* context_;
  std::string address_;
};

std::string confKey(const std::string& conference, const char* name);

// The faults found in a conference's input log: a user's seqs not 1, 2, 3...
// (from where the log still holds them), grant ranges that overlap or leave
// the bounds.
std::vector<std::string> checkInputLog(const std::vector<StreamEntry>& in,
                                       const RelayServerLimits& limits);

// The conference rebuilt cold: a fresh relay server restored from the
// snapshot, if there is one, and fed every input entry after it, as a new
// owner would. Null with *error when the snapshot or an entry is unreadable.
std::unique_ptr<RelayServer> rebuild(RedisReader& redis, const std::string& conference,
                                     RelayServerLimits limits, std::string* error);

}  // namespace scribly::sim
