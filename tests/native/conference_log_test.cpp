#include "relayd/conference_log.h"

#include "relayd/output_entry.h"
#include "tests/native/redis_test_support.h"

namespace scribly {
namespace {

constexpr uint32_t kAnn = 11;
constexpr uint32_t kBob = 12;

class ConferenceLogTest : public RedisTest {
 protected:
  ConferenceLog log(ConferenceLogLimits limits = {}) { return ConferenceLog(*redis, "c1", limits); }

  uint64_t joinFresh(ConferenceLog& c, uint32_t user) {
    return got<Joined>(c.join(user, "n1", "h", false)).epoch;
  }
  std::string claimToken(ConferenceLog& c) { return got<Claimed>(c.claim("n1", 6000)).token; }

  // Field i of one entry of a stream, as stored.
  std::string entryField(const std::string& key, const std::string& id, int i) {
    const auto f = redis->call(
        {"EVAL",
         "return redis.call('XRANGE', KEYS[1], ARGV[1], ARGV[1])[1][2][" + std::to_string(i) + "]",
         "1", key, id});
    return f.ok ? f.values[0] : "(" + f.error + ")";
  }
};

const std::vector<uint8_t> kMessage{0x84, 0x00, 0x01, 0xFF};

TEST_F(ConferenceLogTest, AppendTakesEachSeqOnceAndInOrder) {
  ConferenceLog c = log();
  const uint64_t epoch = joinFresh(c, kAnn);
  const Appended first = got<Appended>(c.append(kAnn, epoch, 1, kMessage));
  EXPECT_FALSE(first.ownerExists);
  // The message is stored byte for byte, zero byte included.
  EXPECT_EQ(entryField("conf:{c1}:in", first.id, 6), std::string(kMessage.begin(), kMessage.end()));

  // (seq, index of the answer in AppendResult): Dup, Gap, Dup, Appended, Dup.
  for (auto [seq, answer] : {std::pair<uint64_t, size_t>{1, 1}, {3, 3}, {0, 1}, {2, 0}, {2, 1}}) {
    EXPECT_EQ(c.append(kAnn, epoch, seq, kMessage).index(), answer) << "seq " << seq;
  }
  EXPECT_EQ(std::get<Gap>(c.append(kAnn, epoch, 5, kMessage)).lastSeq, 2u);
}

TEST_F(ConferenceLogTest, NewerSessionFencesTheOlderAndResumeKeepsItsPlace) {
  ConferenceLog c = log();
  const uint64_t old = joinFresh(c, kAnn);
  ASSERT_TRUE(std::holds_alternative<Appended>(c.append(kAnn, old, 1, kMessage)));
  const Joined r = got<Joined>(c.join(kAnn, "n2", "h", true));
  EXPECT_EQ(r.lastSeq, 1u);
  EXPECT_TRUE(r.id.empty());  // the owner never saw the user leave
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.append(kAnn, old, 2, kMessage)));
  EXPECT_TRUE(std::holds_alternative<Appended>(c.append(kAnn, r.epoch, 2, kMessage)));
  EXPECT_TRUE(std::holds_alternative<Refused>(c.join(kAnn, "n3", "wrong", true)));
  EXPECT_TRUE(std::holds_alternative<Refused>(c.join(kBob, "n3", "h", true)));

  const uint64_t fresh = joinFresh(c, kAnn);  // a rejoin from scratch starts at seq 1
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.append(kAnn, r.epoch, 3, kMessage)));
  EXPECT_TRUE(std::holds_alternative<Appended>(c.append(kAnn, fresh, 1, kMessage)));
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.leave(kAnn, r.epoch)));
  EXPECT_TRUE(std::holds_alternative<Written>(c.leave(kAnn, fresh)));
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.append(kAnn, fresh, 2, kMessage)));
}

