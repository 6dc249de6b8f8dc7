// Boards wired together end up holding the same content, whatever the order
// in which their messages arrive; and the full-board report rebuilds a board.
#include <gtest/gtest.h>

#include <set>

#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

struct SyncCase {
  InMemoryRelay::Mode mode;
  size_t boards;
  uint32_t seed;
};

class BoardSync : public ::testing::TestWithParam<SyncCase> {};

// Runs random operations with deliveries interleaved, then lets every
// message arrive and compares every board with the first.
void runAndCompare(InMemoryRelay& relay, int operations) {
  ASSERT_TRUE(relay.drain());
  RandomOperations ops(relay);
  ops.addOwnPages(3);
  for (int i = 0; i < operations; ++i) {
    ops.step();
    // Deliver a random number of messages between operations, so boards act
    // with messages of the others still on their way.
    const int deliveries = static_cast<int>(relay.rng()() % 6);
    for (int d = 0; d < deliveries && relay.deliverOne(); ++d) {
    }
  }
  ASSERT_TRUE(relay.drain());
  const BoardSnapshot first = BoardSnapshot::of(relay.node(0));
  for (size_t i = 1; i < relay.size(); ++i) {
    EXPECT_TRUE(sameBoards(first, BoardSnapshot::of(relay.node(i)))) << "board " << i;
  }
  // Nothing is left half-received once every message has arrived.
  for (size_t i = 0; i < relay.size(); ++i) EXPECT_EQ(relay.board(i).transfers().size(), 0u);
  if (relay.mode() == InMemoryRelay::Mode::Server) {
    FakeFiles none;
    EXPECT_TRUE(sameBoards(withoutFiles(first), BoardSnapshot::of(relay.server().replica(), none)))
        << "replica";
    // Transfers a board cut short by deleting or clearing are closed at the
    // server too, or they would use up the sender's allowance for good.
    for (size_t i = 0; i < relay.size(); ++i) {
      EXPECT_EQ(relay.server().openTransferBytes(InMemoryRelay::userIdOf(i)), 0u) << i;
    }
  }
}

TEST_P(BoardSync, EveryBoardHoldsTheSameContent) {
  const SyncCase c = GetParam();
  InMemoryRelay relay(c.mode, c.boards, c.seed, withTemplates());
  runAndCompare(relay, 3000);

  // The run touched every kind of content, or it proves little.
  const BoardSnapshot s = BoardSnapshot::of(relay.node(0));
  std::set<uint8_t> kinds;
  size_t backgrounds = 0;
  size_t userPages = 0;
  for (const auto& [id, page] : s.pages) {
    for (const auto& [oid, o] : page.objects) kinds.insert(o.kind);
    backgrounds += page.hasBackground;
    userPages += isUserPage(id);
  }
  EXPECT_GE(kinds.size(), 10u);
  EXPECT_GT(backgrounds, 0u);
  EXPECT_GT(userPages, 0u);
}

TEST_P(BoardSync, TheReportOfABoardRebuildsItInAFreshBoard) {
  const SyncCase c = GetParam();
  InMemoryRelay relay(c.mode, c.boards, c.seed + 1000, withTemplates());
  runAndCompare(relay, 1500);

  TestBoard& source = relay.node(0);
  source.host.mirrored.clear();
  source->setMirroring(true);
  ASSERT_FALSE(source.host.mirrored.empty());

  TestBoard fresh(true, withTemplates());
  for (const Bytes& m : source.host.mirrored) fresh.dispatch(m);
  EXPECT_TRUE(sameBoards(BoardSnapshot::of(source), BoardSnapshot::of(fresh)));
  EXPECT_EQ(fresh->currentPageId(), source->currentPageId());
}

INSTANTIATE_TEST_SUITE_P(Relay, BoardSync,
                         ::testing::Values(SyncCase{InMemoryRelay::Mode::PeerToPeer, 2, 1},
                                           SyncCase{InMemoryRelay::Mode::PeerToPeer, 2, 2},
                                           SyncCase{InMemoryRelay::Mode::Server, 2, 3},
                                           SyncCase{InMemoryRelay::Mode::Server, 3, 4},
                                           SyncCase{InMemoryRelay::Mode::Server, 3, 11},
                                           SyncCase{InMemoryRelay::Mode::Server, 3, 21},
                                           SyncCase{InMemoryRelay::Mode::Server, 3, 22},
                                           SyncCase{InMemoryRelay::Mode::PeerToPeer, 2, 23},
                                           SyncCase{InMemoryRelay::Mode::PeerToPeer, 2, 24}),
                         [](const auto& info) {
                           return std::string(info.param.mode == InMemoryRelay::Mode::PeerToPeer
                                                  ? "PeerToPeer"
                                                  : "Server") +
                                  std::to_string(info.param.boards) + "Seed" +
                                  std::to_string(info.param.seed);
                         });

// Once mirroring is on, what a board receives reaches the host in a form a
// fresh board can replay: a picture that arrives by transfer is recorded as
// one bulk message.
TEST(BoardMirror, ReceivedContentIsRecordedReplayably) {
  InMemoryRelay relay(InMemoryRelay::Mode::PeerToPeer, 2, 9);
  TestBoard& watcher = relay.node(1);
  watcher->setMirroring(true);
  watcher.host.mirrored.clear();
  std::mt19937 rng(3);
  ASSERT_NE(relay.board(0).commitObject(randomPicture(rng, {10, 10}), 1), 0u);
  ASSERT_NE(relay.board(0).commitObject(makeObject(12, rng, 11), 1), 0u);
  ASSERT_TRUE(relay.drain());

  TestBoard fresh;
  for (const Bytes& m : watcher.host.mirrored) fresh.dispatch(m);
  EXPECT_TRUE(sameBoards(BoardSnapshot::of(watcher), BoardSnapshot::of(fresh)));
  EXPECT_EQ(fresh->findPage(1)->objects().size(), 2u);
}

}  // namespace
}  // namespace scribly::testing
