// The dispatcher and the transfer table: what a peer's message does, and what
// hostile messages cannot do.
#include <gtest/gtest.h>

#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

Bytes rectCreation(uint32_t page, uint32_t id) {
  std::mt19937 rng(id);
  auto rect = makeObject(12, rng, 0);
  return build(CreateObject{12, page, id, saveRecord(*rect)});
}

TEST(BoardDispatch, CreationOnAMissingPageCreatesItTellsThePanelAndDropsDuplicates) {
  TestBoard b;
  ASSERT_TRUE(b.dispatch(rectCreation(12, 500)));
  ASSERT_NE(b->findPage(12), nullptr);
  EXPECT_EQ(b.view.contents.front(), (FakeView::Note{ContentsChange::PageAdded, 12}));
  EXPECT_FALSE(b.dispatch(rectCreation(12, 500)));
  EXPECT_EQ(b->findPage(12)->objects().size(), 1u);
}

TEST(BoardDispatch, OnlyOddFirstBytesAreAcknowledgedAndOnlyPeerToPeer) {
  TestBoard p2p;
  Bytes m = rectCreation(1, 600);
  p2p.dispatch(m);
  EXPECT_TRUE(p2p.host.sent.empty());
  m = rectCreation(1, 601);
  m[0] |= kQueuedFlag;
  p2p.dispatch(m);
  ASSERT_EQ(p2p.host.sent.size(), 1u);
  EXPECT_EQ(p2p.host.sent[0].bytes, Bytes{0xA0});

  TestBoard server(false);
  server.dispatch(m);
  EXPECT_EQ(server.host.countSent(MessageCode::kAcknowledgement), 0u);
}

TEST(BoardDispatch, ScaleCodesOutsideTheTableMeanFullSize) {
  EXPECT_EQ(scaleFactorOf(0), 1.0f);
  EXPECT_EQ(scaleFactorOf(11), 1.0f);
  EXPECT_EQ(scaleFactorOf(2), 0.65f);
  EXPECT_EQ(scaleCodeOf(0.65f), 2u);

  TestBoard b;
  b->initialize(11, 12);
  b.files.files["C:\\a.jpg"] = Bytes(100, 7);
  ASSERT_TRUE(b->setBackgroundFile("C:\\a.jpg"));
  b.receive(BackgroundScale{1, 3});
  EXPECT_EQ(b->findPage(1)->scale(), 0.75f);
  b.receive(BackgroundScale{1, 11});
  EXPECT_EQ(b->findPage(1)->scale(), 1.0f);
  EXPECT_EQ(b.decoder.lastScale, 1.0f);
}

TEST(BoardDispatch, ScrollBeyondTheRangeOrWithoutPageSizeChangesNothing) {
  TestBoard b;
  b.view.bars[1] = ScrollInfo{0, 600, 60, 0};
  b.receive(Scroll{1, 601});
  b.view.bars[0] = ScrollInfo{0, 600, 0, 0};
  b.receive(Scroll{0, 10});
  EXPECT_TRUE(b.view.scrolled.empty());
  b.receive(Scroll{1, 200});
  ASSERT_EQ(b.view.scrolled.size(), 1u);
  EXPECT_EQ(b.view.scrolled[0], (std::pair<int32_t, int32_t>{0, -200}));
  EXPECT_EQ(b->scrollOffset(ScrollBar::Vertical), -200);
}

TEST(BoardDispatch, APropertyForAnotherKindChangesOnlyWhatThatKindHas) {
  TestBoard b;
  std::mt19937 rng(5);
  b.dispatch(build(CreateObject{14, 1, 700, saveRecord(*randomPicture(rng, {5, 5}))}));
  const Bytes before = saveRecord(*b->findPage(1)->findObject(700));
  EXPECT_FALSE(b.receive(SetObjectValue{42, 1, 700, 0xFF}));
  EXPECT_FALSE(b.receive(SetObjectWidth{1, 700, 9}));
  EXPECT_EQ(saveRecord(*b->findPage(1)->findObject(700)), before);
  EXPECT_TRUE(b.receive(SetObjectValue{52, 1, 700, 40}));
  EXPECT_NE(saveRecord(*b->findPage(1)->findObject(700)), before);
}