TEST_F(ConferenceLogTest, GrantedRangesAreDisjointAndOutliveTheLease) {
  ConferenceLog c = log();
  const uint64_t ann = joinFresh(c, kAnn);
  const uint64_t bob = joinFresh(c, kBob);
  claimToken(c);
  const Granted a = got<Granted>(c.grant(kAnn, ann, 1));
  const Granted b = got<Granted>(c.grant(kBob, bob, 1));
  EXPECT_EQ(std::pair(a.start, a.end), std::pair(0x10000u, 0x11000u));
  EXPECT_EQ(b.start, 0x11000u);
  EXPECT_TRUE(std::holds_alternative<Dup>(c.grant(kAnn, ann, 1)));
  EXPECT_EQ(entryField("conf:{c1}:in", b.id, 8), std::to_string(0x12000));

  // The lease runs out and another node takes over with a fresh connection.
  ASSERT_TRUE(redis->call({"DEL", "conf:{c1}:owner"}).ok);
  std::string error;
  auto other = RedisConnection::open("127.0.0.1", port_, &error);
  ASSERT_TRUE(other) << error;
  ConferenceLog next(*other, "c1");
  claimToken(next);
  EXPECT_EQ(got<Granted>(next.grant(kAnn, ann, 2)).start, 0x12000u);
}

TEST_F(ConferenceLogTest, GrantsStopAtTheAllowanceAndTheLastId) {
  // Two grants of 4096 fit exactly below 0x12000: the third is refused either way.
  for (const auto& [maxGrants, lastId, reason] :
       {std::tuple<uint32_t, uint32_t, std::string>{2, 0x7FFFFFFF, "allowance used up"},
        {100, 0x11FFF, "ids used up"}}) {
    ASSERT_TRUE(redis->call({"FLUSHALL"}).ok);
    ConferenceLog c = log({.maxGrantsPerUser = maxGrants, .lastGrantedId = lastId});
    const uint64_t ann = joinFresh(c, kAnn);
    EXPECT_TRUE(std::holds_alternative<Granted>(c.grant(kAnn, ann, 1))) << reason;
    EXPECT_TRUE(std::holds_alternative<Granted>(c.grant(kAnn, ann, 2))) << reason;
    EXPECT_EQ(got<NoRange>(c.grant(kAnn, ann, 3)).reason, reason);
    // The refused request used up its seq all the same.
    EXPECT_TRUE(std::holds_alternative<Dup>(c.grant(kAnn, ann, 3))) << reason;
    EXPECT_TRUE(std::holds_alternative<Appended>(c.append(kAnn, ann, 4, kMessage))) << reason;
  }
  EXPECT_TRUE(std::holds_alternative<Failed>(
      ConferenceLog(*redis, "c1", {.lastGrantedId = 0x80000000}).grant(kAnn, 1, 1)));
}

TEST_F(ConferenceLogTest, OnlyTheHolderRenewsAndEmits) {
  ConferenceLog c = log();
  const std::string token = claimToken(c);
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.claim("n2", 6000)));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(c.renew(token, 6000)));
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.renew("n2:" + token.substr(3), 6000)));

  // (source, part, index of the answer in EmitResult): a retried part, and
  // anything at or before the last part written, is Dup.
  for (auto [source, part, answer] : {std::tuple<const char*, uint32_t, size_t>{"5-0", 0, 0},
                                      {"5-0", 0, 1},
                                      {"5-0", 1, 0},
                                      {"4-9", 1, 1},
                                      {"5-0", 1, 1},
                                      {"5-1", 0, 0}}) {
    EXPECT_EQ(c.emit(token, source, part, 2, kMessage).index(), answer) << source << " " << part;
  }
  // A retried batch writes only what follows the last part written, in order.
  const std::vector<OutputPart> batch{
      {"5-1", 0, 2, kMessage}, {"5-1", 1, 2, kMessage}, {"7-0", 0, 1, kMessage}};
  EXPECT_TRUE(std::holds_alternative<Written>(c.emit(token, batch)));
  EXPECT_TRUE(std::holds_alternative<Dup>(c.emit(token, batch)));
  EXPECT_EQ(value({"XLEN", "conf:{c1}:out"}), "5");
  ASSERT_TRUE(redis->call({"DEL", "conf:{c1}:owner"}).ok);
  EXPECT_NE(claimToken(c), token);
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.emit(token, "6-0", 0, 1, kMessage)));
}

