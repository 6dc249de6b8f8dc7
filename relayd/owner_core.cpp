#include "relayd/owner_core.h"

#include <algorithm>
#include <chrono>

#include "collab/message_header.h"
#include "relayd/output_entry.h"

namespace scribly {
namespace {

constexpr uint32_t kReadCount = 256;
// Output held back for one emit call at most; more goes out at once.
constexpr size_t kFlushBytes = size_t{4} << 20;
constexpr size_t kChunkBytes = size_t{1} << 20;
// What an input entry adds to the input besides its message: ids and fields.
constexpr size_t kEntryOverhead = 64;

uint64_t steadyMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

ConferenceLogLimits logLimits(const OwnerOptions& options) {
  ConferenceLogLimits limits = options.log;
  limits.outputRetentionMs = options.outputRetentionMs;
  return limits;
}

// Whether part `part` of `source` comes after (emittedSource, emittedPart).
bool after(const std::string& source, uint32_t part, const std::string& emittedSource,
           uint32_t emittedPart) {
  if (emittedSource.empty()) return true;
  const auto a = parseStreamId(source);
  const auto b = parseStreamId(emittedSource);
  if (!a || !b) return true;
  return *a != *b ? *a > *b : part > emittedPart;
}

}  // namespace

OwnerCore::OwnerCore(RedisConnection& redis, std::string_view conference, std::string node,
                     OwnerOptions options, Clock clock)
    : log_(redis, conference, logLimits(options)),
      node_(std::move(node)),
      options_(std::move(options)),
      clock_(clock ? std::move(clock) : Clock(steadyMs)) {
  options_.relay.grantsFromOutside = true;
}

OwnerCore::~OwnerCore() = default;

uint64_t OwnerCore::now() const { return clock_(); }

bool OwnerCore::claim() {
  const ClaimResult r = log_.claim(node_, options_.leaseMs);
  if (!std::holds_alternative<Claimed>(r)) return false;
  token_ = std::get<Claimed>(r).token;
  lastRenew_ = now();
  return true;
}

OwnerCore::Status OwnerCore::drop(Status why) {
  server_.reset();
  outputs_.clear();
  pending_.clear();
  pendingBytes_ = 0;
  if (why == Status::Fenced) token_.clear();
  return why;
}

OwnerCore::Status OwnerCore::takeOver() {
  server_.reset();
  if (token_.empty()) return Status::Fenced;
  auto server = std::make_unique<RelayServer>(
      [this](uint32_t to, std::span<const uint8_t> m) {
        // Acknowledgements were given by the edge as the message was appended.
        if (codeOf(m[0]) == toByte(MessageCode::kAcknowledgement)) return;
        outputs_.push_back({to, 0, {m.begin(), m.end()}});
      },
      options_.relay);
  server->setRelay([this](uint32_t from, std::span<const uint8_t> m) {
    outputs_.push_back({0, from, {m.begin(), m.end()}});
  });

  const auto header = log_.snapshotHeader();
  if (std::holds_alternative<Failed>(header)) return Status::Failed;
  snapshot_ = {};
  position_ = "0-0";
  if (const auto& h = std::get<std::optional<SnapshotHeader>>(header)) {
    const auto state = log_.readSnapshot(*h);
    if (std::holds_alternative<Failed>(state) ||
        !server->restoreState(std::get<std::vector<uint8_t>>(state))) {
      return Status::Failed;
    }
    snapshot_ = *h;
    position_ = h->inId;
  }
  const auto emitted = log_.outputPosition();
  if (std::holds_alternative<Failed>(emitted)) return Status::Failed;
  std::tie(emittedSource_, emittedPart_) = std::get<std::pair<std::string, uint32_t>>(emitted);
  bytesSinceSnapshot_ = 0;
  lastSnapshot_ = now();
  lastDeadCheck_ = now();
  orphans_.clear();
  server_ = std::move(server);
  return Status::Ok;
}

OwnerCore::Status OwnerCore::step(uint32_t blockMs) {
  if (!server_) return token_.empty() ? Status::Fenced : Status::Failed;
  if (const Status s = keepLease(); s != Status::Ok) return s;
  if (const Status s = leaveDeadSessions(); s != Status::Ok) return s;
  auto read = log_.readInput(position_, kReadCount, blockMs);
  if (std::holds_alternative<Failed>(read)) return drop(Status::Failed);
  for (const InputEntry& entry : std::get<std::vector<InputEntry>>(read)) {
    if (const Status s = apply(entry); s != Status::Ok) return s;
    if (const Status s = keepLease(); s != Status::Ok) return s;
  }
  return flush();
}

OwnerCore::Status OwnerCore::apply(const InputEntry& entry) {
  outputs_.clear();
  RelayServer& server = *server_;
  switch (entry.kind) {
    case InputEntry::Kind::Message:
      server.receive(entry.user, entry.message);
      break;
    case InputEntry::Kind::Join:
      // The newer session wins.
      server.disconnect(entry.user);
      // User 0 would address everyone: it gets no answer at all.
      if (!server.connect(entry.user) && entry.user != 0) {
        const std::string_view reason = server.participantCount() >= options_.relay.maxParticipants
                                            ? "conference full"
                                            : "refused";
        outputs_.push_back({entry.user, kRefusalSender, {reason.begin(), reason.end()}});
      }
      break;
    case InputEntry::Kind::Leave:
      server.disconnect(entry.user);
      break;
    case InputEntry::Kind::Grant:
      server.adoptGrant(entry.user, entry.start, entry.end);
      break;
    case InputEntry::Kind::Unknown:
      break;
  }
  position_ = entry.id;
  bytesSinceSnapshot_ += entry.message.size() + kEntryOverhead;

  std::vector<std::vector<uint8_t>> parts;
  for (const Output& o : outputs_) {
    // A delivery larger than a part goes alone.
    if (parts.empty() || parts.back().size() + 12 + o.message.size() > options_.maxPartBytes) {
      parts.emplace_back();
    }
    appendDelivery(parts.back(), o.to, o.from, o.message);
  }
  outputs_.clear();
  if (!parts.empty()) {
    if (const Status s = emit(entry.id, parts); s != Status::Ok) return s;
  }
  return snapshot();
}

// Parts wait in pending_ until the read's entries are all applied, and go
// out in one call: one round trip per read instead of one per part.
OwnerCore::Status OwnerCore::emit(const std::string& source,
                                  std::vector<std::vector<uint8_t>>& parts) {
  const auto n = static_cast<uint32_t>(parts.size());
  for (uint32_t p = 0; p < n; ++p) {
    // A previous owner emitted it before it died.
    if (!after(source, p, emittedSource_, emittedPart_)) continue;
    if (survive && !survive(CrashPoint::BeforeEmit, p)) {
      // What came before this part was written; the rest dies with the owner.
      flush();
      return drop(Status::Failed);
    }
    pendingBytes_ += parts[p].size();
    pending_.push_back(OutputPart{source, p, n, std::move(parts[p])});
  }
  return pendingBytes_ >= kFlushBytes ? flush() : Status::Ok;
}

OwnerCore::Status OwnerCore::flush() {
  if (pending_.empty()) return Status::Ok;
  const EmitResult r = log_.emit(token_, pending_);
  pending_.clear();
  pendingBytes_ = 0;
  if (std::holds_alternative<Fenced>(r)) return drop(Status::Fenced);
  if (std::holds_alternative<Failed>(r)) return drop(Status::Failed);
  return Status::Ok;
}

// Between two input entries, once the input since the last snapshot
// outweighs it or it is old: the chunks first, then the commit that makes them the
// snapshot and trims the input it covers.
OwnerCore::Status OwnerCore::snapshot() {
  const bool large =
      bytesSinceSnapshot_ > std::max<uint64_t>(options_.snapshotAfterBytes, snapshot_.size);
  const bool old = bytesSinceSnapshot_ > 0 && now() - lastSnapshot_ >= options_.snapshotEveryMs;
  if (!large && !old) return Status::Ok;
  // A takeover from the snapshot replays nothing before it: its output must
  // be in the log first.
  if (const Status s = flush(); s != Status::Ok) return s;
  const std::vector<uint8_t> state = server_->saveState();
  const SnapshotHeader next{snapshot_.n + 1, position_, state.size()};
  for (size_t at = 0; at == 0 || at < state.size(); at += kChunkBytes) {
    const size_t length = std::min(kChunkBytes, state.size() - at);
    const FencedStep r =
        log_.writeSnapshotChunk(token_, next.n, at == 0, std::span(state).subspan(at, length));
    if (std::holds_alternative<Fenced>(r)) return drop(Status::Fenced);
    if (std::holds_alternative<Failed>(r)) return drop(Status::Failed);
    if (const Status s = keepLease(); s != Status::Ok) return s;
  }
  if (survive && !survive(CrashPoint::BeforeSnapshotCommit, 0)) return drop(Status::Failed);
  const FencedStep r = log_.commitSnapshot(token_, next, snapshot_.n);
  if (std::holds_alternative<Fenced>(r)) return drop(Status::Fenced);
  if (std::holds_alternative<Failed>(r)) return drop(Status::Failed);
  snapshot_ = next;
  bytesSinceSnapshot_ = 0;
  lastSnapshot_ = now();
  return Status::Ok;
}

OwnerCore::Status OwnerCore::keepLease() {
  if (now() - lastRenew_ < options_.renewMs) return Status::Ok;
  const RenewResult r = log_.renew(token_, options_.leaseMs);
  if (std::holds_alternative<Fenced>(r)) return drop(Status::Fenced);
  if (std::holds_alternative<Failed>(r)) return drop(Status::Failed);
  lastRenew_ = now();
  return Status::Ok;
}

// A node that died took its sessions' links along and will never leave
// them: the owner does, once the node's heartbeat has been gone for the
// grace period. A session that resumed meanwhile has a new epoch, so its
// leave is fenced.
OwnerCore::Status OwnerCore::leaveDeadSessions() {
  const uint64_t t = now();
  if (t - lastDeadCheck_ < options_.deadNodeCheckMs) return Status::Ok;
  lastDeadCheck_ = t;
  const auto sessions = log_.sessions();
  if (std::holds_alternative<Failed>(sessions)) return drop(Status::Failed);
  std::map<std::string, bool> alive;
  std::map<uint32_t, std::pair<uint64_t, uint64_t>> orphans;
  for (const SessionInfo& s : std::get<std::vector<SessionInfo>>(sessions)) {
    auto known = alive.find(s.node);
    if (known == alive.end()) {
      const auto a = log_.nodeAlive(s.node);
      if (std::holds_alternative<Failed>(a)) return drop(Status::Failed);
      known = alive.emplace(s.node, std::get<bool>(a)).first;
    }
    if (known->second) continue;
    const auto seen = orphans_.find(s.user);
    const uint64_t since =
        seen != orphans_.end() && seen->second.first == s.epoch ? seen->second.second : t;
    if (t - since >= options_.graceMs) {
      const LeaveResult r = log_.leave(s.user, s.epoch);
      if (std::holds_alternative<Failed>(r)) return drop(Status::Failed);
      if (!std::holds_alternative<Refused>(r)) continue;  // retried at the next check
    }
    orphans[s.user] = {s.epoch, since};
  }
  orphans_ = std::move(orphans);
  return Status::Ok;
}

}  // namespace scribly
