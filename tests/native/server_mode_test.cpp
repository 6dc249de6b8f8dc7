// Boards in a server-relayed conference, wired through the RelayServer in
// memory: a late joiner must catch up every page it shows, queues advance on
// the server's acknowledgements and ids come from distinct ranges. Random work
// in this shape runs in board_sync_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

// Shows every page of a board in turn and lets it catch up each one.
void visitEveryPage(InMemoryRelay& relay, Board& board) {
  std::vector<uint32_t> ids;
  for (const auto& page : board.pages()) ids.push_back(page->id());
  for (uint32_t id : ids) {
    board.goToPage(id, false);
    ASSERT_TRUE(relay.drain());
  }
}

TEST(ServerModeConference, LateJoinerSeesEveryPageItVisitsComplete) {
  for (uint32_t seed : {16u, 21u, 22u}) {
    SCOPED_TRACE(seed);
    InMemoryRelay relay(InMemoryRelay::Mode::Server, 2, seed, withTemplates());
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

TEST(ServerModeConference, QueuesAdvanceOnlyOnTheServersAcknowledgements) {
  InMemoryRelay relay(InMemoryRelay::Mode::Server, 2, 5);
  ASSERT_TRUE(relay.drain());
  Board& ann = relay.board(0);
  for (int i = 0; i < 5; ++i) ASSERT_NE(ann.addUserPage(), 0u);
  EXPECT_FALSE(ann.sendQueue().ready());
  EXPECT_EQ(ann.sendQueue().waiting(kLevelFirst), 4u);
  ASSERT_TRUE(relay.drain());
  EXPECT_TRUE(ann.sendQueue().ready());
  EXPECT_EQ(relay.board(1).pages().size(), 11u);
}

TEST(ServerModeConference, BoardsDrawWithIdsFromDistinctRanges) {
  InMemoryRelay relay(InMemoryRelay::Mode::Server, 2, 6);
  ASSERT_TRUE(relay.drain());
  std::vector<uint32_t> ids;
  for (int i = 0; i < 300; ++i) {
    Board& board = relay.board(i % 2);
    const uint32_t id = board.commitObject(makeObject(12, relay.rng(), board.myUserId()), 1);
    ASSERT_NE(id, 0u) << i;
    ids.push_back(id);
    // Grants arrive in their own time, well before a range runs out.
    for (int d = 0; d < 8 && relay.deliverOne(); ++d) {
    }
  }
  ASSERT_TRUE(relay.drain());
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
  EXPECT_EQ(relay.board(0).findPage(1)->objects().size(), 300u);
  EXPECT_TRUE(sameBoards(BoardSnapshot::of(relay.node(0)), BoardSnapshot::of(relay.node(1))));
}

}  // namespace
}  // namespace scribly::testing
