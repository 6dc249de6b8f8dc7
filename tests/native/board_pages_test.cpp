// The page list: names, removal and its replacement, the refusals, what is
// sent, the deferred page, and id allocation.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

std::vector<uint32_t> pageIds(const Board& b) {
  std::vector<uint32_t> ids;
  for (const auto& p : b.pages()) ids.push_back(p->id());
  return ids;
}

// Pages and their objects are found through this table: ids that crowd
// into a few slots, removed in any order, must all stay found.
TEST(BoardPages, TheIdTableFindsEveryIdLeftAfterInsertionsAndRemovals) {
  IdTable<uint32_t> table;
  std::map<uint32_t, uint32_t> expected;
  std::mt19937 rng(7);
  for (uint32_t step = 0; step < 20000; ++step) {
    // Small ids collide often; ids 16 apart share a slot in the first table.
    const uint32_t id = rng() % 3 == 0 ? (rng() % 64) * 16 : rng() % 300;
    if (rng() % 3 == 0) {
      EXPECT_EQ(table.erase(id), expected.erase(id) == 1) << id;
    } else {
      EXPECT_EQ(table.insert(id, step), id != 0 && expected.emplace(id, step).second) << id;
    }
    if (step % 997 == 0) {
      ASSERT_EQ(table.size(), expected.size());
      for (uint32_t probe = 0; probe < 1100; ++probe) {
        const auto it = expected.find(probe);
        const uint32_t* found = table.find(probe);
        ASSERT_EQ(found != nullptr, it != expected.end()) << probe;
        if (found) {
          EXPECT_EQ(*found, it->second);
        }
      }
    }
  }
  table.clear();
  EXPECT_EQ(table.find(16), nullptr);
  EXPECT_TRUE(table.insert(16, 1));
}

TEST(BoardPages, PageInfoShowsTheFolderOfADocumentPageElseTheKindsTitle) {
  auto info = [](uint32_t id, std::string_view name) {
    return pageInfoText(Page(id, name), "Page:", "System", "Mine");
  };
  EXPECT_EQ(info(1, "System Page-1"), "Page: System / System Page-1");
  EXPECT_EQ(info(7, "Ann 1"), "Page: Mine / Ann 1");
  EXPECT_EQ(info(9, "notes.txt/12"), "Page: notes.txt / 12");
  EXPECT_EQ(info(9, "a\\b/deck.pptx\\3"), "Page: a\\b/deck.pptx / 3");
  EXPECT_EQ(info(9, "/3"), "Page: Mine / 3");
}

TEST(BoardPages, RemovalGoesToTheNextOrPreviousPageAndSixSystemPagesComeBackOnReset) {
  JoinedBoard b;
  b.receive(AddPage{20, "a"});
  b.receive(AddPage{21, "b"});
  b->goToPage(20, false);
  b->removePage(20, 0, false);  // in the middle: the next one
  EXPECT_EQ(b->currentPageId(), 21u);
  b->removePage(21, 0, false);  // the last one: the previous one
  EXPECT_EQ(b->currentPageId(), 6u);
  EXPECT_EQ(pageIds(*b), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));

  // The list never leaves its current id on a page that is gone: the removed
  // page's successor takes over, and a list emptied by peers shows the first
  // page that comes back.
  PageList list(64, {});
  list.remove(1);
  EXPECT_EQ(list.currentId(), 2u);
  list.setCurrent(6);
  list.remove(6);
  EXPECT_EQ(list.currentId(), 5u);
  for (uint32_t id : {2, 3, 4, 5}) list.remove(id);
  EXPECT_EQ(list.currentId(), 0u);
  list.create(9);
  list.create(10);
  EXPECT_EQ(list.currentId(), 9u);

  // A reset board, as a fresh one, holds six empty system pages with page one
  // current, in a ring, and keeps drawing.
  std::mt19937 rng(1);
  b->addUserPage();
  b->goToPage(3, true);
  ASSERT_NE(b->commitObject(makeObject(12, rng, 11)), 0u);
  b->setPrivilegeWord(0);
  b->reset();
  EXPECT_EQ(pageIds(*b), pageIds(*TestBoard()));
  EXPECT_EQ(pageIds(*b), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
  for (uint32_t id = 1; id <= 6; ++id) {
    EXPECT_EQ(b->findPage(id)->name(), "System Page-" + std::to_string(id));
  }
  EXPECT_EQ(b->nextPage(6)->id(), 1u);
  EXPECT_EQ(b->previousPage(1)->id(), 6u);
  EXPECT_EQ(b->nextPage(99), nullptr);
  EXPECT_TRUE(b->findPage(3)->objects().empty());
  EXPECT_EQ(b->currentPageId(), 1u);
  EXPECT_EQ(TestBoard()->currentPageId(), 1u);
  EXPECT_EQ(b->privileges(), Privileges{});
  EXPECT_NE(b->commitObject(makeObject(12, rng, 11)), 0u);
}

