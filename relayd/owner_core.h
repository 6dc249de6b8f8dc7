#pragma once
// One conference's owner, transport-free: the RelayServer that decides, fed
// from the conference's input log and writing its deliveries to the output
// log, over one synchronous Redis connection. The caller drives it step by
// step (OwnerRole from a thread of its own, tests directly).
//
// Its state is a function of the log: a takeover loads the snapshot, replays
// the input after it with the output the previous owners already emitted
// discarded, and carries on live, so an owner can die at any point.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "relay/relay_server.h"
#include "relayd/conference_log.h"

namespace scribly {

struct OwnerOptions {
  uint32_t leaseMs = 6000;
  uint32_t renewMs = 2000;
  // A snapshot is taken once the input since the last one exceeds
  // max(this, the last snapshot's size).
  size_t snapshotAfterBytes = size_t{4} << 20;
  // Or once this long has passed since the last one with input since: a
  // quiet conference's takeover then replays at most this much.
  uint32_t snapshotEveryMs = 60000;
  uint32_t outputRetentionMs = 10 * 60 * 1000;
  // Sessions of a node whose heartbeat is gone are left once it has been
  // gone this long; checked this often.
  uint32_t graceMs = 30000;
  uint32_t deadNodeCheckMs = 5000;
  // The deliveries of one input entry go out in parts of at most this many bytes.
  size_t maxPartBytes = size_t{256} << 10;
  ConferenceLogLimits log;
  RelayServerLimits relay;  // grantsFromOutside is forced on
};

class OwnerCore {
 public:
  // Milliseconds of a monotonic clock.
  using Clock = std::function<uint64_t()>;
  enum class Status {
    Ok,
    Fenced,  // another owner holds the lease: the state is dropped for good
    Failed,  // Redis or the log failed: the state is dropped; take over again
  };
  // Where an owner can die with work half done.
  enum class CrashPoint { BeforeEmit, BeforeSnapshotCommit };

  OwnerCore(RedisConnection& redis, std::string_view conference, std::string node,
            OwnerOptions options = {}, Clock clock = {});
  ~OwnerCore();
  OwnerCore(const OwnerCore&) = delete;
  OwnerCore& operator=(const OwnerCore&) = delete;

  // Takes the lease when nobody holds it.
  bool claim();
  // Carries on with a lease taken earlier (over another connection).
  void adopt(std::string token) { token_ = std::move(token); }
  const std::string& token() const { return token_; }

  // Loads the snapshot, or starts empty, and where the output stands; the
  // following steps replay from there.
  Status takeOver();
  // Applies what the input holds after the last entry applied (waiting up
  // to blockMs when nothing is there), emitting what was not emitted yet;
  // renews the lease, leaves the sessions of dead nodes and takes snapshots
  // when due.
  Status step(uint32_t blockMs);

  bool live() const { return server_ != nullptr; }
  const RelayServer* server() const { return server_.get(); }
  // The last input entry applied.
  const std::string& position() const { return position_; }

  // Asked before each emit (with the part's index) and each snapshot
  // commit; false makes the owner die there, as a killed process would.
  std::function<bool(CrashPoint, uint32_t part)> survive;

 private:
  struct Output {
    uint32_t to;
    uint32_t from;
    std::vector<uint8_t> message;
  };
  Status apply(const InputEntry& entry);
  Status emit(const std::string& source, std::vector<std::vector<uint8_t>>& parts);
  Status flush();
  Status snapshot();
  Status keepLease();
  Status leaveDeadSessions();
  Status drop(Status why);
  uint64_t now() const;

  ConferenceLog log_;
  std::string node_;
  OwnerOptions options_;
  Clock clock_;
  std::string token_;

  std::unique_ptr<RelayServer> server_;
  std::vector<Output> outputs_;      // of the entry being applied
  std::vector<OutputPart> pending_;  // applied, not yet emitted
  size_t pendingBytes_ = 0;
  std::string position_;
  // The last part emitted before this owner took over, as (source, part).
  std::string emittedSource_;
  uint32_t emittedPart_ = 0;
  SnapshotHeader snapshot_;  // n 0: none yet
  size_t bytesSinceSnapshot_ = 0;
  uint64_t lastSnapshot_ = 0;  // when taken, or when this owner took over
  uint64_t lastRenew_ = 0;
  uint64_t lastDeadCheck_ = 0;
  // Sessions seen on dead nodes: user to (epoch, first seen).
  std::map<uint32_t, std::pair<uint64_t, uint64_t>> orphans_;
};

}  // namespace scribly