TEST_F(ConferenceLogTest, FullLogRefusesEveryWriteButAnswersRetries) {
  ConferenceLog c = log({.maxInputEntries = 3});
  const uint64_t ann = joinFresh(c, kAnn);
  ASSERT_TRUE(std::holds_alternative<Appended>(c.append(kAnn, ann, 1, kMessage)));
  ASSERT_TRUE(std::holds_alternative<Appended>(c.append(kAnn, ann, 2, kMessage)));
  EXPECT_TRUE(std::holds_alternative<Refused>(c.append(kAnn, ann, 3, kMessage)));
  EXPECT_TRUE(std::holds_alternative<Refused>(c.grant(kAnn, ann, 3)));
  EXPECT_TRUE(std::holds_alternative<Refused>(c.join(kBob, "n1", "h", false)));
  EXPECT_TRUE(std::holds_alternative<Refused>(c.leave(kAnn, ann)));
  EXPECT_TRUE(std::holds_alternative<Dup>(c.append(kAnn, ann, 2, kMessage)));
}

TEST_F(ConferenceLogTest, OutputKeepsRoughlyItsCapAndItsRetention) {
  // "~" trims whole stream nodes only (of about 100 entries); a retention
  // of 0 keeps the newest node and whatever shares the current millisecond.
  for (const auto& [cap, retentionMs, atLeast, atMost] :
       {std::tuple<uint64_t, uint32_t, int, int>{10, 3600000, 10, 250},
        {1000, 3600000, 500, 500},
        {1000, 0, 1, 250}}) {
    ASSERT_TRUE(redis->call({"FLUSHALL"}).ok);
    ConferenceLog c = log({.maxOutputEntries = cap, .outputRetentionMs = retentionMs});
    const std::string token = claimToken(c);
    for (int i = 1; i <= 500; ++i) {
      ASSERT_TRUE(
          std::holds_alternative<Written>(c.emit(token, std::to_string(i) + "-0", 0, 1, kMessage)));
    }
    const int length = std::atoi(value({"XLEN", "conf:{c1}:out"}).c_str());
    EXPECT_GE(length, atLeast) << cap << " " << retentionMs;
    EXPECT_LE(length, atMost) << cap << " " << retentionMs;
  }
}

TEST_F(ConferenceLogTest, SnapshotsCommitUnderTheLeaseAndTrimTheInput) {
  ConferenceLog c = log();
  const uint64_t ann = joinFresh(c, kAnn);
  std::vector<std::string> ids;
  for (uint64_t seq = 1; seq <= 4; ++seq)
    ids.push_back(got<Appended>(c.append(kAnn, ann, seq, kMessage)).id);
  std::string token = claimToken(c);
  auto chunk = [&](uint64_t n, bool first, std::string_view bytes) {
    return c
        .writeSnapshotChunk(token, n, first,
                            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
        .index();
  };
  auto header = [&] { return std::get<std::optional<SnapshotHeader>>(c.snapshotHeader()); };
  auto contents = [&](const SnapshotHeader& h) {
    const auto r = c.readSnapshot(h);
    if (!std::holds_alternative<std::vector<uint8_t>>(r)) return std::string("(failed)");
    const auto& v = std::get<std::vector<uint8_t>>(r);
    return std::string(v.begin(), v.end());
  };
  EXPECT_FALSE(header());
  // Leftovers of a writer that died are dropped by the first chunk.
  ASSERT_EQ(chunk(1, true, "zz"), 0u);
  ASSERT_EQ(chunk(1, true, "abc"), 0u);
  ASSERT_EQ(chunk(1, false, "de"), 0u);
  const SnapshotHeader one{1, ids[1], 5};
  EXPECT_TRUE(
      std::holds_alternative<Fenced>(c.commitSnapshot(token, one, 3)));  // not the header it saw
  ASSERT_TRUE(std::holds_alternative<std::monostate>(c.commitSnapshot(token, one, 0)));
  ASSERT_TRUE(header());
  EXPECT_EQ(std::tuple(header()->n, header()->inId, header()->size), std::tuple(1u, ids[1], 5u));
  EXPECT_EQ(contents(*header()), "abcde");
  EXPECT_EQ(contents({1, ids[1], 4}), "(failed)");  // a size that does not match is damage
  // The input before the snapshot's entry is gone.
  const auto rest = std::get<std::vector<InputEntry>>(c.readInput("0-0", 10, 0));
  ASSERT_EQ(rest.size(), 3u);
  EXPECT_EQ(rest[0].id, ids[1]);

  ASSERT_EQ(chunk(2, true, "xy"), 0u);
  ASSERT_TRUE(std::holds_alternative<std::monostate>(c.commitSnapshot(token, {2, ids[3], 2}, 1)));
  EXPECT_EQ(contents(*header()), "xy");
  EXPECT_EQ(value({"EXISTS", "conf:{c1}:snap:1"}), "0");

  // A holder whose lease passed can neither write nor commit.
  ASSERT_TRUE(redis->call({"DEL", "conf:{c1}:owner"}).ok);
  const std::string old = std::exchange(token, claimToken(c));
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.writeSnapshotChunk(old, 3, true, kMessage)));
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.commitSnapshot(old, {3, ids[3], 2}, 2)));
  EXPECT_EQ(header()->n, 2u);
}

