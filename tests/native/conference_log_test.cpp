#include "relayd/conference_log.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace scribly {
namespace {

constexpr uint32_t kAnn = 11;
constexpr uint32_t kBob = 12;

// A free loopback port: the kernel picks one for a socket bound to port 0.
int freePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  close(s);
  return port;
}

// One redis-server for the suite, on its own port, stopped by its pid.
class ConferenceLogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    port_ = freePort();
    const std::string port = std::to_string(port_);
    const char* argv[] = {"redis-server", "--port",    port.c_str(), "--save",    "",
                          "--appendonly", "no",        "--bind",     "127.0.0.1", "--loglevel",
                          "warning",      "--logfile", "/dev/null",  nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    if (port_ == 0 || posix_spawnp(&pid_, "redis-server", &quiet, nullptr, const_cast<char**>(argv),
                                   environ) != 0) {
      pid_ = 0;
    }
    posix_spawn_file_actions_destroy(&quiet);
  }
  static void TearDownTestSuite() {
    if (pid_ == 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

  void SetUp() override {
    if (pid_ == 0) GTEST_SKIP() << "redis-server is not installed (scripts/setup installs it)";
    std::string error;
    for (int i = 0; i < 100 && !redis; ++i) {
      redis = RedisConnection::open("127.0.0.1", port_, &error);
      if (!redis) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(redis) << error;
    ASSERT_TRUE(redis->call({"FLUSHALL"}).ok);
  }

  ConferenceLog log(ConferenceLogLimits limits = {}) { return ConferenceLog(*redis, "c1", limits); }

  uint64_t joinFresh(ConferenceLog& c, uint32_t user) {
    const auto j = c.join(user, "n1", "h", false);
    EXPECT_TRUE(std::holds_alternative<Joined>(j));
    return std::holds_alternative<Joined>(j) ? std::get<Joined>(j).epoch : 0;
  }

  std::string claimToken(ConferenceLog& c, const char* node = "n1") {
    const auto claimed = c.claim(node, 6000);
    EXPECT_TRUE(std::holds_alternative<Claimed>(claimed));
    return std::holds_alternative<Claimed>(claimed) ? std::get<Claimed>(claimed).token : "";
  }

  // Field i of one entry of a stream, as stored.
  std::string entryField(const std::string& key, const std::string& id, int i) {
    const auto f = redis->call(
        {"EVAL",
         "return redis.call('XRANGE', KEYS[1], ARGV[1], ARGV[1])[1][2][" + std::to_string(i) + "]",
         "1", key, id});
    return f.ok ? f.values[0] : "(" + f.error + ")";
  }

  static inline pid_t pid_ = 0;
  static inline int port_ = 0;
  std::unique_ptr<RedisConnection> redis;
};

const std::vector<uint8_t> kMessage{0x84, 0x00, 0x01, 0xFF};

TEST_F(ConferenceLogTest, AppendTakesEachSeqOnceAndInOrder) {
  ConferenceLog c = log();
  const uint64_t epoch = joinFresh(c, kAnn);
  const auto first = c.append(kAnn, epoch, 1, kMessage);
  ASSERT_TRUE(std::holds_alternative<Appended>(first));
  EXPECT_FALSE(std::get<Appended>(first).ownerExists);
  // The message is stored byte for byte, zero byte included.
  EXPECT_EQ(entryField("conf:{c1}:in", std::get<Appended>(first).id, 6),
            std::string(kMessage.begin(), kMessage.end()));

  struct Case {
    uint64_t seq;
    size_t answer;  // index into AppendResult
  };
  for (const Case& k : {Case{1, 1}, Case{3, 3}, Case{0, 1}, Case{2, 0}, Case{2, 1}}) {
    EXPECT_EQ(c.append(kAnn, epoch, k.seq, kMessage).index(), k.answer) << "seq " << k.seq;
  }
  EXPECT_EQ(std::get<Gap>(c.append(kAnn, epoch, 5, kMessage)).lastSeq, 2u);
}

TEST_F(ConferenceLogTest, NewerSessionFencesTheOlderAndResumeKeepsItsPlace) {
  ConferenceLog c = log();
  const uint64_t old = joinFresh(c, kAnn);
  ASSERT_TRUE(std::holds_alternative<Appended>(c.append(kAnn, old, 1, kMessage)));
  const auto resumed = c.join(kAnn, "n2", "h", true);
  ASSERT_TRUE(std::holds_alternative<Joined>(resumed));
  const Joined& r = std::get<Joined>(resumed);
  EXPECT_EQ(r.lastSeq, 1u);
  EXPECT_TRUE(r.id.empty());  // the owner never saw the user leave
  EXPECT_GT(r.epoch, old);
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
  ASSERT_TRUE(std::holds_alternative<Claimed>(c.claim("n1", 6000)));
  const auto a = c.grant(kAnn, ann, 1);
  const auto b = c.grant(kBob, bob, 1);
  ASSERT_TRUE(std::holds_alternative<Granted>(a));
  ASSERT_TRUE(std::holds_alternative<Granted>(b));
  EXPECT_EQ(std::get<Granted>(a).start, 0x10000u);
  EXPECT_EQ(std::get<Granted>(a).end, 0x11000u);
  EXPECT_EQ(std::get<Granted>(b).start, 0x11000u);
  EXPECT_TRUE(std::holds_alternative<Dup>(c.grant(kAnn, ann, 1)));
  EXPECT_EQ(entryField("conf:{c1}:in", std::get<Granted>(b).id, 8), std::to_string(0x12000));

  // The lease runs out and another node takes over with a fresh connection.
  ASSERT_TRUE(redis->call({"DEL", "conf:{c1}:owner"}).ok);
  std::string error;
  auto other = RedisConnection::open("127.0.0.1", port_, &error);
  ASSERT_TRUE(other) << error;
  ConferenceLog next(*other, "c1");
  ASSERT_TRUE(std::holds_alternative<Claimed>(next.claim("n2", 6000)));
  const auto again = next.grant(kAnn, ann, 2);
  ASSERT_TRUE(std::holds_alternative<Granted>(again));
  EXPECT_EQ(std::get<Granted>(again).start, 0x12000u);
}

TEST_F(ConferenceLogTest, GrantsStopAtTheAllowanceAndTheLastId) {
  struct Case {
    uint32_t maxGrants;
    uint32_t lastId;
    std::string reason;
  };
  // Two grants of 4096 fit exactly below 0x12000: the third is refused either way.
  for (const Case& k :
       {Case{2, 0x7FFFFFFF, "allowance used up"}, Case{100, 0x11FFF, "ids used up"}}) {
    ASSERT_TRUE(redis->call({"FLUSHALL"}).ok);
    ConferenceLog c = log({.maxGrantsPerUser = k.maxGrants, .lastGrantedId = k.lastId});
    const uint64_t ann = joinFresh(c, kAnn);
    EXPECT_TRUE(std::holds_alternative<Granted>(c.grant(kAnn, ann, 1))) << k.reason;
    EXPECT_TRUE(std::holds_alternative<Granted>(c.grant(kAnn, ann, 2))) << k.reason;
    const auto third = c.grant(kAnn, ann, 3);
    ASSERT_TRUE(std::holds_alternative<Refused>(third)) << k.reason;
    EXPECT_EQ(std::get<Refused>(third).reason, k.reason);
    // The refused request used up its seq all the same.
    EXPECT_TRUE(std::holds_alternative<Dup>(c.grant(kAnn, ann, 3))) << k.reason;
    EXPECT_TRUE(std::holds_alternative<Appended>(c.append(kAnn, ann, 4, kMessage))) << k.reason;
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

  struct Case {
    const char* source;
    uint32_t part;
    size_t answer;  // index into EmitResult
  };
  // A retried part, and anything at or before the last part written, is DUP.
  for (const Case& k : {Case{"5-0", 0, 0}, Case{"5-0", 0, 1}, Case{"5-0", 1, 0}, Case{"4-9", 1, 1},
                        Case{"5-0", 1, 1}, Case{"5-1", 0, 0}}) {
    EXPECT_EQ(c.emit(token, k.source, k.part, 2, kMessage).index(), k.answer)
        << k.source << " part " << k.part;
  }
  ASSERT_TRUE(redis->call({"DEL", "conf:{c1}:owner"}).ok);
  ASSERT_TRUE(std::holds_alternative<Claimed>(c.claim("n2", 6000)));
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.emit(token, "6-0", 0, 1, kMessage)));
  EXPECT_TRUE(std::holds_alternative<Fenced>(c.renew(token, 6000)));
  EXPECT_TRUE(std::holds_alternative<Failed>(c.emit(token, "6-x", 0, 1, kMessage)));
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

TEST_F(ConferenceLogTest, OutputKeepsRoughlyItsCap) {
  ConferenceLog c = log({.maxOutputEntries = 10});
  const std::string token = claimToken(c);
  for (int i = 1; i <= 300; ++i) {
    ASSERT_TRUE(
        std::holds_alternative<Written>(c.emit(token, std::to_string(i) + "-0", 0, 1, kMessage)));
  }
  // "~" trims whole stream nodes of at most 100 entries.
  const auto length = redis->call({"XLEN", "conf:{c1}:out"});
  ASSERT_TRUE(length.ok);
  EXPECT_LE(std::stoi(length.values[0]), 110);
}

TEST_F(ConferenceLogTest, HostileNamesAndRepliesAreFailures) {
  // A conference name can never reach into another conference's keys.
  for (const std::string name : {"", "a}:x{b", "a:b", "a b", std::string(65, 'a').c_str()}) {
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

}  // namespace
}  // namespace scribly
