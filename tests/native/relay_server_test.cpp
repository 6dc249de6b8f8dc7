#include "relay/relay_server.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/native/board_test_support.h"
#include "tests/native/picture_bombs.h"

namespace scribly {
namespace {

using testing::queued;
using testing::rectCreation;

constexpr uint32_t kAnn = 11;
constexpr uint32_t kBob = 12;
constexpr uint32_t kCid = 13;

using Delivery = testing::Output;

class RelayServerTest : public ::testing::Test {
 protected:
  RelayServerTest() { start({}); }

  void start(RelayServerLimits limits) {
    out.clear();
    server = std::make_unique<RelayServer>(
        [this](uint32_t to, std::span<const uint8_t> m) {
          out.push_back({to, {m.begin(), m.end()}});
        },
        limits);
    for (uint32_t user : {kAnn, kBob, kCid}) server->connect(user);
  }

  void receive(uint32_t from, std::span<const uint8_t> m) { server->receive(from, m); }

  // Asks for a range and answers the grant, or nullopt when none came.
  std::optional<IdRangeGrant> requestRange(uint32_t user) {
    out.clear();
    receive(user, build(IdRangeRequest{}));
    for (const Delivery& d : out) {
      if (d.to == user) return parse<IdRangeGrant>(d.bytes);
    }
    return std::nullopt;
  }

  std::vector<Delivery> to(uint32_t user) const {
    std::vector<Delivery> r;
    for (const Delivery& d : out) {
      if (d.to == user) r.push_back(d);
    }
    return r;
  }
  std::vector<uint8_t> codesTo(uint32_t user) const {
    std::vector<uint8_t> r;
    for (const Delivery& d : to(user)) r.push_back(codeOf(d.bytes[0]));
    return r;
  }

  void sendTransfer(uint32_t from, uint32_t key, uint32_t page, std::span<const uint8_t> data) {
    std::vector<std::vector<uint8_t>> messages;
    appendTransfer(key, from, page, data, messages);
    for (const auto& m : messages) receive(from, queued(m));
  }

