// The relay node's edge: join tokens, and sessions driven over a real socket
// with the frame codec against the suite's own redis-server.
#include <gtest/gtest.h>
#include <poll.h>

#include <asio.hpp>
#include <atomic>
#include <string>

#include "net/frame.h"
#include "relayd/edge.h"
#include "relayd/edge_streams.h"
#include "relayd/join_token.h"
#include "relayd/output_entry.h"
#include "tests/native/redis_test_support.h"

namespace scribly {
namespace {

// A key pair in the test's temporary folder; `name` keeps suites apart.
std::string makeKeys(const std::string& name) {
  const std::string base = ::testing::TempDir() + "/" + name;
  std::string error;
  EXPECT_TRUE(generateTokenKeys(base + ".key.pem", base + ".pub.pem", &error)) << error;
  return base;
}

TEST(JoinToken, OnlyAnUnchangedTokenForThisConferenceAndUserIsValid) {
  const std::string ours = makeKeys("ours");
  const std::string theirs = makeKeys("theirs");
  std::string error;
  TokenVerifier verifier;
  ASSERT_TRUE(verifier.addPublicKeyFile(1, ours + ".pub.pem", &error)) << error;
  EXPECT_FALSE(verifier.addPublicKeyFile(2, ours + ".key.pem", &error));  // not a public key
  const auto signer = TokenSigner::fromPrivateKeyFile(ours + ".key.pem", 1, &error);
  const auto forger = TokenSigner::fromPrivateKeyFile(theirs + ".key.pem", 1, &error);
  const auto unknown = TokenSigner::fromPrivateKeyFile(ours + ".key.pem", 9, &error);
  ASSERT_TRUE(signer && forger && unknown);
  EXPECT_TRUE(signer->issue("no spaces", 5, 1000, 1).empty());

  const auto good = signer->issue("room", 5, 1000, 1);
  const std::vector<uint8_t> cut(good.begin(), good.begin() + 40);
  auto longer = good;
  longer.push_back(0);
  auto renamed = good;
  renamed[6] = '*';  // the name's first byte, signature intact
  const std::tuple<std::vector<uint8_t>, std::string, uint32_t, uint64_t, TokenVerdict> cases[] = {
      {good, "room", 5, 1030, TokenVerdict::kValid},
      {good, "room", 5, 1031, TokenVerdict::kExpired},
      {good, "Room", 5, 10, TokenVerdict::kOtherConference},
      {good, "room", 6, 10, TokenVerdict::kOtherUser},
      {forger->issue("room", 5, 1000, 1), "room", 5, 10, TokenVerdict::kBadSignature},
      {unknown->issue("room", 5, 1000, 1), "room", 5, 10, TokenVerdict::kUnknownKey},
      {cut, "room", 5, 10, TokenVerdict::kMalformed},
      {longer, "room", 5, 10, TokenVerdict::kMalformed},
      {renamed, "*oom", 5, 10, TokenVerdict::kMalformed},
      {{1}, "room", 5, 10, TokenVerdict::kMalformed},
  };
  for (const auto& [token, conference, user, now, verdict] : cases) {
    EXPECT_EQ(verifier.check(token, conference, user, now), verdict) << describe(verdict);
  }
}

// A host's end of a link: frames over a plain socket.
struct Host {
  explicit Host(int port) : fd(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  }
  ~Host() { close(fd); }
  void send(const net::Frame& frame) { raw(net::encode(frame)); }
  void raw(const std::vector<uint8_t>& bytes) {
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }
  // The next frame within `ms`; nullopt when none came or the link closed.
  std::optional<net::Frame> next(int ms = 3000) {
    for (;;) {
      std::span<const uint8_t> rest(received);
      auto frame = decoder.next(rest);
      received.erase(received.begin(), received.end() - static_cast<ptrdiff_t>(rest.size()));
      if (frame) return frame;
      pollfd p{fd, POLLIN, 0};
      uint8_t bytes[65536];
      const ssize_t n = poll(&p, 1, ms) == 1 ? recv(fd, bytes, sizeof bytes, 0) : -1;
      closed = n == 0;
      if (n <= 0) return std::nullopt;
      received.insert(received.end(), bytes, bytes + n);
    }
  }
  // The edge may ping a link whenever it has been idle for a while, which a
  // loaded machine makes likely mid-test: a ping is skipped, not expected.
  template <class T>
  T expect() {
    auto frame = next();
    while (frame && std::holds_alternative<net::Ping>(*frame)) frame = next();
    EXPECT_TRUE(frame && std::holds_alternative<T>(*frame))
        << (frame ? "frame " + std::to_string(frame->index()) : "nothing");
    return frame && std::holds_alternative<T>(*frame) ? std::get<T>(*frame) : T{};
  }
  // An ERROR with this code, then the relay's end closes.
  void refused(uint16_t code) {
    EXPECT_EQ(expect<net::Error>().code, code);
    EXPECT_FALSE(next());
    EXPECT_TRUE(closed);
  }

