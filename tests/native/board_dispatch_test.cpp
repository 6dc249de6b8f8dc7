// The dispatcher and the transfer table: what a peer's message does, and what
// hostile messages can make a board hold, write or lose.
#include <gtest/gtest.h>

#include "tests/native/board_test_support.h"
#include "tests/native/picture_bombs.h"

namespace scribly::testing {
namespace {

TEST(BoardDispatch, CreationMakesAMissingPageFlaggedOnesAreAcknowledgedAndKindsKeepTheirs) {
  TestBoard b;
  ASSERT_TRUE(b.dispatch(rectCreation(12, 500)));
  ASSERT_NE(b->findPage(12), nullptr);
  EXPECT_EQ(b.view.contents.front(), (FakeView::Note{ContentsChange::PageAdded, 12}));
  EXPECT_FALSE(b.dispatch(queued(rectCreation(12, 500))));
  EXPECT_EQ(b->findPage(12)->objects().size(), 1u);
  // No page has id 0: a creation naming it makes none, which a report could not rebuild.
  const size_t pages = b->pages().size();
  EXPECT_FALSE(b.dispatch(rectCreation(0, 501)));
  EXPECT_EQ(b->pages().size(), pages);
  EXPECT_EQ(b->findPage(0), nullptr);
  // Flagged ones are acknowledged, even a duplicate, and only peer to peer.
  ASSERT_EQ(b.host.sent.size(), 1u);
  EXPECT_EQ(b.host.sent[0].bytes, Bytes{0xA0});
  TestBoard server(false);
  server.dispatch(queued(rectCreation(1, 601)));
  EXPECT_EQ(server.host.countSent(MessageCode::kAcknowledgement), 0u);

  // A property for another kind changes only what that kind has.
  std::mt19937 rng(5);
  b.dispatch(build(CreateObject{14, 1, 700, saveRecord(*randomPicture(rng, {5, 5}))}));
  const Bytes before = saveRecord(*b->findPage(1)->findObject(700));
  EXPECT_FALSE(b.receive(SetObjectValue{42, 1, 700, 0xFF}));
  EXPECT_FALSE(b.receive(SetObjectWidth{1, 700, 9}));
  EXPECT_EQ(saveRecord(*b->findPage(1)->findObject(700)), before);
  EXPECT_TRUE(b.receive(SetObjectValue{52, 1, 700, 40}));
  EXPECT_NE(saveRecord(*b->findPage(1)->findObject(700)), before);
}

// The peer's acknowledgement of one flagged message lets two waiting ones go.
TEST(BoardDispatch, AnAcknowledgementReleasesTwoQueuedMessages) {
  JoinedBoard b;
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

// A list the server made before this board's own removal reached it still
// names what the board removed. Asking for it again would bring it back on
// this board alone: a clear drops a delete still waiting in the queue, so the
// server may see the request before any removal.
TEST(BoardDispatch, PageContentsListAsksForWhatIsMissingButNeverWhatThisBoardRemoved) {
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
  b.dispatch(build(BackgroundAnnounce{1, 900}));
  b.acknowledgeAll();
  b.host.sent.clear();

  // What is missing, a background as well, is asked for, each reply waiting
  // for the last one's acknowledgement.
  b.receive(PageContents{1, {deleted, 4999, 900}});
  b.receive(PageContents{2, {cleared}});
  b.receive(PageContents{3, {replaced}});
  EXPECT_EQ(b.host.askedIds(), std::vector<uint32_t>{4999});
  b.acknowledgeAll();
  EXPECT_EQ(b.host.askedIds(), (std::vector<uint32_t>{4999, 900}));
}

Size pictureSize(Board& b, uint32_t page, uint32_t id) {
  const auto& image = static_cast<const ImageObject&>(*b.findPage(page)->findObject(id));
  return {image.pictureWidth(), image.pictureHeight()};
}

// The sender turns a picture's pixels, and the turn travels ahead of them
// (level 1 leaves before level 2). Every board must end as the sender did,
// and a copy made later from any board must show the pixels turned.
TEST(BoardTransfers, ATurnThatOvertakesAPicturesPixelsIsReplayedOnThem) {
  JoinedBoard ann;
  TestBoard bob, cid;
  bob->initialize(12, 11);
  const uint32_t id = ann->commitObject(gradientPicture(60, 30, {100, 100}), 1);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(
      ann->changeObject(1, id, objectChange(MessageCode::kSetOrientation, 3)));  // turn left
  ASSERT_TRUE(ann->changeObject(
      1, id, objectChange(MessageCode::kMoveTo, PackedPoint::pack({300, 40}).value)));
  ASSERT_TRUE(ann->changeObject(1, id, objectChange(MessageCode::kSetOrientation, 2)));  // mirror
  ASSERT_TRUE(ann->changeObject(1, id, objectChange(MessageCode::kSetBrightness, 20)));
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
  // Room for one record and one turn, not two.
  TestBoard b(true, withOption(&BoardOptions::maxPendingTurnBytes, 60));
  const auto picture = gradientPicture(60, 30, {100, 100});
  const Bytes record = saveRecord(*picture);
  const Bytes bulk = saveBulkRecord(*picture);
  for (uint32_t id : {700u, 701u, 702u}) b.dispatch(build(CreateObject{14, 1, id, record}));
  auto turn = [&](uint32_t id) {
    return b.receive(SetObjectValue{toByte(MessageCode::kSetOrientation), 1, id, 3});
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

// A background file's envelope: the format code and the file's bytes.
Bytes backgroundEnvelope(uint32_t format, const Bytes& file) {
  ByteWriter payload;
  payload.u32(format).bytes(file);
  return Compress(payload.data());
}

TEST(HostilePeers, TwoHundredPictureBombsLeaveTheBoardWithinItsBudget) {
  constexpr size_t kBudget = size_t{16} << 20;
  JoinedBoard b(withOption(&BoardOptions::maxPictureBytes, kBudget));
  // Each a few kilobytes on the wire: 48 MB of pixels in a box that shows
  // them at half size, the same as an arithmetic-coded JPEG, 12 MB as a JPEG
  // of ours (one fits), and a background file that decodes to 18 MB.
  const Bytes raw = rawBulk(4000, 4000);
  const Bytes arithmetic = jpegBulk(4000, 4000, arithmeticJpeg(4000, 4000));
  ImageObject plain;
  ASSERT_TRUE(plain.attachPixels(Bytes(pictureBytes(2000, 2000), 90), 2000, 2000, {0, 0}, {1, 1}));
  const Bytes ours = saveBulkRecord(plain);
  const Bytes background = backgroundEnvelope(1, Bytes(60000, 0));
  for (uint32_t i = 0; i < 200; ++i) {
    const uint32_t id = 1000 + i;
    if (i % 4 == 3) {
      b.receive(BackgroundAnnounce{1, id});
      b.receive(BulkData{1, id, background});
    } else {
      b.receive(CreateObject{14, 1, id, pictureRecord(2000)});
      b.receive(BulkData{1, id, i % 4 == 0 ? raw : i % 4 == 1 ? arithmetic : ours});
    }
    ASSERT_LE(b->heldPictureBytes(), kBudget) << "message " << i;
  }
  // What fits still arrives.
  b.receive(CreateObject{14, 1, 5000, pictureRecord(100)});
  b.receive(BulkData{1, 5000, rawBulk(100, 100)});
  EXPECT_TRUE(static_cast<ImageObject*>(b->findPage(1)->findObject(5000))->hasPixels());
}

TEST(HostilePeers, ReceivedBackgroundsStayWithinTheirRoomOnDisk) {
  constexpr size_t kRoom = 100000;
  TestBoard b(true, withOption(&BoardOptions::maxReceivedBackgroundBytes, kRoom));
  auto onDisk = [&] {
    size_t bytes = 0;
    for (const auto& [path, file] : b.files.files) bytes += file.size();
    return bytes;
  };
  // Thirty kilobytes each, in a hundred bytes.
  const Bytes envelope = backgroundEnvelope(1, Bytes(30000, 0));
  for (uint32_t page = 10; page < 20; ++page) {
    b.receive(BackgroundAnnounce{page, 500 + page});
    b.receive(BulkData{page, 500 + page, envelope});
    ASSERT_LE(onDisk(), kRoom) << page;
  }
  EXPECT_FALSE(b->findPage(19)->hasBackgroundFile());
  // A removed page makes room.
  b->removePage(10, 0, false);
  b.receive(BulkData{19, 519, envelope});
  EXPECT_TRUE(b->findPage(19)->hasBackgroundFile());
}

TEST(HostilePeers, FontsOfPeersStayWithinWhatTheFontChooserOffers) {
  TestBoard b;
  FontRecord huge;
  huge.height = -1000000;
  huge.width = 1 << 30;
  huge.escapement = huge.orientation = 900;
  huge.weight = 5000;
  huge.italic = 0x80;
  huge.setFace("Arial");
  FontRecord expected = huge;
  expected.height = -FontRecord::kMaxHeight;
  expected.width = FontRecord::kMaxHeight;
  expected.escapement = expected.orientation = 0;
  expected.weight = FontRecord::kMaxWeight;
  expected.italic = 1;
  auto fontOf = [&](uint32_t id) {
    FontRecord font;
    b->findPage(1)->findObject(id)->getFont(font);
    return font;
  };
  // In a text's record, and set on a hand symbol.
  TextObject text;
  text.setText("hello");
  text.setFont(huge);
  ASSERT_TRUE(b.receive(CreateObject{15, 1, 700, saveRecord(text)}));
  EXPECT_EQ(fontOf(700), expected);
  ASSERT_TRUE(b.receive(CreateObject{17, 1, 701, saveRecord(HandSymbolObject(5, {1, 1}))}));
  SetObjectFont change{1, 701, {}};
  ByteWriter bytes;
  huge.write(bytes);
  std::copy(bytes.data().begin(), bytes.data().end(), change.font.begin());
  ASSERT_TRUE(b.receive(change));
  EXPECT_EQ(fontOf(701), expected);
}

TEST(HostilePeers, IdsKeysAndFileNumbersAPeerTookFirstLeaveThisBoardsOwnAlone) {
  JoinedBoard b;
  // This side counts down from -101: the peer takes the next two ids first.
  const uint32_t next = static_cast<uint32_t>(-101);
  const Bytes record = saveRecord(*gradientPicture(60, 30, {0, 0}));
  ASSERT_TRUE(b.receive(CreateObject{14, 1, next, record}));
  ASSERT_TRUE(b.receive(AddPage{next - 1, "theirs"}));
  const uint32_t object = b->commitObject(gradientPicture(60, 30, {5, 5}), 1);
  EXPECT_NE(object, 0u);
  EXPECT_NE(object, next);
  EXPECT_TRUE(b->findPage(1)->findObject(object));
  const uint32_t page = b->addUserPage();
  EXPECT_NE(page, next - 1);
  EXPECT_EQ(b->findPage(next - 1)->name(), "theirs");

  // Another sender's begin under an open key does not cancel it; the same
  // sender's starts it over.
  ASSERT_TRUE(b.receive(TransferBegin{900, 21, 1, 10}));
  const uint8_t half[5] = {1, 2, 3, 4, 5};
  ASSERT_TRUE(b.receive(TransferChunk{900, half}));
  EXPECT_FALSE(b.receive(TransferBegin{900, 22, 1, 4}));
  ASSERT_TRUE(b.receive(TransferChunk{900, half}));
  EXPECT_EQ(b->transfers().heldBytes(), 10u);
  ASSERT_TRUE(b.receive(TransferBegin{900, 21, 1, 4}));
  EXPECT_EQ(b->transfers().heldBytes(), 0u);

  // Nor do its background files overwrite this board's own.
  b.files.files["C:\\mine.jpg"] = Bytes(300, 7);
  ASSERT_TRUE(b->setBackgroundFile("C:\\mine.jpg"));
  const std::string mine = b->findPage(1)->backgroundPath();
  const uint32_t number = b->findPage(1)->backgroundNumber();
  auto receive = [&](uint32_t on, uint32_t fileNumber, uint8_t fill) {
    b.receive(BackgroundAnnounce{on, fileNumber});
    b.receive(BulkData{on, fileNumber, backgroundEnvelope(3, Bytes(200, fill))});
    return b->findPage(on)->backgroundPath();
  };
  // A peer names this board's own number for a page of its own.
  const std::string first = receive(2, number, 1);
  EXPECT_EQ(b.files.files.at(mine), Bytes(300, 7));
  EXPECT_EQ(b.files.files.at(first), Bytes(200, 1));
  // Replaced, withdrawn or removed, a background takes its file along.
  const std::string second = receive(2, number + 1, 2);
  EXPECT_FALSE(b.files.files.count(first));
  ASSERT_TRUE(b->setBackgroundFile("C:\\mine.jpg"));
  EXPECT_FALSE(b.files.files.count(mine));
  b->removePage(2, 0, false);
  EXPECT_FALSE(b.files.files.count(second));
}

}  // namespace
}  // namespace scribly::testing