  std::vector<Delivery> out;
  std::unique_ptr<RelayServer> server;
};

TEST_F(RelayServerTest, EveryRequestGetsAFreshDisjointRangeUntilTheCaps) {
  std::vector<IdRangeGrant> grants;
  for (uint32_t user : {kAnn, kBob, kCid, kAnn, kBob}) {
    const auto g = requestRange(user);
    ASSERT_TRUE(g);
    EXPECT_LT(g->start, g->end);
    EXPECT_GT(g->start, kLastSystemPage);
    EXPECT_LE(g->end, 0x80000000u);
    grants.push_back(*g);
  }
  for (size_t i = 0; i < grants.size(); ++i) {
    for (size_t j = i + 1; j < grants.size(); ++j) {
      EXPECT_TRUE(grants[i].end <= grants[j].start || grants[j].end <= grants[i].start)
          << i << " overlaps " << j;
    }
  }

  // Grants stop at the per-participant cap and at the end of the id space.
  start({.firstGrantedId = 1000,
         .lastGrantedId = 1299,
         .idRangeSize = 100,
         .maxGrantsPerParticipant = 2});
  EXPECT_TRUE(requestRange(kAnn));
  EXPECT_TRUE(requestRange(kAnn));
  EXPECT_FALSE(requestRange(kAnn));
  const auto last = requestRange(kBob);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->end, 1300u);
  EXPECT_FALSE(requestRange(kCid));
}

TEST_F(RelayServerTest,
       MessagesReachEveryoneButTheSenderUnchangedOrStayAndQueuedOnesAreAcknowledged) {
  const auto grant = requestRange(kAnn);
  const std::vector<uint8_t> creation = queued(rectCreation(3, grant->start));
  out.clear();
  receive(kAnn, creation);
  ASSERT_EQ(to(kBob).size(), 1u);
  ASSERT_EQ(to(kCid).size(), 1u);
  EXPECT_EQ(to(kBob)[0].bytes, creation);
  EXPECT_EQ(to(kCid)[0].bytes, creation);
  EXPECT_EQ(codesTo(kAnn), std::vector<uint8_t>{80});

  out.clear();
  receive(kBob, build(DeleteObject{3, grant->start}));  // anyone may change anything
  EXPECT_EQ(to(kAnn).size(), 1u);
  EXPECT_EQ(to(kCid).size(), 1u);
  EXPECT_TRUE(to(kBob).empty());

  // Ids outside the sender's ranges, malformed and server-bound messages stay here.
  const auto ann = requestRange(kAnn);
  const auto bob = requestRange(kBob);
  std::vector<uint8_t> truncated = rectCreation(1, ann->start);
  truncated.resize(7);
  const std::vector<std::vector<uint8_t>> kept = {
      rectCreation(1, bob->start),                   // Bob's id
      rectCreation(1, ann->end),                     // just past Ann's range
      build(AddPage{bob->start, "x"}),               // Bob's page id
      build(BackgroundAnnounce{1, bob->start + 1}),  // Bob's file number
      truncated,
      build(StateReplyItem{1}),
      build(StateReplyEnd{}),
      build(BackgroundReady{1, ann->start}),
      build(Acknowledgement{}),
      {firstByteOf(30)},  // creation code without a kind
      std::vector<uint8_t>(kMaxMessageBytes + 1, firstByteOf(MessageCode::kSetColor)),
  };
  out.clear();
  for (const auto& m : kept) receive(kAnn, m);
  EXPECT_TRUE(out.empty());

  // Every queued message is acknowledged, whatever becomes of it.
  const std::vector<std::vector<uint8_t>> messages = {
      queued(rectCreation(1, 5)),           // refused: not Ann's id
      {0x01},                               // code 0, flagged
      {0xFF, 1, 2},                         // unknown code
      queued(build(MissingItem{77})),       // answered with nothing
      queued(build(TransferChunk{1, {}})),  // no such transfer
  };
  for (const auto& m : messages) {
    out.clear();
    receive(kAnn, m);
    ASSERT_FALSE(to(kAnn).empty());
    EXPECT_EQ(to(kAnn).back().bytes, std::vector<uint8_t>{0xA0});
  }
  out.clear();
  receive(99, queued(rectCreation(1, ann->start + 2)));  // not connected
  EXPECT_TRUE(out.empty());
}

TEST_F(RelayServerTest, TransfersAndPicturesAreBoundedAndTransfersFreedByTheirEnd) {
  start({.maxOpenTransfers = 2, .maxOpenTransferBytes = 1000});
  auto g = requestRange(kAnn);
  out.clear();
  receive(kAnn, build(TransferBegin{g->start, kAnn, 1, 600}));
  receive(kAnn, build(TransferBegin{g->start + 1, kAnn, 1, 500}));  // over the bytes
  receive(kAnn, build(TransferBegin{g->start + 2, kAnn, 1, 400}));
  receive(kAnn, build(TransferBegin{g->start + 3, kAnn, 1, 1}));  // over the count
  receive(kAnn, build(TransferBegin{g->start + 2, kAnn, 1, 4}));  // key already open
  receive(kAnn, build(TransferBegin{g->start + 4, kAnn, 1, 0}));
  receive(kAnn, build(TransferBegin{7, kAnn, 1, 10}));  // key not Ann's
  EXPECT_EQ(to(kBob).size(), 2u);
  EXPECT_EQ(server->openTransferBytes(kAnn), 1000u);

  out.clear();
  receive(kAnn, build(TransferEnd{g->start + 2, 1}));
  receive(kAnn, build(TransferEnd{g->start + 2, 1}));  // already ended
  EXPECT_EQ(to(kBob).size(), 1u);
  EXPECT_EQ(server->openTransferBytes(kAnn), 600u);
  server->disconnect(kAnn);
  EXPECT_EQ(server->openTransferBytes(kAnn), 0u);

  start({});
  const auto h = requestRange(kAnn);
  out.clear();
  receive(kAnn, build(TransferBegin{h->start, kAnn, 1,
                                    uint32_t(kEnvelopeHeaderBytes + kMaxPayloadBytes + 1)}));
  EXPECT_TRUE(out.empty());

  // Picture bombs leave the replica within its budget.
  start({.maxPictureBytes = size_t{16} << 20});
  g = requestRange(kAnn);
  const std::vector<uint8_t> record = testing::pictureRecord(2000);
  // 48 MB of pixels in a few kilobytes, in a box that shows them at half size.
  const std::vector<uint8_t> bomb = testing::rawBulk(4000, 4000);
  for (uint32_t i = 0; i < 8; ++i) {
    receive(kAnn, queued(build(CreateObject{14, 1, g->start + i, record})));
    sendTransfer(kAnn, g->start + i, 1, bomb);
    ASSERT_LE(server->replica().heldPictureBytes(), size_t{16} << 20) << i;
  }

  // An overflowing chunk is relayed, so every board fails the transfer alike.
  g = requestRange(kAnn);
  const std::vector<uint8_t> data(10, 1);
  receive(kAnn, build(TransferBegin{g->start, kAnn, 1, 5}));
  out.clear();
  receive(kAnn, build(TransferChunk{g->start, data}));
  receive(kAnn, build(TransferEnd{g->start, 1}));  // the transfer is gone
  EXPECT_EQ(codesTo(kBob), std::vector<uint8_t>{33});
  EXPECT_EQ(server->openTransferBytes(kAnn), 0u);
}

// A board's queue drops the rest of a transfer when the board deletes its
// item or clears its page; those transfers never end and must not use up the
// sender's allowance.
TEST_F(RelayServerTest, TransfersTheirSenderCutShortCloseWithItsDeleteOrClear) {
  start({.maxOpenTransfers = 4});
  const auto g = requestRange(kAnn);
  const uint32_t a = g->start, b = g->start + 1, c = g->start + 2, d = g->start + 3;
  receive(kAnn, build(TransferBegin{a, kAnn, 1, 100}));
  receive(kAnn, build(TransferChunk{a, std::vector<uint8_t>(10, 1)}));
  receive(kAnn, build(TransferBegin{b, kAnn, 2, 200}));
  receive(kAnn, build(TransferBegin{c, kAnn, 2, 400}));  // page 2's background
  receive(kAnn, build(TransferBegin{d, kAnn, 3, 800}));
  ASSERT_EQ(server->openTransferBytes(kAnn), 1500u);

  receive(kAnn, build(DeleteObject{1, a}));
  EXPECT_EQ(server->openTransferBytes(kAnn), 1400u);
  out.clear();
  receive(kAnn, build(TransferChunk{a, std::vector<uint8_t>(10, 1)}));
  EXPECT_TRUE(out.empty());

  // Someone else's delete or clear cuts nothing short on Ann's side.
  receive(kBob, build(DeleteObject{3, d}));
  receive(kBob, build(ClearPage{2}));
  EXPECT_EQ(server->openTransferBytes(kAnn), 1400u);

  receive(kAnn, build(ClearPageWithBackground{2, c}));
  EXPECT_EQ(server->openTransferBytes(kAnn), 1200u);
  receive(kAnn, build(ClearPage{3}));
  EXPECT_EQ(server->openTransferBytes(kAnn), 400u);

  // The allowance is free again: four transfers fit.
  out.clear();
  for (uint32_t k = 4; k < 7; ++k) receive(kAnn, build(TransferBegin{g->start + k, kAnn, 1, 10}));
  EXPECT_EQ(to(kBob).size(), 3u);
}

TEST_F(RelayServerTest, PageShownIsAnsweredWithItsIdsInDrawingOrder) {
  auto g = requestRange(kAnn);
  receive(kAnn, rectCreation(4, g->start + 2));
  receive(kAnn, rectCreation(4, g->start));
  receive(kAnn, rectCreation(5, g->start + 1));
  out.clear();
  receive(kBob, queued(build(PageShown{4})));
  ASSERT_EQ(codesTo(kBob), (std::vector<uint8_t>{94, 80}));
  const auto list = parse<PageContents>(to(kBob)[0].bytes);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->page, 4u);
  EXPECT_EQ(list->ids, (std::vector<uint32_t>{g->start + 2, g->start}));
  EXPECT_TRUE(to(kAnn).empty());
  EXPECT_TRUE(to(kCid).empty());