  int fd;
  net::FrameDecoder decoder;
  std::vector<uint8_t> received;
  bool closed = false;
};

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

class RelayEdgeTest : public RedisTest {
 protected:
  static void SetUpTestSuite() {
    RedisTest::SetUpTestSuite();
    keys_ = makeKeys("edge");
  }
  void SetUp() override {
    RedisTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(verifier.addPublicKeyFile(1, keys_ + ".pub.pem", &error)) << error;
    signer = TokenSigner::fromPrivateKeyFile(keys_ + ".key.pem", 1, &error);
    EdgeOptions options = edgeOptions();
    options.node = "n1";
    options.redisPort = port_;
    options.grace = std::chrono::milliseconds(1000);
    edge = std::make_unique<Edge>(io, options, verifier, [this](const std::string& c) {
      if (c == "room") ensured = true;
    });
    port = edge->listen("127.0.0.1", 0, &error);
    ASSERT_NE(port, 0) << error;
    ioThread = std::thread([this] { io.run(); });
    log = std::make_unique<ConferenceLog>(*redis, "room");
    owner = got<Claimed>(log->claim("owner", 60000)).token;
  }
  void TearDown() override {
    if (ioThread.joinable()) {
      asio::post(io, [this] {
        edge->stop();
        io.stop();
      });
      ioThread.join();
    }
    edge.reset();
  }

  virtual EdgeOptions edgeOptions() { return {}; }
  std::vector<uint8_t> token(uint32_t user, uint64_t expires = 4'000'000'000) {
    return signer->issue("room", user, expires, user);
  }
  net::Hello hello(uint32_t user, std::optional<net::Resume> resume = {}) {
    return {kRelayWireVersion, "room", user, token(user), resume};
  }
  net::Welcome join(Host& host, uint32_t user, std::optional<net::Resume> resume = {}) {
    host.send(hello(user, resume));
    return host.expect<net::Welcome>();
  }
  // The user's join entry in the input log.
  net::OutId joinOf(uint32_t user) {
    const std::string text = value({"HGET", "conf:{room}:joins", std::to_string(user)});
    const auto id = parseOutId(text.substr(text.find(' ') + 1));
    EXPECT_TRUE(id) << text;
    return id.value_or(net::OutId{});
  }
  // Writes an output entry as the owner would.
  net::OutId emit(net::OutId source, const std::vector<Delivery>& deliveries) {
    std::vector<uint8_t> d;
    for (const Delivery& x : deliveries) appendDelivery(d, x.to, x.from, x.message);
    const auto id = got<Written>(log->emit(owner, formatOutId(source), 0, 1, d)).id;
    return parseOutId(id).value_or(net::OutId{});
  }
  // "1" while the user has a session, "0" once it left.
  std::string session(uint32_t user) {
    return value({"HEXISTS", "conf:{room}:sess", std::to_string(user)});
  }

