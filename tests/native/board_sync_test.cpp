// Boards wired together, peer to peer or through the relay server in memory,
// end up holding the same content whatever order their messages arrive in;
// the full-board report rebuilds a board; a late joiner catches up every page
// it shows, with replies beyond the send queue's cap waiting in the backlog.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

using enum InMemoryRelay::Mode;

struct SyncCase {
  InMemoryRelay::Mode mode;
  size_t boards;
  uint32_t seed;
};

class BoardSync : public ::testing::TestWithParam<SyncCase> {};

// Runs random operations with deliveries interleaved (and, with `undo`,
// boards undoing and redoing at once), then lets every message arrive and
// compares every board with the first.
void runAndCompare(InMemoryRelay& relay, int operations, bool undo = false) {
  ASSERT_TRUE(relay.drain());
  RandomOperations ops(relay, undo);
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
  if (relay.mode() == Server) {
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

TEST_P(BoardSync, EveryBoardHoldsTheSameContentAndItsReportRebuildsIt) {
  const SyncCase c = GetParam();
  InMemoryRelay relay(c.mode, c.boards, c.seed, withTemplates());
  runAndCompare(relay, 3000, true);

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

  // The board's report rebuilds it in a fresh board.
  TestBoard& source = relay.node(0);
  source.host.mirrored.clear();
  source->setMirroring(true);
  TestBoard fresh(true, withTemplates());
  for (const Bytes& m : source.host.mirrored) fresh.dispatch(m);
  EXPECT_TRUE(sameBoards(s, BoardSnapshot::of(fresh)));
  EXPECT_EQ(fresh->currentPageId(), source->currentPageId());
}

INSTANTIATE_TEST_SUITE_P(Relay, BoardSync,
                         ::testing::Values(SyncCase{PeerToPeer, 2, 1}, SyncCase{PeerToPeer, 2, 2},
                                           SyncCase{Server, 2, 3}, SyncCase{Server, 3, 4},
                                           SyncCase{Server, 3, 11}, SyncCase{Server, 3, 21},
                                           SyncCase{Server, 3, 22}, SyncCase{PeerToPeer, 2, 23},
                                           SyncCase{PeerToPeer, 2, 24}),
                         [](const auto& info) {
                           const SyncCase& c = info.param;
                           return (c.mode == Server ? "Server" : "PeerToPeer") +
                                  std::to_string(c.boards) + "Seed" + std::to_string(c.seed);
                         });

TEST(BoardReplies, AStateRequestIsAnsweredWholeAsTheQueueDrains) {
  TestBoard b(false, withOption(&BoardOptions::maxQueuedReplies, 16));
  StateRequest request;
  for (uint32_t v = 1; v <= 1000; ++v) request.values.push_back(v);
  ASSERT_TRUE(b.receive(request, false));
  b.acknowledgeAll(2000);
  std::vector<uint32_t> items;
  for (const StateReplyItem& m : b.sentOf<StateReplyItem>()) items.push_back(m.value);
  EXPECT_EQ(items, request.values);
  EXPECT_EQ(b.host.countSent(MessageCode::kStateReplyEnd), 1u);
  EXPECT_EQ(codeOf(b.host.sent.back().bytes[0]), toByte(MessageCode::kStateReplyEnd));
}

// Nobody ever changed page: the server has no page to lead a joiner to, and
// the joiner must still catch up the page it shows without being moved, then
// every one it visits, however large.
TEST(BoardReplies, ALateJoinerCatchesUpItsPageWithNoLeadAndTwentyThousandObjectsWhole) {
  InMemoryRelay relay(Server, 1, 5, withTemplates(), RelayServerLimits{});
  ASSERT_TRUE(relay.drain());
  Board& ann = relay.board(0);
  for (uint8_t kind : kCommittableKinds) {
    ASSERT_NE(ann.commitObject(makeObject(kind, relay.rng(), ann.myUserId()), 1), 0u);
  }
  const uint32_t page = ann.addUserPage();
  ASSERT_NE(page, 0u);
  constexpr size_t kObjects = 20000;
  for (size_t i = 0; i < kObjects; ++i) {
    ASSERT_NE(ann.commitObject(makeObject(11, relay.rng(), ann.myUserId()), page), 0u);
    if (ann.idAllocator().remaining() < 16) {
      ASSERT_TRUE(relay.drain());
    }
  }
  ASSERT_TRUE(relay.drain());

  TestBoard& bob = relay.join();
  ASSERT_TRUE(relay.drain());
  EXPECT_EQ(bob->currentPageId(), 1u);
  ASSERT_EQ(bob->goToPage(page, false), page);
  ASSERT_TRUE(relay.drain());
  EXPECT_EQ(bob->findPage(page)->objects().size(), kObjects);
  EXPECT_TRUE(sameBoards(BoardSnapshot::of(relay.node(0)), BoardSnapshot::of(bob)));
}

TEST(ServerModeConference, LateJoinerSeesEveryPageItVisitsComplete) {
  for (uint32_t seed : {16u, 21u, 22u}) {
    SCOPED_TRACE(seed);
    InMemoryRelay relay(Server, 2, seed, withTemplates());
    ASSERT_TRUE(relay.drain());
    RandomOperations ops(relay);
    for (int i = 0; i < 1500; ++i) {
      ops.step();
      if (relay.rng()() % 2) relay.deliverOne();
    }
    ASSERT_TRUE(relay.drain());
    // Pictures and a background on a page the lead shows, for certain.
    Board& ann = relay.board(0);
    const uint32_t page = ann.addUserPage();
    ASSERT_NE(ann.commitObject(randomPicture(relay.rng(), {20, 20}), page), 0u);
    ASSERT_EQ(ann.goToPage(page, true), page);
    ops.setBackground(relay.node(0), page);
    ASSERT_TRUE(relay.drain());

    TestBoard& late = relay.join();
    ASSERT_TRUE(relay.drain());
    EXPECT_EQ(late->currentPageId(), page);
    const Page* caught = late->findPage(page);
    ASSERT_TRUE(caught);
    EXPECT_TRUE(caught->hasBackgroundFile());
    EXPECT_FALSE(caught->objects().empty());

    visitEveryPage(relay, *late);
    EXPECT_TRUE(sameBoards(BoardSnapshot::of(relay.node(0)), BoardSnapshot::of(late)));
  }
}

}  // namespace
}  // namespace scribly::testing