TEST(BoardDispatch, PageContentsListAsksForWhatIsMissing) {
  TestBoard b(false);
  b.dispatch(rectCreation(1, 800));
  b.dispatch(build(BackgroundAnnounce{1, 900}));
  b.host.sent.clear();
  b.receive(PageContents{1, {800, 801, 900}});
  b.receive(Acknowledgement{}, false);  // the second reply waits for the first's
  std::vector<uint32_t> asked;
  for (const auto& s : b.host.sent) {
    if (auto m = parse<MissingItem>(s.bytes)) asked.push_back(m->id);
  }
  EXPECT_EQ(asked, (std::vector<uint32_t>{801, 900}));
}

TEST(BoardTransfers, APictureArrivesInChunksAndIsKeptForLaterRequests) {
  InMemoryRelay relay(InMemoryRelay::Mode::PeerToPeer, 2, 1);
  std::mt19937 rng(2);
  const uint32_t id = relay.board(0).commitObject(randomPicture(rng, {1, 1}), 2);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(relay.drain());
  const PageObject* sent = relay.board(0).findPage(2)->findEntry(id);
  const PageObject* got = relay.board(1).findPage(2)->findEntry(id);
  ASSERT_TRUE(got);
  EXPECT_FALSE(got->bulk.empty());
  EXPECT_EQ(got->bulk, sent->bulk);
  EXPECT_TRUE(static_cast<const ImageObject&>(*got->object).hasPixels());
  // The kept copy answers a later request as a transfer again.
  const auto again = relay.board(1).itemMessages(2, id, BulkForm::Transfer);
  ASSERT_GE(again.size(), 4u);
  EXPECT_EQ(codeOf(again[1][0]), toByte(MessageCode::kTransferBegin));
}

TEST(BoardTransfers, TheTableRefusesOversizeAndMakesRoomByDroppingTheOldest) {
  TransferTable t(TransferLimits{1000, 1500, 3});
  EXPECT_EQ(t.begin(1, 1, 1, 1001), TransferTable::BeginResult::Refused);
  EXPECT_EQ(t.begin(1, 1, 1, 0), TransferTable::BeginResult::Refused);
  EXPECT_EQ(t.begin(1, 1, 1, 800), TransferTable::BeginResult::Started);
  EXPECT_EQ(t.begin(1, 1, 1, 800), TransferTable::BeginResult::Duplicate);
  EXPECT_EQ(t.begin(2, 1, 1, 800), TransferTable::BeginResult::Started);  // drops 1
  EXPECT_FALSE(t.contains(1));
  EXPECT_EQ(t.begin(3, 1, 1, 100), TransferTable::BeginResult::Started);
  EXPECT_EQ(t.begin(4, 1, 1, 100), TransferTable::BeginResult::Started);
  EXPECT_EQ(t.begin(5, 1, 1, 100), TransferTable::BeginResult::Started);  // count: drops 2
  EXPECT_FALSE(t.contains(2));
  EXPECT_LE(t.announcedBytes(), 1500u);
  const Bytes chunk(60, 1);
  EXPECT_EQ(t.chunk(3, chunk), TransferTable::ChunkResult::Appended);
  EXPECT_EQ(t.chunk(3, chunk), TransferTable::ChunkResult::Overflow);
  EXPECT_FALSE(t.contains(3));
  EXPECT_FALSE(t.end(4).has_value());  // nothing arrived
  EXPECT_LE(t.heldBytes(), 200u);
}

TEST(BoardTransfers, ClearingAPageKeepsItsBackgroundComing) {
  InMemoryRelay relay(InMemoryRelay::Mode::PeerToPeer, 2, 1);
  TestBoard& a = relay.node(0);
  Bytes file(50000);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 7919 >> 3);
  a.files.files["C:\\bg.bmp"] = file;
  std::mt19937 rng(3);
  a->commitObject(makeObject(11, rng, 11));  // something in flight, so the queue holds the rest
  ASSERT_TRUE(a->setBackgroundFile("C:\\bg.bmp"));
  ASSERT_TRUE(a->clearPage());
  ASSERT_TRUE(relay.drain());
  EXPECT_TRUE(sameBoards(BoardSnapshot::of(a), BoardSnapshot::of(relay.node(1))));
  EXPECT_TRUE(relay.board(1).findPage(1)->hasBackgroundFile());
}

}  // namespace
}  // namespace scribly::testing