// A peer's document removal first shows page 1; a list that names page 1
// too moves on to the next page (asking the server what it holds), and the
// board's report rebuilds it there.
TEST(BoardPages, ADocumentRemovalThatNamesPageOneLeavesAPageTheReportRebuilds) {
  TestBoard b(false);
  b.receive(AddPage{9, "doc/1"});
  b->goToPage(9, false);
  EXPECT_TRUE(b.receive(RemoveDocumentPages{"doc", {9, 1, 2}}));
  EXPECT_EQ(b->currentPageId(), 3u);
  b.acknowledgeAll();
  EXPECT_EQ(parse<PageShown>(b.host.sent.back().bytes)->page, 3u);
  TestBoard replay;
  for (const Bytes& m : b->contentReport()) replay.dispatch(m);
  EXPECT_TRUE(sameBoards(BoardSnapshot::of(b), BoardSnapshot::of(replay)));
  EXPECT_EQ(replay->currentPageId(), 3u);
}

TEST(BoardPages, ASystemPageIsRefusedLocallyButRemovedForAPeerAndRemovalAsks) {
  TestBoard b;
  b->removePage(3, 0, true);
  EXPECT_EQ(b.view.boxes, (std::vector<std::string>{std::string(kRemoveSystemPageTextKey)}));
  EXPECT_NE(b->findPage(3), nullptr);
  EXPECT_TRUE(b.host.sent.empty());

  EXPECT_TRUE(b.receive(RemovePage{3, 0}));
  EXPECT_EQ(b->findPage(3), nullptr);
  EXPECT_EQ(b.view.boxes.size(), 1u);  // a peer is never asked

  // Local removal asks, and needs the page privilege.
  b.receive(AddPage{30, "x"});
  b.view.answer = MessageBoxAnswer::No;
  b->removePage(30, 0, true);
  EXPECT_NE(b->findPage(30), nullptr);
  EXPECT_EQ(b.view.boxKinds.back(), MessageBoxKind::InformationYesNo);
  b->setPrivilegeWord(kPrivilegeWrite);
  b.view.answer = MessageBoxAnswer::Yes;
  b->removePage(30, 0, true);
  EXPECT_NE(b->findPage(30), nullptr);
  EXPECT_EQ(b.view.boxes.back(), kWritePrivilegeTextKey);
  EXPECT_EQ(b->addUserPage(), 0u);
  EXPECT_EQ(b.view.boxes.back(), kWritePrivilegeTextKey);

  // Removing page seven sends nothing, page eight sends the removal.
  TestBoard c;
  c.receive(AddPage{7, "seven"});
  c.receive(AddPage{8, "eight"});
  c->removePage(7, 0, true);
  EXPECT_EQ(c.host.countSent(MessageCode::kRemovePage), 0u);
  EXPECT_EQ(c->findPage(7), nullptr);
  c->removePage(8, 0, true);
  ASSERT_EQ(c.host.countSent(MessageCode::kRemovePage), 1u);
  EXPECT_EQ(parse<RemovePage>(c.host.sent.back().bytes)->page, 8u);
}

TEST(BoardPages, ADocumentPageTheListCannotHoldIsAnnouncedToNoOne) {
  JoinedBoard b(withOption(&BoardOptions::maxPages, 7));
  const uint32_t first = b->addDocumentPage("deck.pptx/1");
  ASSERT_NE(first, 0u);
  EXPECT_EQ(b->findPage(first)->name(), "deck.pptx/1");
  EXPECT_EQ(b.host.countSent(MessageCode::kCreateNamedPage), 1u);
  EXPECT_EQ(b->addDocumentPage("deck.pptx/2"), 0u);
  b.acknowledgeAll();
  EXPECT_EQ(b.host.countSent(MessageCode::kCreateNamedPage), 1u);
}

