// Reply streams larger than the send queue's cap: what a peer's request asks
// of this board waits in the backlog and leaves as acknowledgements come,
// so a late joiner catches up a whole page through the relay server.
#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "host/relay_server.h"
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
  for (int i = 0; i < 2000 && !b->sendQueue().ready(); ++i) b.receive(Acknowledgement{}, false);
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

// Boards around one relay server, delivering in order.
class Conference {
 public:
  Conference()
      : server([this](uint32_t to, std::span<const uint8_t> m) {
          members_.at(to).fromServer.emplace_back(m.begin(), m.end());
        }) {}

  TestBoard& join(uint32_t user) {
    Member& m = members_[user];
    m.node = std::make_unique<TestBoard>(false);
    m.node->host.onSend = [&m](uint32_t, const Bytes& bytes) { m.toServer.push_back(bytes); };
    EXPECT_TRUE(server.connect(user));
    (*m.node)->initialize(user, 77);
    return *m.node;
  }

  bool drain() {
    for (bool moved = true; moved;) {
      moved = false;
      for (auto& [user, m] : members_) {
        while (!m.toServer.empty()) {
          const Bytes bytes = std::move(m.toServer.front());
          m.toServer.pop_front();
          server.receive(user, bytes);
          moved = true;
        }
        while (!m.fromServer.empty()) {
          const Bytes bytes = std::move(m.fromServer.front());
          m.fromServer.pop_front();
          m.node->dispatch(bytes);
          moved = true;
        }
      }
    }
    return true;
  }

  RelayServer server;

 private:
  struct Member {
    std::unique_ptr<TestBoard> node;
    std::deque<Bytes> toServer;
    std::deque<Bytes> fromServer;
  };
  std::map<uint32_t, Member> members_;
};

TEST(BoardReplies, ALateJoinerCatchesUpTwentyThousandObjectsWhole) {
  Conference conf;
  TestBoard& ann = conf.join(101);
  conf.drain();
  const uint32_t page = ann->addUserPage();
  ASSERT_NE(page, 0u);
  std::mt19937 rng(5);
  constexpr size_t kObjects = 20000;
  for (size_t i = 0; i < kObjects; ++i) {
    ASSERT_NE(ann->commitObject(makeObject(11, rng, 101), page), 0u);
    if (ann->idAllocator().remaining() < 16) conf.drain();
  }
  conf.drain();

  TestBoard& bob = conf.join(102);
  conf.drain();
  ASSERT_EQ(bob->goToPage(page, false), page);
  conf.drain();
  ASSERT_NE(bob->findPage(page), nullptr);
  EXPECT_EQ(bob->findPage(page)->objects().size(), kObjects);
}

}  // namespace
}  // namespace scribly::testing
