// The owner of a conference against a real redis-server: whatever becomes of
// owners on the way, the output log holds exactly what one in-process server
// delivers for the same input, each part once.
#include <chrono>
#include <set>
#include <thread>

#include "board_test_support.h"
#include "relayd/output_entry.h"
#include "relayd/owner_core.h"
#include "relayd/owner_role.h"
#include "tests/native/redis_test_support.h"

namespace scribly::testing {
namespace {

class OwnerTest : public RedisTest {
 protected:
  void SetUp() override {
    RedisTest::SetUp();
    if (!redis) return;
    ASSERT_TRUE(redis->call({"SET", "node:n1", "1"}).ok);
  }
  ConferenceLog log() { return ConferenceLog(*redis, "c1", {.grantSize = 64}); }
  std::unique_ptr<OwnerCore> owner(OwnerOptions options = {}) {
    options.log.grantSize = 64;
    return std::make_unique<OwnerCore>(*redis, "c1", "n1", options, [this] { return now; });
  }
  // Steps until the owner has applied the entry `last` or stops.
  static OwnerCore::Status catchUp(OwnerCore& core, const std::string& last) {
    for (int i = 0; i < 1000 && core.position() != last; ++i) {
      if (const auto s = core.step(0); s != OwnerCore::Status::Ok) return s;
    }
    return core.position() == last ? OwnerCore::Status::Ok : OwnerCore::Status::Failed;
  }
  static OwnerCore::Status takeOver(OwnerCore& core, const std::string& last) {
    if (!core.claim()) return OwnerCore::Status::Fenced;
    const auto s = core.takeOver();
    return s == OwnerCore::Status::Ok ? catchUp(core, last) : s;
  }
  // The lease runs out.
  void expire() { ASSERT_TRUE(redis->call({"DEL", "conf:{c1}:owner"}).ok); }

  // Appends the inputs as edges would: a join, a range request as a grant,
  // anything else as a message. Answers each one's entry id.
  std::vector<std::string> append(std::span<const Input> inputs) {
    ConferenceLog c = log();
    std::vector<std::string> ids;
    for (const Input& in : inputs) {
      auto& [epoch, seq] = sessions_[in.from];
      if (in.bytes.empty()) {
        const Joined j = got<Joined>(c.join(in.from, "n1", "h", false));
        epoch = j.epoch;
        seq = 0;
        ids.push_back(j.id);
      } else if (codeOf(in.bytes[0]) == toByte(MessageCode::kIdRange)) {
        ids.push_back(got<Granted>(c.grant(in.from, epoch, ++seq)).id);
      } else {
        ids.push_back(got<Appended>(c.append(in.from, epoch, ++seq, in.bytes)).id);
      }
    }
    return ids;
  }

  // The output log as the deliveries of each input, relays to everyone
  // spelled out for the participants there at the time; every part must be
  // there once and in order.
  std::vector<std::vector<Output>> emitted(std::span<const Input> inputs,
                                           std::span<const std::string> ids) {
    std::vector<OutputEntry> entries;
    for (std::string after = "0-0";;) {
      auto read = std::get<std::vector<OutputEntry>>(log().readOutput(after, 500));
      if (read.empty()) break;
      after = read.back().id;
      entries.insert(entries.end(), read.begin(), read.end());
    }
    std::vector<std::vector<Output>> out(inputs.size());
    std::set<uint32_t> present;
    auto entry = entries.begin();
    for (size_t i = 0; i < inputs.size(); ++i) {
      for (uint32_t part = 0; entry != entries.end() && entry->source == ids[i]; ++part, ++entry) {
        EXPECT_EQ(entry->part, part) << "input " << i;
        std::vector<Delivery> deliveries;
        EXPECT_TRUE(decodeDeliveries(entry->deliveries, deliveries));
        for (const Delivery& d : deliveries) {
          for (uint32_t to : d.to ? std::set{d.to} : present) {
            if (to != d.from) out[i].push_back({to, d.message});
          }
        }
      }
      if (inputs[i].bytes.empty()) present.insert(inputs[i].from);
    }
    EXPECT_TRUE(entry == entries.end()) << "output of no input, or out of order";
    return out;
  }

  uint64_t now = 0;

