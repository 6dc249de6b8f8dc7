// Reply streams larger than the send queue's cap: what a peer's request asks
// of this board waits in the backlog and leaves as acknowledgements come,
// so a late joiner catches up a whole page through the relay server.
#include <gtest/gtest.h>

#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

TEST(BoardReplies, AStateRequestIsAnsweredWholeAsTheQueueDrains) {
  BoardOptions options;
  options.maxQueuedReplies = 16;
  TestBoard b(false, options);
  StateRequest request;
  for (uint32_t v = 1; v <= 1000; ++v) request.values.push_back(v);
  ASSERT_TRUE(b.receive(request, false));
  b.acknowledgeAll(2000);
  std::vector<uint32_t> items;
  size_t ends = 0;
  for (const auto& s : b.host.sent) {
    if (auto m = parse<StateReplyItem>(s.bytes)) items.push_back(m->value);
    ends += codeOf(s.bytes[0]) == toByte(MessageCode::kStateReplyEnd);
  }
  EXPECT_EQ(items, request.values);
  EXPECT_EQ(ends, 1u);
  EXPECT_EQ(codeOf(b.host.sent.back().bytes[0]), toByte(MessageCode::kStateReplyEnd));
}

TEST(BoardReplies, ALateJoinerCatchesUpTwentyThousandObjectsWhole) {
  InMemoryRelay relay(InMemoryRelay::Mode::Server, 1, 5, {}, RelayServerLimits{});
  ASSERT_TRUE(relay.drain());
  Board& ann = relay.board(0);
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
  ASSERT_EQ(bob->goToPage(page, false), page);
  ASSERT_TRUE(relay.drain());
  ASSERT_NE(bob->findPage(page), nullptr);
  EXPECT_EQ(bob->findPage(page)->objects().size(), kObjects);
}

}  // namespace
}  // namespace scribly::testing