  // Long lists are split into whole messages.
  start({.idRangeSize = 9000});
  g = requestRange(kAnn);
  const uint32_t count = 8300;  // over one message's worth
  for (uint32_t i = 0; i < count; ++i) receive(kAnn, rectCreation(2, g->start + i));
  out.clear();
  receive(kBob, build(PageShown{2}));
  std::vector<uint32_t> ids;
  size_t messages = 0;
  for (const Delivery& d : to(kBob)) {
    ASSERT_LE(d.bytes.size(), kMaxMessageBytes);
    const auto list = parse<PageContents>(d.bytes);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->page, 2u);
    ids.insert(ids.end(), list->ids.begin(), list->ids.end());
    ++messages;
  }
  EXPECT_EQ(messages, 2u);
  ASSERT_EQ(ids.size(), count);
  for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(ids[i], g->start + i);
}

TEST_F(RelayServerTest, MissingObjectIsAnsweredWithItsCurrentRecordAndPixelsAsTheyTravelled) {
  auto g = requestRange(kAnn);
  receive(kAnn, rectCreation(3, g->start, 10));
  receive(kAnn, build(SetObjectValue{42, 3, g->start, 0x00FF00}));
  receive(kBob, build(PageShown{3}));
  out.clear();
  receive(kBob, queued(build(MissingItem{g->start})));
  ASSERT_EQ(codesTo(kBob), (std::vector<uint8_t>{12, 80}));
  const std::vector<Delivery> bob = to(kBob);  // the parsed record points into it
  const auto created = parse<CreateObject>(bob[0].bytes);
  ASSERT_TRUE(created);
  EXPECT_EQ(created->page, 3u);
  EXPECT_EQ(created->objectId, g->start);
  RectObject rect;
  ASSERT_TRUE(rect.load(created->record));
  uint32_t colour = 0;
  ASSERT_TRUE(rect.getColour(colour));
  EXPECT_EQ(colour, 0x00FF00u);

  // Found on any page; unknown ids get nothing.
  g = requestRange(kAnn);
  receive(kAnn, rectCreation(6, g->start));
  receive(kBob, build(PageShown{2}));
  out.clear();
  receive(kBob, build(MissingItem{g->start}));
  receive(kBob, build(MissingItem{g->start + 1}));
  receive(kBob, build(MissingItem{0}));
  EXPECT_EQ(codesTo(kBob), std::vector<uint8_t>{12});

  // A picture comes with its pixels as they travelled.
  g = requestRange(kAnn);
  const auto pic = testing::pictureMessages(2, g->start, 300, 200);
  ASSERT_GT(pic.bulk.size(), kMaxChunkBytes);  // several chunks
  receive(kAnn, queued(pic.creation));
  sendTransfer(kAnn, g->start, 2, pic.bulk);
  out.clear();
  receive(kCid, build(MissingItem{g->start}));
  std::vector<std::vector<uint8_t>> got;
  for (const Delivery& d : to(kCid)) got.push_back(d.bytes);
  ASSERT_GE(got.size(), 2u);
  // Any sender but zero, which would ask for progress reports.
  const uint32_t sender = parse<TransferBegin>(got[1]).value_or(TransferBegin{}).senderUserId;
  EXPECT_NE(sender, 0u);
  std::vector<std::vector<uint8_t>> expected{pic.creation};
  appendTransfer(g->start, sender, 2, pic.bulk, expected);
  EXPECT_EQ(got, expected);
}

