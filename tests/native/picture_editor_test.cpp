// The picture editor driven as the panel drives it, on a board wired to a
// peer: what the sender shows, and that the peer ends with the same picture.
#include "images/picture_editor.h"

#include <gtest/gtest.h>

#include "board/silent_surroundings.h"
#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

class PictureEditorTest : public ::testing::Test {
 protected:
  PictureEditorTest() { EXPECT_TRUE(relay.drain()); }

  // Inserts a picture in a w x h box at (20, 30), selected, and follows it:
  // noisy enough that its JPEG form differs. The JPEG form needs some
  // pixels, so small boxes show more.
  void insert(uint16_t w, uint16_t h, uint16_t pw = 48, uint16_t ph = 48) {
    auto picture = gradientPicture(pw, ph, {20, 30}, &relay.rng());
    picture->setPoints(PackedPoint::pack({20, 30}), PackedPoint::pack({20 + w, 30 + h}));
    picture->setReferenceSize();
    ASSERT_TRUE(tools.insertPicture(std::move(picture)));
    ASSERT_TRUE(editor.follow());
  }
  const std::vector<PageObject>& own() { return relay.board(0).currentPage()->objects(); }
  const std::vector<PageObject>& peers() {
    EXPECT_TRUE(relay.drain());
    return relay.board(1).currentPage()->objects();
  }
  static const ImageObject& picture(const std::vector<PageObject>& objects) {
    EXPECT_EQ(objects.size(), 1u);
    return static_cast<const ImageObject&>(*objects.back().object);
  }
  size_t sentCount(MessageCode code) {
    EXPECT_TRUE(relay.drain());
    return relay.node(0).host.countSent(code);
  }
  // Both boards hold one picture with the same record, pixels and box.
  void expectSamePictureOnBothSides() {
    const ImageObject& mine = picture(own());
    const ImageObject& theirs = picture(peers());
    EXPECT_EQ(saveRecord(theirs), saveRecord(mine));
    EXPECT_EQ(theirs.pictureWidth(), mine.pictureWidth());
    EXPECT_EQ(theirs.pictureHeight(), mine.pictureHeight());
    EXPECT_TRUE(theirs.pixels() == mine.pixels());
  }

  InMemoryRelay relay{InMemoryRelay::Mode::PeerToPeer, 2, 7};
  SilentToolSurroundings view;
  DrawingTools tools{*relay.node(0).board, view, 1};
  PictureEditor editor{relay.board(0), tools};
};

TEST_F(PictureEditorTest, SizeIsAPercentageOfTheBaseBoxKeepingItsPlace) {
  insert(3, 3);
  EXPECT_TRUE(editor.setSize(-50));
  EXPECT_EQ(picture(peers()).box(), (Rect{20, 30, 21, 31}));
  EXPECT_FALSE(editor.setSize(-50));
  EXPECT_TRUE(editor.setSize(0));
  EXPECT_EQ(picture(peers()).box(), (Rect{20, 30, 23, 33}));
  EXPECT_TRUE(editor.setSize(100));
  EXPECT_EQ(picture(own()).box(), (Rect{20, 30, 26, 36}));
  EXPECT_EQ(sentCount(MessageCode::kSetPoints), 3u);
  expectSamePictureOnBothSides();
}

TEST_F(PictureEditorTest, AnAngleTurnsTheBaseOnceAndReplacesThePicture) {
  insert(40, 20, 80, 60);
  EXPECT_TRUE(editor.turn(90));
  EXPECT_FALSE(editor.turn(90));
  EXPECT_EQ(sentCount(MessageCode::kDeleteObject), 1u);
  const ImageObject& turned = picture(own());
  EXPECT_EQ(turned.pictureWidth(), 60);
  EXPECT_EQ(turned.pictureHeight(), 80);
  // Turned about the centre (40, 40).
  EXPECT_EQ(turned.box(), (Rect{30, 20, 50, 60}));
  EXPECT_EQ(tools.selection()->object, own().back().id);

  // Typed digit by digit: 4 then 45 turns the base by 45, not by 49.
  EXPECT_TRUE(editor.turn(4));
  EXPECT_TRUE(editor.turn(45));
  const Rect at45 = turnedBox({20, 30, 60, 50}, 45);
  EXPECT_EQ(picture(own()).box(), at45);
  EXPECT_TRUE(editor.turn(90));
  EXPECT_EQ(picture(own()).box(), (Rect{30, 20, 50, 60}));

  for (double refused : {0.0, 360.0, -360.0, 1e9}) EXPECT_FALSE(editor.turn(refused));
  EXPECT_EQ(sentCount(MessageCode::kDeleteObject), 4u);
  expectSamePictureOnBothSides();
}