// Page names travel in the system code page; this one has é as one byte.
struct LatinCodec final : TextCodec {
  std::string toSystemCodePage(std::string_view utf8) override {
    std::string out(utf8);
    for (size_t at; (at = out.find("\xC3\xA9")) != std::string::npos;) out.replace(at, 2, "\xE9");
    return out;
  }
};

TEST(BoardPages, PeerToPeerPagesAreNamedAfterTheUserInTheSystemCodePage) {
  std::string forty;
  for (int i = 0; i < 40; ++i) forty += "\xC3\xA9";
  for (const auto& [user, expected] :
       std::vector<std::pair<std::string, std::string>>{{"Ann", "Ann-101"},
                                                        {"", "User Page-101"},
                                                        {std::string(41, 'x'), "User Page-101"},
                                                        {"Zo\xC3\xA9", "Zo\xE9-101"},
                                                        {forty, std::string(40, '\xE9') + "-101"},
                                                        {forty + "x", "User Page-101"}}) {
    TestBoard t;
    LatinCodec codec;
    Board b(BoardEnvironment{t.host, t.view, t.files, t.decoder, t.info, nullptr, &codec}, {});
    if (!user.empty()) t.info.infos[11] = userInfoXml(user);
    b.initialize(11, 12);  // the lower id counts down from -101
    const uint32_t id = b.addUserPage();
    ASSERT_EQ(id, static_cast<uint32_t>(-101));
    EXPECT_EQ(b.findPage(id)->name(), expected);
    const auto sent = parse<AddPage>(t.host.sent.back().bytes);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->name, expected);
    EXPECT_EQ(b.currentPageId(), 1u);  // adding does not go there
  }
}

TEST(BoardUserNames, AskedOncePerNamedUserAgainWhileNamelessAndBounded) {
  TestBoard b(true, withOption(&BoardOptions::maxCachedUsers, 3));
  b.info.infos[11] = userInfoXml("Ann &amp; Bo");
  b.info.infos[20] = "<user><userbasic><id>20</id></userbasic></user>";  // no name
  b.info.infos[21] = "<userbasic><name>Cid";                             // cut in the name
  b->initialize(11, 12);
  EXPECT_EQ(b->userName(11), "Ann & Bo");
  EXPECT_EQ(b->userName(20), "");
  EXPECT_EQ(b->userName(20), "");
  EXPECT_EQ(b->userName(21), "");
  EXPECT_EQ(std::count(b.info.asked.begin(), b.info.asked.end(), 11u), 1);
  EXPECT_EQ(std::count(b.info.asked.begin(), b.info.asked.end(), 20u), 2);

  // Peers' hand symbols name any user id; the cache keeps my own name.
  for (uint32_t user = 30; user < 40; ++user) {
    b.info.infos[user] = userInfoXml("U" + std::to_string(user));
    EXPECT_EQ(b->userName(user), "U" + std::to_string(user));
  }
  b.info.asked.clear();
  EXPECT_EQ(b->userName(11), "Ann & Bo");
  EXPECT_EQ(b->userName(39), "U39");
  EXPECT_EQ(b->userName(30), "U30");
  EXPECT_EQ(b.info.asked, std::vector<uint32_t>{30});
}

