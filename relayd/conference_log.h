// One conference's log in Redis: the relay node's side of the functions in
// conference_log.lua. Synchronous, one call per step; every answer is checked
// for its shape before use, since a reply is input like any other.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "relayd/redis_connection.h"

namespace scribly {

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
using FencedStep = std::variant<std::monostate, Fenced, Failed>;

// An entry of the input log. An entry of no known shape (not one of ours)
// is kept as Unknown, so that every reader skips it alike.
struct InputEntry {
  enum class Kind : uint8_t { Message, Join, Leave, Grant, Unknown };
  std::string id;
  Kind kind = Kind::Unknown;
  uint32_t user = 0;
  uint64_t epoch = 0;  // join, leave
  uint32_t start = 0;  // grant [start, end)
  uint32_t end = 0;
  std::vector<uint8_t> message;
};
struct OutputEntry {
  std::string id;
  std::string source;
  uint32_t part = 0;
  uint32_t parts = 0;
  std::vector<uint8_t> deliveries;  // output_entry.h
};
// The committed snapshot: chunk list n, covering the input through inId.
struct SnapshotHeader {
  uint64_t n = 0;
  std::string inId;
  uint64_t size = 0;
};
struct SessionInfo {
  uint32_t user = 0;
  uint64_t epoch = 0;
  std::string node;
};

// A stream id "ms-seq" as numbers, ordered as Redis orders them; nullopt
// for anything else.
std::optional<std::pair<uint64_t, uint64_t>> parseStreamId(std::string_view id);

struct ConferenceLogLimits {
  uint64_t maxInputEntries = 1'000'000;         // appends are refused at this length
  uint64_t maxOutputEntries = 200'000;          // older output is trimmed (roughly) past it
  uint32_t outputRetentionMs = 10 * 60 * 1000;  // and so is output older than this
  uint32_t grantSize = 4096;
  uint32_t maxGrantsPerUser = 4096;
  uint32_t lastGrantedId = 0x7FFFFFFF;
};

// One message of a session for the input log: a range request (code 81)
// goes to grant, anything else to append.
struct LogWrite {
  uint32_t user = 0;
  uint64_t epoch = 0;
  uint64_t seq = 0;
  std::span<const uint8_t> message;
};
using WriteResult = std::variant<AppendResult, GrantResult>;

// One part of an input entry's output, as the owner writes it.
struct OutputPart {
  std::string source;
  uint32_t part = 0;
  uint32_t parts = 1;
  std::vector<uint8_t> deliveries;
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
  // Several writes in one round trip, each answered as append or grant
  // would; Redis still runs them one by one and in order.
  std::vector<WriteResult> writeAll(std::span<const LogWrite> writes);
  ClaimResult claim(std::string_view node, uint32_t ttlMs);
  RenewResult renew(std::string_view token, uint32_t ttlMs);
  EmitResult emit(std::string_view token, std::string_view sourceId, uint32_t part, uint32_t parts,
                  std::span<const uint8_t> deliveries);
  // Parts in output order, in one step: those already written (a retry) are
  // skipped; Dup when all were.
  EmitResult emit(std::string_view token, std::span<const OutputPart> parts);

  // Up to count input entries after the id `after` ("0-0": from the start),
  // waiting up to blockMs (below the connection's 2 s timeout) when there
  // are none yet; 0 does not wait.
  std::variant<std::vector<InputEntry>, Failed> readInput(std::string_view after, uint32_t count,
                                                          uint32_t blockMs);
  std::variant<std::vector<OutputEntry>, Failed> readOutput(std::string_view after, uint32_t count);
  // The last part emitted as (source id, part); an empty id when none was.
  std::variant<std::pair<std::string, uint32_t>, Failed> outputPosition();

  // Snapshots: the chunks go to list n one by one, then snapcommit makes
  // them the snapshot, provided the header is still `oldN`'s.
  std::variant<std::optional<SnapshotHeader>, Failed> snapshotHeader();
  std::variant<std::vector<uint8_t>, Failed> readSnapshot(const SnapshotHeader& header);
  FencedStep writeSnapshotChunk(std::string_view token, uint64_t n, bool first,
                                std::span<const uint8_t> bytes);
  FencedStep commitSnapshot(std::string_view token, const SnapshotHeader& header, uint64_t oldN);

  std::variant<std::vector<SessionInfo>, Failed> sessions();
  // Whether the node's heartbeat key (node:<id>) is there.
  std::variant<bool, Failed> nodeAlive(std::string_view node);

 private:
  std::string key(std::string_view name) const { return prefix_ + std::string(name); }
  RedisConnection::Fields fcall(std::string_view function, std::vector<std::string> keys,
                                std::vector<std::string> args);
  std::vector<std::string> fcallArgs(std::string_view function, std::vector<std::string> keys,
                                     std::vector<std::string> args) const;
  std::vector<std::string> writeCommand(const LogWrite& w) const;
  static AppendResult appendAnswer(const RedisConnection::Fields& f);
  static GrantResult grantAnswer(const RedisConnection::Fields& f);

  RedisConnection& redis_;
  std::string prefix_;  // "conf:{C}:"
  ConferenceLogLimits limits_;
};

}  // namespace scribly