TEST_F(PictureEditorTest, AnAngleStartsFromAQuarterTurnMadeOutsideTheEditor) {
  insert(40, 20, 80, 60);
  // The context menu's quarter turn, while the editor follows the picture.
  tools.setPictureValue(MessageCode::kSetOrientation, 4);
  EXPECT_TRUE(editor.follow());
  EXPECT_TRUE(editor.turn(90));
  const ImageObject& turned = picture(own());
  EXPECT_EQ(turned.pictureWidth(), 80);
  EXPECT_EQ(turned.pictureHeight(), 60);
  EXPECT_EQ(turned.box(), (Rect{20, 30, 60, 50}));
  expectSamePictureOnBothSides();
}

TEST_F(PictureEditorTest, ATurnedBrightenedResizedPictureIsTheSameOnThePeer) {
  insert(64, 48, 64, 48);
  EXPECT_TRUE(editor.turn(30));
  EXPECT_TRUE(editor.setBrightness(40));
  EXPECT_TRUE(editor.setContrast(-20));
  EXPECT_TRUE(editor.setSize(-25));
  EXPECT_TRUE(editor.reorient(Orientation::MirrorLeftRight));
  EXPECT_TRUE(editor.reorient(Orientation::TurnRight));
  expectSamePictureOnBothSides();
  int32_t value = 0;
  EXPECT_TRUE(picture(peers()).getBrightness(value));
  EXPECT_EQ(value, 40);
}

TEST_F(PictureEditorTest, ResetClearsTheAdjustmentsButKeepsTheMirror) {
  insert(64, 32, 64, 32);
  const std::vector<uint8_t> before = picture(own()).pixels();
  EXPECT_TRUE(editor.reorient(Orientation::MirrorLeftRight));
  EXPECT_TRUE(editor.setBrightness(30));
  EXPECT_TRUE(editor.setSize(50));
  editor.reset();
  EXPECT_EQ(editor.brightness(), 0);
  EXPECT_EQ(editor.size(), 0);
  const ImageObject& shown = picture(peers());
  EXPECT_EQ(shown.box(), (Rect{20, 30, 84, 62}));
  int32_t brightness = -1;
  EXPECT_TRUE(shown.getBrightness(brightness));
  EXPECT_EQ(brightness, 0);
  EXPECT_FALSE(picture(own()).pixels() == before);
  expectSamePictureOnBothSides();
}

TEST_F(PictureEditorTest, NothingHappensWithoutASelectedPictureOrTheWritePrivilege) {
  EXPECT_FALSE(editor.follow());
  EXPECT_FALSE(editor.setSize(-50));
  EXPECT_FALSE(editor.turn(30));
  EXPECT_FALSE(editor.reorient(Orientation::TurnLeft));
  insert(50, 50);
  relay.board(0).setPrivilegeWord(0);
  EXPECT_FALSE(editor.setSize(-50));
  EXPECT_FALSE(editor.turn(30));
  relay.board(0).setPrivilegeWord(kPrivilegeWrite);
  EXPECT_TRUE(editor.setSize(-50));
  // A peer deletes the picture while it is being edited.
  ASSERT_EQ(peers().size(), 1u);
  relay.node(1).board->deleteObject(0, own().back().id);
  EXPECT_TRUE(relay.drain());
  EXPECT_FALSE(editor.setBrightness(10));
  EXPECT_FALSE(editor.turn(30));
  EXPECT_TRUE(own().empty());
}

}  // namespace
}  // namespace scribly::testing