TEST(BoardPages, IdsCountUpFrom100AboveTheOtherAndComeFromTheServersRanges) {
  TestBoard b;
  b->initialize(12, 11);
  EXPECT_EQ(b->idAllocator().allocate(), 100u);
  EXPECT_EQ(b->idAllocator().allocate(), 101u);

  // Server mode asks for a range once below ten remaining.
  TestBoard server(false);
  server->initialize(11, 77);
  EXPECT_EQ(server.host.countSent(MessageCode::kIdRange), 1u);
  EXPECT_EQ(server.host.countSent(MessageCode::kStateRequest), 1u);
  EXPECT_EQ(server->idAllocator().allocate(), 0u);  // no range yet
  EXPECT_TRUE(server.receive(IdRangeGrant{1000, 1012}, false));
  EXPECT_EQ(server->idAllocator().allocate(), 1000u);  // 12 left: no request
  EXPECT_EQ(server->idAllocator().allocate(), 1001u);
  EXPECT_EQ(server->idAllocator().allocate(), 1002u);  // 10 left
  EXPECT_EQ(server.host.countSent(MessageCode::kIdRange), 1u);
  EXPECT_EQ(server->idAllocator().allocate(), 1003u);  // 9 left: asks
  EXPECT_EQ(server->idAllocator().allocate(), 1004u);
  EXPECT_EQ(server.host.countSent(MessageCode::kIdRange), 2u);
  EXPECT_TRUE(server.receive(IdRangeGrant{5000, 6000}, false));
  EXPECT_FALSE(server.receive(IdRangeGrant{7000, 8000}, false));  // one pending at a time
  for (int i = 0; i < 7; ++i) server->idAllocator().allocate();
  EXPECT_EQ(server->idAllocator().allocate(), 5000u);
}

TEST(BoardPages, APeersPageChangeWaitsForTheReleaseAndAMissingPageIsCreatedThenNamed) {
  TestBoard b;
  b.receive(AddPage{40, "p"});
  b->pressMouse();
  EXPECT_TRUE(b.receive(CurrentPage{40}));
  EXPECT_EQ(b->currentPageId(), 1u);
  EXPECT_EQ(b->deferredPage(), 40u);
  b->releaseMouse();
  EXPECT_EQ(b->currentPageId(), 40u);
  EXPECT_EQ(b->deferredPage(), 0u);

  // Going to a missing page creates it, and only the lead sends it.
  b->goToPage(50, true);
  EXPECT_EQ(b->findPage(50)->name(), "System Page-50");
  EXPECT_EQ(b.view.contents.back(), (FakeView::Note{ContentsChange::PageAdded, 50}));
  EXPECT_EQ(b.host.countSent(MessageCode::kCurrentPage), 1u);
  // Its announcement, coming later, names it; a named page keeps its name.
  b.receive(AddPage{50, "fifty"});
  b.receive(AddPage{40, "other"});
  EXPECT_EQ(b->findPage(50)->name(), "fifty");
  EXPECT_EQ(b->findPage(40)->name(), "p");
  b->setPrivilegeWord(kPrivilegeWrite);  // no lead
  b->goToPage(2, true);
  EXPECT_EQ(b.host.countSent(MessageCode::kCurrentPage), 1u);
}

TEST(BoardPrivileges, TheWordGivesTheFlagsByConferenceShape) {
  EXPECT_EQ(privilegesFromWord(0x18, false), (Privileges{false, false, true}));
  EXPECT_EQ(privilegesFromWord(0x1A, false), (Privileges{true, false, true}));
  EXPECT_EQ(privilegesFromWord(0x02, false), (Privileges{false, false, false}));
  EXPECT_EQ(privilegesFromWord(0x02, true), (Privileges{true, false, false}));
  EXPECT_EQ(privilegesFromWord(0x04, true), (Privileges{false, false, true}));
  EXPECT_EQ(privilegesFromWord(0x01, true), (Privileges{false, true, false}));
}

// Peers keep what they received before the reset; new ids must not clash.
TEST(BoardReset, NewIdsAreOnesThePeerDoesNotHoldYet) {
  InMemoryRelay relay(InMemoryRelay::Mode::PeerToPeer, 2, 3);
  std::mt19937 rng(3);
  for (size_t i = 0; i < 2; ++i)
    ASSERT_NE(relay.board(i).commitObject(makeObject(12, rng, 11), 2), 0u);
  ASSERT_TRUE(relay.drain());
  for (size_t i = 0; i < 2; ++i) {
    Board& other = relay.board(1 - i);
    const size_t held = other.findPage(2)->objects().size();
    relay.board(i).reset();
    const uint32_t id = relay.board(i).commitObject(makeObject(12, rng, 11), 2);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(other.findPage(2)->findEntry(id), nullptr) << "board " << i;
    ASSERT_TRUE(relay.drain());
    EXPECT_EQ(other.findPage(2)->objects().size(), held + 1) << "board " << i;
  }
}

}  // namespace
}  // namespace scribly::testing