 private:
  std::map<uint32_t, std::pair<uint64_t, uint64_t>> sessions_;  // epoch, last seq
};

// What the in-process server delivers for each input, acknowledgements
// left out (the edge gives them).
std::vector<std::vector<Output>> delivered(std::span<const Input> inputs, Recorder& r) {
  std::vector<std::vector<Output>> out;
  for (const Input& in : inputs) {
    const size_t before = r.out.size();
    r.play(std::span(&in, 1));
    out.emplace_back();
    for (size_t k = before; k < r.out.size(); ++k) {
      if (codeOf(r.out[k].bytes[0]) != toByte(MessageCode::kAcknowledgement))
        out.back().push_back(r.out[k]);
    }
  }
  return out;
}

enum class Fault { None, KilledBetweenParts, SnapshotNotCommitted, PausedPastLease };

TEST_F(OwnerTest, OutputIsTheInProcessServersWhateverBecomesOfOwners) {
  const std::vector<Input> inputs = recordedConference(3, 160);
  Recorder reference;
  const auto expected = delivered(inputs, reference);
  // Small parts and frequent snapshots, so that both happen all along.
  OwnerOptions options;
  options.leaseMs = 60000;  // leases end only where the test says
  options.snapshotAfterBytes = 40000;
  options.maxPartBytes = 100;
  for (const Fault fault : {Fault::None, Fault::KilledBetweenParts, Fault::SnapshotNotCommitted,
                            Fault::PausedPastLease}) {
    SCOPED_TRACE(static_cast<int>(fault));
    ASSERT_TRUE(redis->call({"FLUSHALL"}).ok && redis->call({"SET", "node:n1", "1"}).ok);
    // The rest holds the joiner's catch-up, whose answers take parts.
    const size_t half = inputs.size() / 4;
    std::vector<std::string> ids = append(std::span(inputs).first(half));
    auto first = owner(options);
    ASSERT_EQ(takeOver(*first, ids.back()), OwnerCore::Status::Ok);
    const auto more = append(std::span(inputs).subspan(half));
    ids.insert(ids.end(), more.begin(), more.end());
    int lives = 2;
    if (fault == Fault::KilledBetweenParts) {
      first->survive = [](OwnerCore::CrashPoint, uint32_t part) { return part != 1; };
    } else if (fault == Fault::SnapshotNotCommitted) {
      first->survive = [&](OwnerCore::CrashPoint at, uint32_t) {
        return at != OwnerCore::CrashPoint::BeforeSnapshotCommit || --lives;
      };
    }
    if (fault == Fault::PausedPastLease) {
      expire();
      auto second = owner(options);
      ASSERT_EQ(takeOver(*second, ids.back()), OwnerCore::Status::Ok);
      // The paused owner wakes up: its first emit finds the lease gone.
      EXPECT_EQ(catchUp(*first, ids.back()), OwnerCore::Status::Fenced);
      EXPECT_FALSE(first->live());
    } else if (fault != Fault::None) {
      ASSERT_EQ(catchUp(*first, ids.back()), OwnerCore::Status::Failed);
      first.reset();
      if (fault == Fault::SnapshotNotCommitted) {
        const auto header = std::get<std::optional<SnapshotHeader>>(log().snapshotHeader());
        ASSERT_TRUE(header);
        const std::string chunks = "conf:{c1}:snap:" + std::to_string(header->n + 1);
        ASSERT_GT(std::stoi(value({"LLEN", chunks})), 0);
      }
      expire();
      auto second = owner(options);
      ASSERT_EQ(takeOver(*second, ids.back()), OwnerCore::Status::Ok);
    } else {
      ASSERT_EQ(catchUp(*first, ids.back()), OwnerCore::Status::Ok);
    }
    EXPECT_TRUE(emitted(inputs, ids) == expected);
    EXPECT_LT(std::stoul(value({"XLEN", "conf:{c1}:in"})), inputs.size() / 2)
        << "snapshots trim the input";

    // A cold rebuild from the snapshot and what is left of the input ends
    // where the server that saw everything did.
    expire();
    auto third = owner(options);
    ASSERT_EQ(takeOver(*third, ids.back()), OwnerCore::Status::Ok);
    EXPECT_EQ(third->server()->saveState(), reference.server.saveState());
  }
}

TEST_F(OwnerTest, JoinsRefusalsAndTheSessionsOfDeadNodes) {
  constexpr uint32_t kAnn = 11, kBob = 12, kCid = 13, kDan = 14;
  ConferenceLog c = log();
  OwnerOptions options;
  options.graceMs = 1000;
  options.deadNodeCheckMs = 100;
  options.relay.maxParticipants = 3;
  auto core = owner(options);
  ASSERT_TRUE(core->claim());
  ASSERT_EQ(core->takeOver(), OwnerCore::Status::Ok);
  // Bob and Dan are on a node whose heartbeat is gone; Ann joins twice.
  got<Joined>(c.join(kAnn, "n1", "h", false));
  got<Joined>(c.join(kBob, "n2", "h", false));
  got<Joined>(c.join(kDan, "n2", "h", false));
  got<Joined>(c.join(kAnn, "n1", "h", false));
  got<Joined>(c.join(0, "n1", "h", false));  // a refusal to 0 would reach everyone
  const std::string refused = got<Joined>(c.join(kCid, "n1", "h", false)).id;
  ASSERT_EQ(core->step(0), OwnerCore::Status::Ok);
  ASSERT_EQ(core->server()->participantCount(), 3u);

  const auto out = std::get<std::vector<OutputEntry>>(c.readOutput("0-0", 10));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].source, refused);
  std::vector<Delivery> d;
  ASSERT_TRUE(decodeDeliveries(out[0].deliveries, d));
  const std::string reason = "conference full";
  EXPECT_EQ(d, (std::vector<Delivery>{{kCid, kRefusalSender, {reason.begin(), reason.end()}}}));

