#include "net/relay_link.h"

#include <gtest/gtest.h>

#include "collab/message_header.h"
#include "tests/native/fake_relay.h"

namespace scribly::net {
namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

const SessionSecret kSecret{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
const Bytes kAck{firstByteOf(MessageCode::kAcknowledgement)};

Bytes message(uint8_t tag, bool queued = false) {
  return {firstByteOf(MessageCode::kClearPage, queued), tag, 0, 0, 0};
}

// One link against one or two scripted relays, with timers short enough for
// a test and long enough that no PING comes unasked.
struct Rig {
  asio::io_context io;
  FakeRelay relay{io};
  FakeRelay second{io};
  RelayLinkOptions options{.relays = {relay.address(), second.address()},
                           .conference = "conf-1",
                           .user = 7,
                           .token = {1, 2, 3},
                           .ackWindowBytes = 0,
                           .firstBackoff = milliseconds{5},
                           .lastBackoff = milliseconds{20},
                           .idleBeforePing = milliseconds{2000},
                           .silenceIsDead = milliseconds{4000}};
  std::vector<Bytes> delivered;
  std::function<void(const Bytes&)> then;  // what the plug-in does with each delivery
  std::vector<LinkEnd> ends;
  std::unique_ptr<RelayLink> link;
  uint64_t nonce = 0;

  void open() {
    link = std::make_unique<RelayLink>(
        io, options,
        RelayLink::Events{[this](std::span<const uint8_t> m) {
                            delivered.emplace_back(m.begin(), m.end());
                            if (then) then(delivered.back());
                          },
                          [this](LinkEnd end, std::string_view) { ends.push_back(end); }, nullptr});
    link->start();
  }
  // Frame i of the relay's latest connection, once it arrived.
  Frame frame(size_t i, FakeRelay* on = nullptr) {
    FakeRelay& r = on ? *on : relay;
    const auto arrived = [&] { return r.connections() > 0 && r.last().frames.size() > i; };
    EXPECT_TRUE(runUntil(io, arrived)) << "frame " << i;
    return arrived() ? r.last().frames[i] : Frame{};
  }
  void join() {
    open();
    frame(0);
    relay.send(Welcome{kSecret, 1, 0, WelcomeMode::kFresh});
  }
  // Everything the relay sent before has been handled once the link answers
  // a PING sent after it.
  void sync() {
    relay.send(Ping{++nonce});
    EXPECT_TRUE(runUntil(io, [&] {
      const auto& frames = relay.last().frames;
      return !frames.empty() && frames.back() == Frame{Pong{nonce}};
    }));
  }
  std::vector<Frame> framesFrom(size_t first) {
    const auto& frames = relay.last().frames;
    return {frames.begin() + std::min(first, frames.size()), frames.end()};
  }
};

TEST(RelayLink, JoinsWithHelloAndSendsEarlyMessagesAfterWelcomeInOrder) {
  Rig rig;
  // The first relay refuses the connection: the link goes on to the next.
  const asio::ip::tcp::endpoint loopback(asio::ip::make_address_v4("127.0.0.1"), 0);
  const uint16_t closed = asio::ip::tcp::acceptor(rig.io, loopback).local_endpoint().port();
  rig.options.relays = {{"127.0.0.1", closed}, rig.relay.address()};
  rig.open();
  ASSERT_TRUE(rig.link->send(message(1)));
  ASSERT_TRUE(rig.link->send(message(2)));
  ASSERT_EQ(rig.frame(0), Frame(Hello{1, "conf-1", 7, {1, 2, 3}, std::nullopt}));
  rig.relay.send(Welcome{kSecret, 1, 0, WelcomeMode::kFresh});
  rig.frame(2);
  ASSERT_TRUE(rig.link->send(message(3)));
  EXPECT_FALSE(rig.link->send({}));
  rig.sync();
  EXPECT_EQ(rig.framesFrom(1),
            (std::vector<Frame>{Up{1, message(1)}, Up{2, message(2)}, Up{3, message(3)}, Pong{1}}));
  EXPECT_TRUE(rig.link->stats().up);
}

TEST(RelayLink, EachQueuedMessageGetsOneAcknowledgement) {
  Rig rig;
  // Room for two messages unconfirmed: the first queued one is acknowledged
  // at once, the second only once the relay confirmed the first.
  rig.options.ackWindowBytes = 2 * message(0).size();
  rig.join();
  rig.link->send(message(1, true));
  rig.link->send(message(2));
  rig.link->send(message(3, true));
  rig.frame(3);
  rig.sync();
  EXPECT_EQ(rig.delivered, (std::vector<Bytes>{kAck}));
  for (const UpAck& ack :
       {UpAck{1, true}, UpAck{1, true}, UpAck{2, false}, UpAck{3, true}, UpAck{3, true}}) {
    rig.relay.send(ack);
  }
  rig.sync();
  EXPECT_EQ(rig.delivered, (std::vector<Bytes>{kAck, kAck}));
  EXPECT_EQ(rig.link->stats().resendBytes, 0u);
}

// A board sends its next queued message from within the last one's
// acknowledgement: the window's worth goes without waiting on the relay.
TEST(RelayLink, ABoardSendingFromEachAcknowledgementFillsTheWindow) {
  Rig rig;
  rig.options.ackWindowBytes = 10 * message(0).size();
  uint8_t next = 1;
  rig.then = [&](const Bytes& m) {
    if (m == kAck) rig.link->send(message(next++, true));
  };
  rig.join();
  rig.link->send(message(next++, true));
  const auto acknowledged = [&](size_t n) {
    EXPECT_TRUE(runUntil(rig.io, [&] { return rig.delivered.size() >= n; }));
    rig.sync();
    EXPECT_EQ(rig.delivered.size(), n);
  };
  acknowledged(10);
  rig.relay.send(UpAck{10, true});
  acknowledged(20);
  EXPECT_EQ(next, 22);
}

TEST(RelayLink, ResumesWhereItWasAndNeitherSendsNorAppliesAnythingTwice) {
  Rig rig;
  rig.options.relays = {rig.relay.address()};
  rig.join();
  rig.link->send(message(1, true));
  rig.link->send(message(2, true));
  rig.link->send(message(3));
  rig.link->send(message(4));
  rig.frame(4);
  rig.relay.send(Down{{10, 1}, {message(0xD1)}});
  rig.relay.send(UpAck{1, true});
  rig.sync();
  rig.relay.drop();

  ASSERT_TRUE(runUntil(rig.io, [&] { return rig.relay.connections() == 2; }));
  EXPECT_EQ(rig.frame(0), Frame(Hello{1, "conf-1", 7, {1, 2, 3}, Resume{kSecret, {10, 1}, 5}}));
  // 2 reached the log before the drop, its UPACK did not: it is confirmed,
  // and acknowledged, by the WELCOME.
  rig.relay.send(Welcome{kSecret, 2, 2, WelcomeMode::kResumed});
  rig.frame(2);
  rig.relay.send(UpAck{2, true});
  rig.relay.send(UpAck{4, false});
  rig.relay.send(Down{{10, 1}, {message(0xD1)}});
  rig.relay.send(Down{{9, 99}, {message(0xD9)}});
  rig.relay.send(Down{{10, 2}, {message(0xD2), message(0xD3)}});
  rig.sync();
  EXPECT_EQ(rig.framesFrom(1), (std::vector<Frame>{Up{3, message(3)}, Up{4, message(4)}, Pong{2}}));
  EXPECT_EQ(rig.delivered,
            (std::vector<Bytes>{message(0xD1), kAck, kAck, message(0xD2), message(0xD3)}));
  const RelayLink::Stats stats = rig.link->stats();
  EXPECT_EQ(stats.resent, 2u);
  EXPECT_EQ(stats.reconnects, 1u);
  EXPECT_EQ(stats.lastOut, (OutId{10, 2}));
  EXPECT_EQ(stats.resendBytes, 0u);
}

TEST(RelayLink, EndsOnceAndForGood) {
  for (const LinkEnd end :
       {LinkEnd::kReset, LinkEnd::kRefused, LinkEnd::kOverflow, LinkEnd::kLeft}) {
    SCOPED_TRACE(static_cast<int>(end));
    Rig rig;
    rig.options.maxResendBytes = 1000;
    rig.join();
    rig.sync();
    if (end == LinkEnd::kReset) rig.relay.send(Reset{1});
    if (end == LinkEnd::kRefused) rig.relay.send(Error{401, "token expired"});
    if (end == LinkEnd::kOverflow) {
      rig.link->send(Bytes(600, 1));
      EXPECT_FALSE(rig.link->send(Bytes(500, 1)));
    }
    if (end == LinkEnd::kLeft) rig.link->leave();
    EXPECT_TRUE(runUntil(rig.io, [&] { return !rig.ends.empty(); }));
    rig.link->leave();
    runUntil(
        rig.io, [] { return false; }, milliseconds{60});
    EXPECT_EQ(rig.ends, std::vector<LinkEnd>{end});
    EXPECT_FALSE(rig.link->send(message(1)));
    EXPECT_TRUE(rig.relay.last().closedByPeer);
    EXPECT_EQ(rig.relay.connections() + rig.second.connections(), 1u);
    EXPECT_EQ(rig.relay.last().frames.back() == Frame{Bye{}}, end == LinkEnd::kLeft);
  }
}

TEST(RelayLink, SilentRelayIsPingedThenLeftForTheNext) {
  Rig rig;
  rig.options.idleBeforePing = milliseconds{30};
  rig.options.silenceIsDead = milliseconds{150};
  rig.options.helloTimeout = milliseconds{100};
  rig.join();
  rig.relay.send(Down{{5, 0}, {message(1)}});
  const Frame hello = rig.frame(0, &rig.second);
  ASSERT_TRUE(std::holds_alternative<Hello>(hello));
  EXPECT_EQ(std::get<Hello>(hello).resume, (Resume{kSecret, {5, 0}, 1}));
  EXPECT_TRUE(std::holds_alternative<Ping>(rig.relay.last().frames.back()));
  EXPECT_TRUE(runUntil(rig.io, [&] { return rig.relay.last().closedByPeer; }));
  // The second one never answers the HELLO: back to the first, as it was.
  ASSERT_TRUE(runUntil(rig.io, [&] { return rig.relay.connections() == 2; }));
  EXPECT_EQ(rig.frame(0), hello);
}

TEST(RelayLink, NothingIsCalledOnceTheLinkIsGone) {
  Rig rig;
  rig.join();
  rig.link->send(message(1, true));
  rig.frame(1);
  rig.relay.send(Down{{1, 0}, {message(0xD1), message(0xD2)}});
  rig.relay.send(UpAck{1, true});
  // The first link goes with its replacement; this one dies in its first
  // delivery.
  rig.then = [&](const Bytes&) { rig.link.reset(); };
  rig.open();
  ASSERT_TRUE(runUntil(rig.io, [&] { return rig.relay.connections() == 2; }));
  rig.frame(0);
  rig.relay.send(Welcome{kSecret, 1, 0, WelcomeMode::kFresh});
  rig.relay.send(Down{{1, 0}, {message(0xD1), message(0xD2)}});
  runUntil(
      rig.io, [] { return false; }, milliseconds{60});
  EXPECT_EQ(rig.delivered, std::vector<Bytes>{message(0xD1)});
  EXPECT_TRUE(rig.ends.empty());
  EXPECT_TRUE(rig.relay.connections() == 2 && rig.relay.last().closedByPeer);
}

TEST(RelayLink, ParsesNumericAddressesOnly) {
  EXPECT_EQ(parseRelayAddress("127.0.0.1:7000"), (RelayAddress{"127.0.0.1", 7000}));
  EXPECT_EQ(parseRelayAddress("255.255.255.255:65535"), (RelayAddress{"255.255.255.255", 65535}));
  for (const char* bad :
       {"", "127.0.0.1", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:+80",
        "127.0.0.1:080", "127.0.0:80", "127.0.0.1.1:80", "256.0.0.1:80", "01.0.0.1:80",
        "a.b.c.d:80", "localhost:80", "1..2.3:80", "127.0.0.1 :80", "[::1]:80"}) {
    EXPECT_EQ(parseRelayAddress(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace scribly::net
