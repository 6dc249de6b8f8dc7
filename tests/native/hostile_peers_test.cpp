// What a peer's messages can make a board hold, write or lose.
#include <gtest/gtest.h>

#include "board_test_support.h"
#include "picture_bombs.h"

namespace scribly::testing {
namespace {

Bytes pictureRecord(int32_t side) {
  ImageObject picture;
  picture.setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({side, side}));
  return saveRecord(picture);
}

// A background file's envelope: the format code and the file's bytes.
Bytes backgroundEnvelope(uint32_t format, const Bytes& file) {
  ByteWriter payload;
  payload.u32(format).bytes(file);
  return Compress(payload.data());
}

TEST(HostilePeers, TwoHundredPictureBombsLeaveTheBoardWithinItsBudget) {
  BoardOptions options;
  options.maxPictureBytes = size_t{16} << 20;
  TestBoard b(true, options);
  b->initialize(11, 12);
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
    ASSERT_LE(b->heldPictureBytes(), options.maxPictureBytes) << "message " << i;
  }
  // What fits still arrives.
  b.receive(CreateObject{14, 1, 5000, pictureRecord(100)});
  b.receive(BulkData{1, 5000, rawBulk(100, 100)});
  EXPECT_TRUE(static_cast<ImageObject*>(b->findPage(1)->findObject(5000))->hasPixels());
}

TEST(HostilePeers, BackgroundFilesOfPeersNeverOverwriteOthersAndGoWhenReplaced) {
  TestBoard b;
  b->initialize(11, 12);
  b.files.files["C:\\mine.jpg"] = Bytes(300, 7);
  ASSERT_TRUE(b->setBackgroundFile("C:\\mine.jpg"));
  const std::string mine = b->findPage(1)->backgroundPath();
  const uint32_t number = b->findPage(1)->backgroundNumber();
  auto receive = [&](uint32_t page, uint32_t fileNumber, uint8_t fill) {
    b.receive(BackgroundAnnounce{page, fileNumber});
    b.receive(BulkData{page, fileNumber, backgroundEnvelope(3, Bytes(200, fill))});
    return b->findPage(page)->backgroundPath();
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

TEST(HostilePeers, ReceivedBackgroundsStayWithinTheirRoomOnDisk) {
  BoardOptions options;
  options.maxReceivedBackgroundBytes = 100000;
  TestBoard b(true, options);
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
    ASSERT_LE(onDisk(), options.maxReceivedBackgroundBytes) << page;
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

TEST(HostilePeers, IdsAPeerTookFirstAreSkippedAndItsKeysLeaveOthersTransfers) {
  TestBoard b;
  b->initialize(11, 12);
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
}

}  // namespace
}  // namespace scribly::testing