  // Bob resumes on a live node within the grace period; Dan never comes back.
  for (uint64_t t : {100, 600, 1099, 1150}) {
    now = t;
    if (t == 600) got<Joined>(c.join(kBob, "n1", "h", true));
    ASSERT_EQ(core->step(0), OwnerCore::Status::Ok);
    EXPECT_TRUE(core->server()->connected(kDan)) << t;
  }
  now = 1200;
  ASSERT_EQ(core->step(0), OwnerCore::Status::Ok);  // leaves Dan
  ASSERT_EQ(core->step(0), OwnerCore::Status::Ok);  // applies the leave
  EXPECT_FALSE(core->server()->connected(kDan));
  EXPECT_TRUE(core->server()->connected(kBob));
  EXPECT_TRUE(core->server()->connected(kAnn));
}

TEST_F(OwnerTest, AQuietConferenceIsSnapshottedOnceAMinuteOnlyWhileItHasInput) {
  ConferenceLog c = log();
  auto core = owner();
  ASSERT_TRUE(core->claim());
  ASSERT_EQ(core->takeOver(), OwnerCore::Status::Ok);
  auto snapshots = [&] {
    const auto h = std::get<std::optional<SnapshotHeader>>(log().snapshotHeader());
    return h ? h->n : 0u;
  };
  // (time, whether an entry arrives, snapshots then)
  for (const auto& [t, input, expected] : {std::tuple{1000u, true, 0u},
                                           {59999u, true, 0u},
                                           {60000u, true, 1u},
                                           {130000u, false, 1u},
                                           {130001u, true, 2u},
                                           {150000u, true, 2u}}) {
    now = t;
    if (input) got<Joined>(c.join(11, "n1", "h", false));
    ASSERT_EQ(core->step(0), OwnerCore::Status::Ok);
    EXPECT_EQ(snapshots(), expected) << t;
  }
}

TEST_F(OwnerTest, TheRoleOwnsWhatNobodyHoldsAndKeepsItUntilDestroyed) {
  constexpr uint32_t kAnn = 11, kBob = 12;
  OwnerOptions options;
  options.leaseMs = 1000;
  options.renewMs = 100;
  auto first = std::make_unique<OwnerRole>("127.0.0.1", port_, "n1", options);
  OwnerRole second("127.0.0.1", port_, "n2", options);
  first->ensure("c1");
  ASSERT_TRUE(eventually([&] { return first->owns("c1"); }));
  // Well past its lease, which the owner keeps renewing.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  second.ensure("c1");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(first->owns("c1"));
  EXPECT_FALSE(second.owns("c1"));

  ConferenceLog c = log();
  got<Joined>(c.join(kAnn, "n1", "h", false));
  const uint64_t bob = got<Joined>(c.join(kBob, "n1", "h", false)).epoch;
  const Bytes scroll = build(Scroll{1, 5});
  const std::string source = got<Appended>(c.append(kBob, bob, 1, scroll)).id;
  std::vector<OutputEntry> out;
  ASSERT_TRUE(eventually([&] {
    out = std::get<std::vector<OutputEntry>>(c.readOutput("0-0", 10));
    return !out.empty();
  }));
  EXPECT_EQ(out[0].source, source);
  std::vector<Delivery> d;
  ASSERT_TRUE(decodeDeliveries(out[0].deliveries, d));
  EXPECT_EQ(d, (std::vector<Delivery>{{0, kBob, scroll}}));

  // Once its node is gone and the lease ran out, another node takes over.
  first.reset();
  ASSERT_TRUE(eventually([&] {
    second.ensure("c1");
    return second.owns("c1");
  }));
}

}  // namespace
}  // namespace scribly::testing
