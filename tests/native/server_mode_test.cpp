// Boards in a server-relayed conference, wired through the RelayServer in
// memory: random work with random delivery order must leave every board with
// the same content, and a late joiner must catch up every page it shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/relay_server.h"
#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

// Boards connected to one RelayServer. Each direction of each connection
// keeps its order; which one delivers next is chosen at random.
class ServerConference {
 public:
  explicit ServerConference(uint32_t seed, RelayServerLimits limits = {.idRangeSize = 64})
      : rng(seed),
        server([this](uint32_t to, std::span<const uint8_t> m) {
          if (Member* member = find(to)) member->fromServer.emplace_back(m.begin(), m.end());
        }, limits) {}

  struct Member {
    uint32_t userId = 0;
    std::unique_ptr<TestBoard> node;
    std::deque<Bytes> toServer;
    std::deque<Bytes> fromServer;
    // What it made: while messages are on their way a board changes only
    // these, as concurrent conflicting edits are not ordered by the protocol.
    std::vector<uint32_t> pages;
    std::vector<std::pair<uint32_t, uint32_t>> objects;
  };

  Member& join(uint32_t userId) {
    auto member = std::make_unique<Member>();
    member->userId = userId;
    BoardOptions options;
    options.templateNames = {"default", "grid"};
    member->node = std::make_unique<TestBoard>(false, options);
    member->node->info.infos[userId] = userInfoXml("User" + std::to_string(userId));
    Member* raw = member.get();
    member->node->host.onSend = [raw](uint32_t target, const Bytes& m) {
      EXPECT_EQ(target, 0u);
      raw->toServer.push_back(m);
    };
    members.push_back(std::move(member));
    EXPECT_TRUE(server.connect(userId));
    (*raw->node)->initialize(userId, 77);
    return *raw;
  }
  Member* find(uint32_t userId) {
    for (auto& m : members) {
      if (m->userId == userId) return m.get();
    }
    return nullptr;
  }
  Board& board(size_t i) { return **members[i]->node; }

  bool idle() const {
    return std::all_of(members.begin(), members.end(), [](const auto& m) {
      return m->toServer.empty() && m->fromServer.empty();
    });
  }
  bool deliverOne() {
    std::vector<std::pair<Member*, bool>> busy;
    for (auto& m : members) {
      if (!m->toServer.empty()) busy.push_back({m.get(), true});
      if (!m->fromServer.empty()) busy.push_back({m.get(), false});
    }
    if (busy.empty()) return false;
    auto [m, up] = busy[std::uniform_int_distribution<size_t>(0, busy.size() - 1)(rng)];
    auto& queue = up ? m->toServer : m->fromServer;
    const Bytes bytes = std::move(queue.front());
    queue.pop_front();
    ++delivered;
    if (up) {
      server.receive(m->userId, bytes);
    } else {
      m->node->dispatch(bytes);
    }
    return true;
  }
  bool drain(size_t limit = 20'000'000) {
    while (limit-- > 0) {
      if (!deliverOne()) return true;
    }
    return false;
  }

  std::mt19937 rng;
  RelayServer server;
  std::vector<std::unique_ptr<Member>> members;
  size_t delivered = 0;
};

// A picture file of the member's own, set as the current page's background.
void setBackground(TestBoard& node, std::mt19937& rng) {
  static constexpr const char* kExtensions[] = {".bmp", ".jpg", ".jpeg", ".gif"};
  const std::string source = "C:\\Pictures\\p" + std::to_string(rng() % 1000) + kExtensions[rng() % 4];
  Bytes bytes(static_cast<size_t>(1 + rng() % 40000));
  const bool runs = rng() % 2;
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = runs ? uint8_t(i / 97) : uint8_t(rng());
  node.files.files[source] = bytes;
  node.board->setBackgroundFile(source);
}