TEST_F(RelayServerTest, StateRequestBringsThePageListAndTheLeadsPage) {
  receive(kBob, build(StateRequest{}));  // a fresh conference: only the end
  EXPECT_EQ(codesTo(kBob), std::vector<uint8_t>{87});
  const auto g = requestRange(kAnn);
  receive(kAnn, build(AddPage{g->start, "Plans"}));
  receive(kAnn, build(CreateNamedPage{g->start + 1, "doc\\p1"}));
  receive(kAnn, build(RenamePage{3, "Agenda"}));
  receive(kAnn, build(RemovePage{5, 0}));
  receive(kAnn, build(CurrentPage{g->start}));
  server->connect(20);
  out.clear();
  receive(20, build(StateRequest{{4, 9}}));
  std::vector<std::vector<uint8_t>> expected = {
      build(RemovePage{5, 0}),           build(RenamePage{3, "Agenda"}),
      build(AddPage{g->start, "Plans"}), build(CreateNamedPage{g->start + 1, "doc\\p1"}),
      build(CurrentPage{g->start}),      build(StateReplyItem{4}),
      build(StateReplyItem{9}),          build(StateReplyEnd{}),
  };
  std::vector<std::vector<uint8_t>> got;
  for (const Delivery& d : to(20)) got.push_back(d.bytes);
  EXPECT_EQ(got, expected);
}

TEST_F(RelayServerTest, PagesObjectsAndParticipantsStopAtTheirCaps) {
  start({.maxPages = 1, .maxObjects = 2});
  const auto g = requestRange(kAnn);
  out.clear();
  receive(kAnn, build(AddPage{g->start, ""}));
  receive(kAnn, build(AddPage{g->start + 1, ""}));          // a second new page
  receive(kAnn, rectCreation(g->start + 2, g->start + 3));  // creates a page too
  receive(kAnn, rectCreation(1, g->start + 4));
  receive(kAnn, rectCreation(1, g->start + 5));
  receive(kAnn, rectCreation(1, g->start + 6));                  // a third object
  receive(kAnn, build(SetObjectValue{42, 1, g->start + 4, 5}));  // existing: fine
  EXPECT_EQ(to(kBob).size(), 4u);
  EXPECT_EQ(server->objectCount(), 2u);

  out.clear();
  receive(kAnn, build(ClearPage{1}));
  receive(kAnn, rectCreation(1, g->start + 6));
  EXPECT_EQ(to(kBob).size(), 2u);
  EXPECT_EQ(server->objectCount(), 1u);

  // Connecting refuses user zero, the same user twice and a full conference.
  start({.maxParticipants = 4});
  EXPECT_FALSE(server->connect(0));
  EXPECT_FALSE(server->connect(kAnn));
  EXPECT_TRUE(server->connect(40));
  EXPECT_FALSE(server->connect(41));
  server->disconnect(40);
  EXPECT_TRUE(server->connect(41));
  EXPECT_EQ(server->participantCount(), 4u);
}

}  // namespace
}  // namespace scribly
