// One conference's log in Redis: the relay node's side of the functions in
// conference_log.lua. Synchronous, one call per step; every answer is checked
// for its shape before use, since a reply is input like any other.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct redisContext;

namespace scribly {

// A connection to redis-server; closed when dropped.
class RedisConnection {
 public:
  // Connects and loads the conference log functions (replacing an older copy).
  // Null with *error set when either fails.
  static std::unique_ptr<RedisConnection> open(const std::string& host, int port,
                                               std::string* error);
  ~RedisConnection();
  RedisConnection(const RedisConnection&) = delete;
  RedisConnection& operator=(const RedisConnection&) = delete;

  // A reply flattened to its fields: a status or string, an integer (as
  // decimal), or an array of those. Failed when Redis answered an error, the
  // link failed, or the reply had any other shape.
  struct Fields {
    bool ok = false;
    std::string error;
    std::vector<std::string> values;
  };
  Fields call(const std::vector<std::string_view>& args);

 private:
  explicit RedisConnection(redisContext* context) : context_(context) {}
  redisContext* context_;
};

// What a step can answer besides its own success.
struct Dup {};     // already in the log: a retried call
struct Fenced {};  // a newer session or owner holds the key
struct Gap {       // a seq was skipped: the caller lost track of its own sends
  uint64_t lastSeq = 0;
};
struct Refused {  // nothing was taken (the log is full, no such session): retry later
  std::string reason;
};
struct Failed {  // Redis said no, or the link or the reply was broken
  std::string error;
};

struct Appended {
  std::string id;
  bool ownerExists = false;
};
struct Granted {
  std::string id;
  uint32_t start = 0;
  uint32_t end = 0;  // exclusive
};
struct NoRange {  // the request took its seq but the allowance or the ids are used up
  std::string reason;
};
struct Joined {
  std::string id;  // empty for a resume, which writes no entry
  uint64_t epoch = 0;
  uint64_t lastSeq = 0;
};
struct Claimed {
  std::string token;
};
struct Written {
  std::string id;
};

using AppendResult = std::variant<Appended, Dup, Fenced, Gap, Refused, Failed>;
using GrantResult = std::variant<Granted, NoRange, Dup, Fenced, Gap, Refused, Failed>;
using JoinResult = std::variant<Joined, Refused, Failed>;
using LeaveResult = std::variant<Written, Fenced, Refused, Failed>;
using ClaimResult = std::variant<Claimed, Fenced, Failed>;
using RenewResult = std::variant<std::monostate, Fenced, Failed>;
using EmitResult = std::variant<Written, Dup, Fenced, Failed>;

struct ConferenceLogLimits {
  uint64_t maxInputEntries = 1'000'000;  // appends are refused at this length
  uint64_t maxOutputEntries = 200'000;   // older output is trimmed (roughly) past it
  uint32_t grantSize = 4096;
  uint32_t maxGrantsPerUser = 4096;
  uint32_t lastGrantedId = 0x7FFFFFFF;
};

class ConferenceLog {
 public:
  // Conference names are 1..64 of [A-Za-z0-9_-], so that one can never
  // reach into another's keys; valid() is false for any other.
  ConferenceLog(RedisConnection& redis, std::string_view conference,
                ConferenceLogLimits limits = {});
  bool valid() const { return !prefix_.empty(); }

  JoinResult join(uint32_t user, std::string_view node, std::string_view secretHash, bool resume);
  LeaveResult leave(uint32_t user, uint64_t epoch);
  AppendResult append(uint32_t user, uint64_t epoch, uint64_t seq,
                      std::span<const uint8_t> message);
  GrantResult grant(uint32_t user, uint64_t epoch, uint64_t seq);
  ClaimResult claim(std::string_view node, uint32_t ttlMs);
  RenewResult renew(std::string_view token, uint32_t ttlMs);
  EmitResult emit(std::string_view token, std::string_view sourceId, uint32_t part, uint32_t parts,
                  std::span<const uint8_t> deliveries);

 private:
  std::string key(std::string_view name) const { return prefix_ + std::string(name); }
  RedisConnection::Fields fcall(std::string_view function, std::vector<std::string> keys,
                                std::vector<std::string> args);

  RedisConnection& redis_;
  std::string prefix_;  // "conf:{C}:"
  ConferenceLogLimits limits_;
};

}  // namespace scribly