// Random local operations of every kind on a random member.
void randomStep(ServerConference& conf) {
  std::mt19937& rng = conf.rng;
  ServerConference::Member& m = *conf.members[rng() % conf.members.size()];
  Board& board = **m.node;
  const bool quiet = conf.idle() && rng() % 2;

  std::erase_if(m.pages, [&](uint32_t id) { return !board.findPage(id); });
  std::erase_if(m.objects, [&](const auto& o) {
    const Page* p = board.findPage(o.first);
    return !p || !p->findObject(o.second);
  });
  auto pickPage = [&]() -> uint32_t {
    if (quiet) return board.pages()[rng() % board.pages().size()]->id();
    return m.pages.empty() ? 0 : m.pages[rng() % m.pages.size()];
  };
  auto pickObject = [&]() -> std::optional<std::pair<uint32_t, uint32_t>> {
    std::vector<std::pair<uint32_t, uint32_t>> all;
    if (quiet) {
      for (const auto& p : board.pages())
        for (const auto& e : p->objects()) all.push_back({p->id(), e.id});
    } else {
      all = m.objects;
    }
    if (all.empty()) return std::nullopt;
    return all[rng() % all.size()];
  };

  const uint32_t page = pickPage();
  const int op = static_cast<int>(rng() % 100);
  if (op < 35) {
    auto object = makeObject(kCommittableKinds[rng() % std::size(kCommittableKinds)], rng, m.userId);
    if (object && page != 0) {
      if (const uint32_t id = board.commitObject(std::move(object), page)) m.objects.push_back({page, id});
    }
  } else if (op < 55) {
    if (auto o = pickObject()) board.changeObject(o->first, o->second, randomObjectChange(rng));
  } else if (op < 62) {
    if (auto o = pickObject()) board.deleteObject(o->first, o->second);
  } else if (op < 68) {
    if (const uint32_t id = board.addUserPage()) m.pages.push_back(id);
  } else if (op < 71) {
    if (const uint32_t id = board.addDocumentPage("doc\\page " + std::to_string(rng() % 100))) {
      m.pages.push_back(id);
    }
  } else if (op < 75) {
    if (page != 0) board.renamePage(page, "Renamed " + std::to_string(rng() % 1000));
  } else if (op < 77) {
    if (page != 0 && isUserPage(page) && rng() % 2) {
      m.node->view.answer = MessageBoxAnswer::Yes;
      board.removePage(page, 0, true);
    }
  } else if (op < 83) {
    if (page != 0 && rng() % 4 == 0) board.clearPage(page);
  } else if (op < 90) {
    if (page != 0 && board.goToPage(page, true) == page) setBackground(*m.node, rng);
  } else if (op < 94) {
    if (page != 0) board.goToPage(page, true);
  } else if (op < 97) {
    if (page != 0 && board.goToPage(page, true) == page) {
      board.setTemplateBackground((rng() % 2) ? "grid" : "nothing");
    }
  } else {
    board.applyScale(0.5f + 0.25f * (rng() % 4));
  }
  if (quiet) conf.drain();
}

// --- Tests ---------------------------------------------------------------------

// The replica has no files and no templates: compare it without the
// background files' bytes (its pages keep them as they travelled, which the
// late joiner checks) and template names (which the server relays by name).
BoardSnapshot withoutFiles(BoardSnapshot s) {
  for (auto& [id, page] : s.pages) {
    page.backgroundFile.clear();
    page.templateName.clear();
  }
  return s;
}

void runConference(size_t boards, uint32_t seed, int operations) {
  ServerConference conf(seed);
  for (size_t i = 0; i < boards; ++i) conf.join(static_cast<uint32_t>(101 + i));
  ASSERT_TRUE(conf.drain());
  // Every board starts with pages of its own to work on concurrently.
  for (auto& m : conf.members) {
    for (int k = 0; k < 3; ++k) m->pages.push_back((*m->node)->addUserPage());
  }
  for (int i = 0; i < operations; ++i) {
    randomStep(conf);
    const int deliveries = static_cast<int>(conf.rng() % 6);
    for (int d = 0; d < deliveries && conf.deliverOne(); ++d) {
    }
  }
  ASSERT_TRUE(conf.drain());
  const BoardSnapshot first = BoardSnapshot::of(*conf.members[0]->node);
  for (size_t i = 1; i < boards; ++i) {
    EXPECT_TRUE(sameBoards(first, BoardSnapshot::of(*conf.members[i]->node))) << "board " << i;
  }
  FakeFiles none;
  EXPECT_TRUE(sameBoards(withoutFiles(first), BoardSnapshot::of(conf.server.replica(), none)))
      << "replica";
  // Transfers a board cut short by deleting or clearing are closed at the
  // server too, or they would use up the sender's allowance for good.
  for (auto& m : conf.members) EXPECT_EQ(conf.server.openTransferBytes(m->userId), 0u) << m->userId;

  // The run touched every kind of content, or it proves little.
  std::set<uint8_t> kinds;
  size_t backgrounds = 0;
  for (const auto& [id, page] : first.pages) {
    for (const auto& [oid, o] : page.objects) kinds.insert(o.kind);
    backgrounds += page.hasBackground;
  }
  EXPECT_GE(kinds.size(), 8u);
  EXPECT_GT(backgrounds, 0u);
}

