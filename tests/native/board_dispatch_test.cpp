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
  // No page has id 0: a creation naming it makes none, which a report could not rebuild.
  const size_t pages = b->pages().size();
  EXPECT_FALSE(b.dispatch(rectCreation(0, 501)));
  EXPECT_EQ(b->pages().size(), pages);
  EXPECT_EQ(b->findPage(0), nullptr);
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

// The peer's acknowledgement of one flagged message lets two waiting ones go.
TEST(BoardDispatch, AnAcknowledgementReleasesTwoQueuedMessages) {
  TestBoard b;
  b->initialize(11, 12);
  b.host.sent.clear();
  for (int i = 0; i < 5; ++i) ASSERT_NE(b->addUserPage(), 0u);
  ASSERT_EQ(b.host.sent.size(), 1u);
  EXPECT_EQ(b->sendQueue().waiting(kLevelFirst), 4u);
  ASSERT_TRUE(b.receive(Acknowledgement{}, false));
  ASSERT_EQ(b.host.sent.size(), 3u);
  for (const auto& s : b.host.sent) EXPECT_TRUE(isQueued(s.bytes[0]));
  ASSERT_TRUE(b.receive(Acknowledgement{}, false));
  EXPECT_EQ(b.host.sent.size(), 5u);
  EXPECT_FALSE(b->sendQueue().ready());
  ASSERT_TRUE(b.receive(Acknowledgement{}, false));
  EXPECT_TRUE(b->sendQueue().ready());
}

TEST(BoardDispatch, ScaleCodesOutsideTheTableMeanFullSize) {
  TestBoard b;
  b->initialize(11, 12);
  b.files.files["C:\\a.jpg"] = Bytes(100, 7);
  ASSERT_TRUE(b->setBackgroundFile("C:\\a.jpg"));
  b.receive(BackgroundScale{1, 3});
  EXPECT_EQ(b->findPage(1)->scale(), 0.75f);
  b.receive(BackgroundScale{1, 11});
  EXPECT_EQ(b->findPage(1)->scale(), 1.0f);
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
  EXPECT_EQ(b.host.askedIds(), (std::vector<uint32_t>{801, 900}));
}

// A list the server made before this board's own removal reached it still
// names what the board removed. Asking for it again would bring it back on
// this board alone: a clear drops a delete still waiting in the queue, so the
// server may see the request before any removal.
TEST(BoardDispatch, PageContentsListNeverAsksBackWhatThisBoardRemoved) {
  TestBoard b(false);
  b->initialize(11, 77);
  b.receive(IdRangeGrant{5000, 5100}, false);
  std::mt19937 rng(4);
  const uint32_t deleted = b->commitObject(makeObject(12, rng, 11), 1);
  const uint32_t cleared = b->commitObject(makeObject(13, rng, 11), 2);
  b.files.files["C:\\a.bmp"] = Bytes(40, 1);
  b.files.files["C:\\b.bmp"] = Bytes(40, 2);
  ASSERT_EQ(b->goToPage(3, false), 3u);
  ASSERT_TRUE(b->setBackgroundFile("C:\\a.bmp"));
  const uint32_t replaced = b->findPage(3)->backgroundNumber();
  ASSERT_TRUE(b->setBackgroundFile("C:\\b.bmp"));
  ASSERT_TRUE(b->deleteObject(1, deleted));
  ASSERT_TRUE(b->clearPage(2));
  b.acknowledgeAll();
  b.host.sent.clear();

  b.receive(PageContents{1, {deleted, 4999}});
  b.receive(PageContents{2, {cleared}});
  b.receive(PageContents{3, {replaced}});
  b.acknowledgeAll();
  EXPECT_EQ(b.host.askedIds(), std::vector<uint32_t>{4999});
}

Size pictureSize(Board& b, uint32_t page, uint32_t id) {
  const auto& image = static_cast<const ImageObject&>(*b.findPage(page)->findObject(id));
  return {image.pictureWidth(), image.pictureHeight()};
}