  static inline std::string keys_;
  TokenVerifier verifier;
  std::unique_ptr<TokenSigner> signer;
  asio::io_context io;
  std::unique_ptr<Edge> edge;
  std::thread ioThread;
  int port = 0;
  std::unique_ptr<ConferenceLog> log;
  std::string owner;
  std::atomic<bool> ensured = false;  // an owner was asked for the conference
};

TEST_F(RelayEdgeTest, RefusesWhatMayNotJoin) {
  net::Hello wrongUser = hello(1);
  wrongUser.user = 2;
  net::Hello expired = hello(1);
  expired.token = token(1, 1000);
  net::Hello oldVersion = hello(1);
  oldVersion.version = 0;
  net::Hello unknownSession = hello(1, net::Resume{{1, 2, 3}, {}, 1});
  for (const auto& [bad, code] : {std::pair{wrongUser, kErrorToken},
                                  {expired, kErrorToken},
                                  {oldVersion, kErrorVersion},
                                  {unknownSession, kErrorNoSession}}) {
    Host host(port);
    host.send(bad);
    host.refused(code);
  }
  Host garbage(port);
  garbage.raw({2, 0, 0, 0, 0x77, 0});
  garbage.refused(kErrorProtocol);
  EXPECT_EQ(value({"XLEN", "conf:{room}:in"}), "0");

  Host first(port);
  const net::Welcome welcome = join(first, 1);
  net::Resume wrongSecret{welcome.session, {}, 1};
  wrongSecret.session[0] ^= 1;
  Host thief(port);
  thief.send(hello(1, wrongSecret));
  thief.refused(kErrorNoSession);
}

TEST_F(RelayEdgeTest, AppendsOnceInOrderAndAcknowledgesResends) {
  auto host = std::make_unique<Host>(port);
  const net::Welcome welcome = join(*host, 7);
  ASSERT_TRUE(redis->call({"DEL", "conf:{room}:owner"}).ok);
  EXPECT_EQ(welcome.mode, net::WelcomeMode::kFresh);
  EXPECT_EQ(welcome.upThrough, 0u);
  host->send(net::Up{1, {0x31, 1}});  // queued
  host->send(net::Up{2, {0x30, 2}});
  EXPECT_EQ(host->expect<net::UpAck>(), (net::UpAck{1, true}));
  EXPECT_EQ(host->expect<net::UpAck>(), (net::UpAck{2, false}));
  EXPECT_TRUE(eventually([&] { return ensured.load(); }));  // no owner held the lease

  host = std::make_unique<Host>(port);  // the link dropped: resume, resend 2
  const net::Welcome again = join(*host, 7, net::Resume{welcome.session, {}, 3});
  EXPECT_EQ(again.mode, net::WelcomeMode::kResumed);
  EXPECT_EQ(again.upThrough, 2u);
  EXPECT_GT(again.epoch, welcome.epoch);
  host->send(net::Up{2, {0x30, 2}});
  host->send(net::Up{3, {0x31, 3}});
  EXPECT_EQ(host->expect<net::UpAck>(), (net::UpAck{2, false}));
  EXPECT_EQ(host->expect<net::UpAck>(), (net::UpAck{3, true}));
  EXPECT_EQ(value({"XLEN", "conf:{room}:in"}), "4");  // the join and three messages
}

// More than the appends in flight and the queue a session may hold: the edge
// waits on the host, and the host on the edge, and nothing is lost or repeated.
TEST_F(RelayEdgeTest, BackPressureLosesNothing) {
  Host host(port);
  join(host, 1);
  std::vector<uint8_t> ups;
  for (uint64_t seq = 1; seq <= 300; ++seq) {
    const auto frame = net::encode(net::Up{seq, {0x30, static_cast<uint8_t>(seq)}});
    ups.insert(ups.end(), frame.begin(), frame.end());
  }
  host.raw(ups);
  for (uint64_t seq = 1; seq <= 300; ++seq) ASSERT_EQ(host.expect<net::UpAck>().seq, seq);
  EXPECT_EQ(value({"XLEN", "conf:{room}:in"}), "301");

  const std::vector<Delivery> big(8, {0, 2, std::vector<uint8_t>(32000, 7)});  // 256 KB
  net::OutId source = joinOf(1);
  std::vector<net::OutId> written;
  for (int i = 0; i < 64; ++i) {  // 16 MB, well past the socket's buffers
    ++source.seq;
    written.push_back(emit(source, big));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (const net::OutId id : written) {
    const net::Down down = host.expect<net::Down>();
    ASSERT_EQ(down.outId, id);
    ASSERT_EQ(down.messages.size(), 8u);
  }
  EXPECT_FALSE(host.next(100));
}

TEST_F(RelayEdgeTest, DeliversEachEntryOnceFromTheJoinAndAcrossAResume) {
  auto alice = std::make_unique<Host>(port);
  Host bob(port);
  const net::Welcome welcome = join(*alice, 1);
  join(bob, 2);
  net::OutId source = joinOf(2);
  // The owner is behind: output of input from before Carol's join comes after it.
  auto carol = std::make_unique<Host>(port);
  const net::Welcome carolWelcome = join(*carol, 3);
  const net::OutId carolJoin = joinOf(3);
  ASSERT_LT(source, carolJoin);
  const net::OutId a = emit(source, {{0, 2, bytesOf("a")}, {2, 1, bytesOf("to bob")}});
  EXPECT_EQ(alice->expect<net::Down>(), (net::Down{a, {bytesOf("a")}}));
  EXPECT_EQ(bob.expect<net::Down>(), (net::Down{a, {bytesOf("to bob")}}));

  // Carol lost her link before any delivery: her resume starts at her join.
  carol = std::make_unique<Host>(port);
  join(*carol, 3, net::Resume{carolWelcome.session, {}, 1});
  alice = std::make_unique<Host>(port);  // lost, and two entries meanwhile
  source = carolJoin;
  const net::OutId b = emit({source.ms, source.seq + 1}, {{0, 2, bytesOf("b")}});
  const net::OutId c = emit({source.ms, source.seq + 2}, {{1, 0, bytesOf("c")}});
  EXPECT_EQ(carol->expect<net::Down>(), (net::Down{b, {bytesOf("b")}}));
  join(*alice, 1, net::Resume{welcome.session, a, 1});
  EXPECT_EQ(alice->expect<net::Down>(), (net::Down{b, {bytesOf("b")}}));
  EXPECT_EQ(alice->expect<net::Down>(), (net::Down{c, {bytesOf("c")}}));
  const net::OutId d = emit({source.ms, source.seq + 3}, {{0, 3, bytesOf("d")}});
  EXPECT_EQ(alice->expect<net::Down>(), (net::Down{d, {bytesOf("d")}}));
  EXPECT_EQ(bob.expect<net::Down>(), (net::Down{d, {bytesOf("d")}}));
  EXPECT_FALSE(alice->next(200));

  // The owner refused Carol's join: her link ends.
  emit({source.ms, source.seq + 4}, {{3, kRefusalSender, bytesOf("conference full")}});
  carol->refused(kErrorRefused);

  // What Alice missed is no longer held: she must start afresh.
  ASSERT_TRUE(redis->call({"XTRIM", "conf:{room}:out", "MAXLEN", "1"}).ok);
  Host late(port);
  late.send(hello(1, net::Resume{welcome.session, a, 1}));
  EXPECT_EQ(late.expect<net::Reset>().reason, 1);
}

TEST_F(RelayEdgeTest, ByeLeavesAtOnceALostLinkAfterTheGrace) {
  Host leaving(port);
  auto lost = std::make_unique<Host>(port);
  auto back = std::make_unique<Host>(port);
  join(leaving, 1);
  join(*lost, 2);
  const net::Welcome welcome = join(*back, 3);
  leaving.send(net::Bye{});
  lost.reset();
  back = std::make_unique<Host>(port);
  join(*back, 3, net::Resume{welcome.session, {}, 1});
  EXPECT_TRUE(eventually([&] { return session(1) == "0"; }));
  EXPECT_EQ(session(2), "1");  // well within the grace
  EXPECT_TRUE(eventually([&] { return session(2) == "0"; }));
  EXPECT_EQ(session(3), "1");  // it came back in time
  EXPECT_GT(std::stoi(value({"PTTL", "node:n1"})), 5000);
}

class RelayEdgeTimeoutTest : public RelayEdgeTest {
  EdgeOptions edgeOptions() override {
    EdgeOptions o;
    o.helloTimeout = o.idleBeforePing = std::chrono::milliseconds(200);
    o.silenceIsDead = std::chrono::milliseconds(700);
    return o;
  }
};

TEST_F(RelayEdgeTimeoutTest, PingsIdleLinksAndClosesSilentOnes) {
  Host mute(port);
  EXPECT_FALSE(mute.next(1500));
  EXPECT_TRUE(mute.closed);

  Host host(port);
  join(host, 1);
  host.send(net::Ping{9});
  EXPECT_EQ(host.expect<net::Pong>().nonce, 9u);
  int pings = 0;
  while (auto frame = host.next(1500)) pings += std::holds_alternative<net::Ping>(*frame);
  EXPECT_GE(pings, 2);
  EXPECT_TRUE(host.closed);
}

}  // namespace
}  // namespace scribly