TEST(ServerModeConference, TwoBoardsEndIdenticalAfterRandomWork) {
  for (uint32_t seed : {1u, 2u}) {
    SCOPED_TRACE(seed);
    runConference(2, seed, 2000);
  }
}

TEST(ServerModeConference, ThreeBoardsEndIdenticalAfterRandomWork) {
  for (uint32_t seed : {2u, 9u, 11u, 20u}) {
    SCOPED_TRACE(seed);
    runConference(3, seed, 3000);
  }
}

// Shows every page of a member in turn and lets it catch up each one.
void visitEveryPage(ServerConference& conf, Board& board) {
  std::vector<uint32_t> ids;
  for (const auto& page : board.pages()) ids.push_back(page->id());
  for (uint32_t id : ids) {
    board.goToPage(id, false);
    ASSERT_TRUE(conf.drain());
  }
}

TEST(ServerModeConference, LateJoinerSeesEveryPageItVisitsComplete) {
  for (uint32_t seed : {16u, 21u, 22u}) {
    SCOPED_TRACE(seed);
    ServerConference conf(seed);
    conf.join(101);
    conf.join(102);
    ASSERT_TRUE(conf.drain());
    for (int i = 0; i < 1500; ++i) {
      randomStep(conf);
      if (conf.rng() % 2) conf.deliverOne();
    }
    ASSERT_TRUE(conf.drain());
    // Pictures and a background on a page the lead shows, for certain.
    Board& ann = conf.board(0);
    const uint32_t page = ann.addUserPage();
    ASSERT_NE(ann.commitObject(randomPicture(conf.rng, {20, 20}), page), 0u);
    ASSERT_EQ(ann.goToPage(page, true), page);
    setBackground(*conf.members[0]->node, conf.rng);
    ASSERT_TRUE(conf.drain());

    ServerConference::Member& late = conf.join(103);
    ASSERT_TRUE(conf.drain());
    EXPECT_EQ((*late.node)->currentPageId(), page);
    const Page* caught = (*late.node)->findPage(page);
    ASSERT_TRUE(caught);
    EXPECT_TRUE(caught->hasBackgroundFile());
    EXPECT_FALSE(caught->objects().empty());

    visitEveryPage(conf, **late.node);
    EXPECT_TRUE(sameBoards(BoardSnapshot::of(*conf.members[0]->node), BoardSnapshot::of(*late.node)));
  }
}

TEST(ServerModeConference, QueuesAdvanceOnlyOnTheServersAcknowledgements) {
  ServerConference conf(5);
  conf.join(101);
  conf.join(102);
  ASSERT_TRUE(conf.drain());
  Board& ann = conf.board(0);
  for (int i = 0; i < 5; ++i) ASSERT_NE(ann.addUserPage(), 0u);
  EXPECT_FALSE(ann.sendQueue().ready());
  EXPECT_EQ(ann.sendQueue().waiting(kLevelFirst), 4u);
  ASSERT_TRUE(conf.drain());
  EXPECT_TRUE(ann.sendQueue().ready());
  EXPECT_EQ(conf.board(1).pages().size(), 11u);
}

TEST(ServerModeConference, BoardsDrawWithIdsFromDistinctRanges) {
  ServerConference conf(6);
  conf.join(101);
  conf.join(102);
  ASSERT_TRUE(conf.drain());
  std::vector<uint32_t> ids;
  for (int i = 0; i < 300; ++i) {
    Board& board = conf.board(i % 2);
    const uint32_t id = board.commitObject(makeObject(12, conf.rng, board.myUserId()), 1);
    ASSERT_NE(id, 0u) << i;
    ids.push_back(id);
    // Grants arrive in their own time, well before a range runs out.
    for (int d = 0; d < 8 && conf.deliverOne(); ++d) {
    }
  }
  ASSERT_TRUE(conf.drain());
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
  EXPECT_EQ(conf.board(0).findPage(1)->objects().size(), 300u);
  EXPECT_TRUE(sameBoards(BoardSnapshot::of(*conf.members[0]->node),
                         BoardSnapshot::of(*conf.members[1]->node)));
}

}  // namespace
}  // namespace scribly::testing