// The sender turns a picture's pixels, and the turn travels ahead of them
// (level 1 leaves before level 2). Every board must end as the sender did,
// and a copy made later from any board must show the pixels turned.
TEST(BoardTransfers, ATurnThatOvertakesAPicturesPixelsIsReplayedOnThem) {
  TestBoard ann, bob, cid;
  ann->initialize(11, 12);
  bob->initialize(12, 11);
  const uint32_t id = ann->commitObject(gradientPicture(60, 30, {100, 100}), 1);
  ASSERT_NE(id, 0u);
  auto change = [](MessageCode code, uint32_t value) {
    ObjectChange c;
    c.code = code;
    c.value = value;
    return c;
  };
  ASSERT_TRUE(ann->changeObject(1, id, change(MessageCode::kSetOrientation, 3)));  // turn left
  ASSERT_TRUE(
      ann->changeObject(1, id, change(MessageCode::kMoveTo, PackedPoint::pack({300, 40}).value)));
  ASSERT_TRUE(ann->changeObject(1, id, change(MessageCode::kSetOrientation, 2)));  // mirror
  ASSERT_TRUE(ann->changeObject(1, id, change(MessageCode::kSetBrightness, 20)));
  ann.acknowledgeAll();
  const std::vector<uint8_t> codes = ann.host.sentCodes();
  const auto turn = std::find(codes.begin(), codes.end(), toByte(MessageCode::kSetOrientation));
  const auto pixels = std::find(codes.begin(), codes.end(), toByte(MessageCode::kTransferBegin));
  ASSERT_LT(turn, pixels) << "the turn no longer overtakes the pixels";

  for (const auto& s : ann.host.sent) bob.dispatch(s.bytes);
  EXPECT_EQ(pictureSize(*ann, 1, id), (Size{30, 60}));
  EXPECT_EQ(pictureSize(*bob, 1, id), (Size{30, 60}));
  EXPECT_TRUE(sameBoards(BoardSnapshot::of(ann), BoardSnapshot::of(bob)));

  // Bob's kept copy answers a later request as a transfer again.
  const auto again = bob->itemMessages(1, id, BulkForm::Transfer);
  ASSERT_GE(again.size(), 4u);
  EXPECT_EQ(codeOf(again[1][0]), toByte(MessageCode::kTransferBegin));
  for (const Bytes& m : again) cid.dispatch(m);
  EXPECT_EQ(pictureSize(*cid, 1, id), (Size{30, 60}));
  EXPECT_TRUE(sameBoards(BoardSnapshot::of(bob), BoardSnapshot::of(cid)));
}

// A turn is a 13-byte message: it moves the pixels shown and leaves the kept
// record as it travelled until someone asks for it.
TEST(BoardTransfers, TurnsWorkIntoTheKeptRecordOnlyWhenItIsAskedFor) {
  TestBoard b;
  const auto picture = gradientPicture(60, 30, {100, 100});
  const Bytes bulk = saveBulkRecord(*picture);
  ASSERT_TRUE(b.receive(CreateObject{14, 1, 700, saveRecord(*picture)}));
  ASSERT_TRUE(b.receive(BulkData{1, 700, bulk}));
  const SetObjectValue turnLeft{toByte(MessageCode::kSetOrientation), 1, 700, 3};
  for (int i = 0; i < 101; ++i) ASSERT_TRUE(b.receive(turnLeft));
  EXPECT_EQ(b->findPage(1)->findEntry(700)->bulk, bulk);
  TestBoard copy;
  for (const Bytes& m : b->itemMessages(1, 700, BulkForm::OneMessage)) copy.dispatch(m);
  EXPECT_EQ(pictureSize(*copy, 1, 700), (Size{30, 60}));
}

// What waits for pixels is bounded over all pictures; a picture past the
// bound shows its pixels as they come, and a deleted one frees its share.
TEST(BoardTransfers, ChangesWaitingForPixelsAreBounded) {
  BoardOptions options;
  options.maxPendingTurnBytes = 60;  // one record and one turn, not two
  TestBoard b(true, options);
  const auto picture = gradientPicture(60, 30, {100, 100});
  const Bytes record = saveRecord(*picture);
  const Bytes bulk = saveBulkRecord(*picture);
  for (uint32_t id : {700u, 701u, 702u}) b.dispatch(build(CreateObject{14, 1, id, record}));
  const SetObjectValue turnLeft{toByte(MessageCode::kSetOrientation), 1, 0, 3};
  auto turn = [&](uint32_t id) {
    SetObjectValue m = turnLeft;
    m.objectId = id;
    return b.receive(m);
  };
  ASSERT_TRUE(turn(700));
  ASSERT_TRUE(turn(701));  // no room left: not kept
  ASSERT_TRUE(b.receive(DeleteObject{1, 700}));
  ASSERT_TRUE(turn(702));  // the deleted picture's share is free again
  for (uint32_t id : {701u, 702u}) ASSERT_TRUE(b.receive(BulkData{1, id, bulk}));
  EXPECT_EQ(pictureSize(*b, 1, 701), (Size{60, 30}));
  EXPECT_EQ(pictureSize(*b, 1, 702), (Size{30, 60}));
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