TEST_F(ConferenceLogTest, HostileNamesAndRepliesAreFailures) {
  // A conference name can never reach into another conference's keys.
  for (const std::string& name :
       std::vector<std::string>{"", "a}:x{b", "a:b", "a b", std::string(65, 'a')}) {
    EXPECT_TRUE(std::holds_alternative<Failed>(ConferenceLog(*redis, name).claim("n1", 6000)));
  }
  EXPECT_TRUE(ConferenceLog(*redis, std::string(64, 'a')).valid());
  EXPECT_FALSE(redis->call({"FUNCTION", "LIST"}).ok);       // nested arrays
  EXPECT_FALSE(redis->call({"GET", "conf:{c1}:none"}).ok);  // nil
  // A stored value that is not ours: never taken for a session or a position.
  ConferenceLog c = log();
  ASSERT_TRUE(redis->call({"HSET", "conf:{c1}:sess", "11", "x:y"}).ok);
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.append(kAnn, 1, 1, kMessage)));
  const std::string token = claimToken(c);
  ASSERT_TRUE(redis->call({"SET", "conf:{c1}:outpos", "junk"}).ok);
  EXPECT_TRUE(std::holds_alternative<Failed>(c.emit(token, "5-0", 0, 1, kMessage)));
}

// What an owner writes an edge must read back exactly, and a damaged entry
// must give nothing rather than a part of it.
TEST(OutputEntry, DeliveriesRoundTripAndDamageGivesNothing) {
  std::vector<uint8_t> bytes;
  appendDelivery(bytes, 0, kAnn, kMessage);
  appendDelivery(bytes, kBob, kAnn, std::vector<uint8_t>(32768, 7));
  std::vector<Delivery> got;
  ASSERT_TRUE(decodeDeliveries(bytes, got));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (Delivery{0, kAnn, kMessage}));
  EXPECT_EQ(got[1].to, kBob);
  EXPECT_EQ(got[1].message.size(), 32768u);
  for (size_t cut = 1; cut < 12 + kMessage.size(); ++cut) {
    EXPECT_FALSE(decodeDeliveries(std::span(bytes).first(bytes.size() - cut), got)) << cut;
    EXPECT_TRUE(got.empty());
  }
  std::vector<uint8_t> empty, tooLong;
  appendDelivery(empty, 0, kAnn, {});
  appendDelivery(tooLong, 0, kAnn, std::vector<uint8_t>(32769, 7));
  EXPECT_FALSE(decodeDeliveries(empty, got));
  EXPECT_FALSE(decodeDeliveries(tooLong, got));
}

}  // namespace
}  // namespace scribly
