// The tools driven as a hand drives the mouse, and the picture editor as its
// panel drives it, on a board wired to a peer: what leaves the board, what the
// peer then shows, and what the view and the frame are told.
#include "board/drawing_tools.h"

#include <gtest/gtest.h>

#include "board/selection_editing.h"
#include "board/silent_surroundings.h"
#include "images/picture_editor.h"
#include "tests/native/board_test_support.h"
#include "tests/native/recording_canvas.h"

namespace scribly::testing {
namespace {

struct FakeToolHost final : SilentToolSurroundings {
  struct Editor {
    Point at;
    FontRecord font;
    std::string text;
  };
  bool drawingEnabled = true;
  std::vector<uint32_t> toolButtons;
  std::vector<std::pair<uint32_t, uint32_t>> penStates;
  std::vector<std::pair<SelectionProperty, uint32_t>> properties;
  std::vector<Editor> editors;
  std::optional<std::string> chosenFile;
  std::vector<Point> cutOutline;

  void enableDrawing(bool enable) override { drawingEnabled = enable; }
  void toolButtonChanged(uint32_t key) override { toolButtons.push_back(key); }
  void penStateChanged(uint32_t bits, uint32_t style) override {
    penStates.push_back({bits, style});
  }
  void selectionProperty(SelectionProperty which, uint32_t value) override {
    properties.push_back({which, value});
  }
  void openTextEditor(Point at, const FontRecord& font, std::string_view text) override {
    editors.push_back({at, font, std::string(text)});
  }
  std::optional<std::string> choosePictureFile() override { return chosenFile; }
  // Only "a.bmp" exists: 64 x 48 pixels.
  bool loadPictureFile(ImageObject& image, const std::string& path, Point at) override {
    return path == "a.bmp" && attach(image, {64, 48}, at);
  }
  bool cutFromView(ImageObject& image, std::span<const Point> outline, Point at) override {
    cutOutline.assign(outline.begin(), outline.end());
    const Rect box = boundsOf(outline).inflated(1);
    return attach(image, {box.width(), box.height()}, at);
  }
  static bool attach(ImageObject& image, Size size, Point at) {
    const auto w = static_cast<uint16_t>(size.width), h = static_cast<uint16_t>(size.height);
    return image.attachPixels(std::vector<uint8_t>(pictureBytes(w, h), 0x80), w, h, at,
                              {at.x + w, at.y + h});
  }
};

class DrawingToolsTest : public ::testing::Test {
 protected:
  DrawingToolsTest() { EXPECT_TRUE(relay.drain()); }

  TestBoard& here() { return relay.node(0); }
  Board& peer() { return relay.board(1); }
  // What the peer shows once everything arrived.
  const std::vector<PageObject>& peerObjects() {
    EXPECT_TRUE(relay.drain());
    return peer().currentPage()->objects();
  }
  const std::vector<PageObject>& ownObjects() { return here()->currentPage()->objects(); }

  // Press, move through the points, release at the last one.
  void drag(Point from, std::initializer_list<Point> through) {
    tools.mouseDown(from);
    Point at = from;
    for (Point p : through) tools.mouseMove(at = p);
    tools.mouseUp(at);
  }
  void click(Point at) {
    tools.mouseDown(at);
    tools.mouseUp(at);
  }
  // The codes this board sent since the last call, once everything arrived;
  // acknowledgements left out.
  std::vector<uint8_t> sent() {
    EXPECT_TRUE(relay.drain());
    std::vector<uint8_t> codes;
    for (uint8_t code : here().host.sentCodes()) {
      if (code != toByte(MessageCode::kAcknowledgement)) codes.push_back(code);
    }
    here().host.sent.clear();
    return codes;
  }
  // A rectangle from (10, 10) to (110, 60) made with the tool; its id.
  uint32_t drawRect() {
    tools.selectTool(12);
    drag({10, 10}, {{60, 30}, {110, 60}});
    EXPECT_EQ(sent(), std::vector<uint8_t>{12});
    return ownObjects().back().id;
  }

  // The text "note" from (200, 200) to (260, 220), in a large font.
  void addNote() {
    auto note = std::make_unique<TextObject>();
    note->setText("note");
    note->setFont(largeFont());
    note->setPoints(PackedPoint::pack({200, 200}), PackedPoint::pack({260, 220}));
    ASSERT_NE(here()->commitObject(std::move(note)), 0u);
    sent();
  }
  FontRecord largeFont() const {
    FontRecord font = tools.pen().font;
    font.height = -40;
    return font;
  }

  InMemoryRelay relay{InMemoryRelay::Mode::PeerToPeer, 2, 7};
  FakeToolHost host;
  DrawingTools tools{*here().board, host, 1};
};

using Codes = std::vector<uint8_t>;

constexpr uint8_t code(ObjectKind kind) { return static_cast<uint8_t>(kind); }

TEST_F(DrawingToolsTest, ARectDragShowsOnThePeerAndMovingOrResizingItSendsOneChange) {
  const uint32_t id = drawRect();
  EXPECT_EQ(saveRecord(*peerObjects()[0].object), saveRecord(*ownObjects()[0].object));
  uint32_t colour = 0;
  EXPECT_TRUE(ownObjects()[0].object->getColour(colour));
  EXPECT_EQ(colour, tools.pen().colour);
  EXPECT_FALSE(host.holdsMouse());
  EXPECT_EQ(tools.activeObject(), nullptr);

  tools.selectTool(kChoiceTool);
  click({10, 45});  // on the left edge
  EXPECT_EQ(tools.selection(), (SelectedObject{1, id}));

  here().view.invalidated.clear();
  const int whole = here().view.wholeInvalidations;
  drag({10, 45}, {{20, 50}, {40, 65}});
  EXPECT_EQ(sent(), Codes{toByte(MessageCode::kMoveTo)});
  EXPECT_EQ(peerObjects()[0].object->firstPoint().unpack(), (Point{40, 30}));
  // Only the object's old and new areas repaint while it moves.
  EXPECT_EQ(here().view.wholeInvalidations, whole);
  ASSERT_FALSE(here().view.invalidated.empty());
  const Rect around = Rect{10, 10, 140, 80}.inflated(8);
  for (const Rect& r : here().view.invalidated) {
    EXPECT_TRUE(r.left >= around.left && r.top >= around.top && r.right <= around.right &&
                r.bottom <= around.bottom);
  }

  // The centre handle shows the move cursor, and moves; the polling may not
  // have taken the hand's last movement when the button goes up: the release
  // point ends the move all the same.
  tools.mouseMove({90, 55});
  EXPECT_EQ(tools.cursor(), ToolCursor::Move);
  tools.mouseDown({90, 55});
  tools.mouseUp({100, 65});
  EXPECT_EQ(sent(), Codes{toByte(MessageCode::kMoveTo)});
  EXPECT_EQ(peerObjects()[0].object->firstPoint().unpack(), (Point{50, 40}));

  // A corner handle resizes: the new corners travel.
  tools.mouseMove({150, 90});
  EXPECT_EQ(tools.cursor(), ToolCursor::SizeNwse);
  drag({150, 90}, {{170, 100}});
  EXPECT_EQ(sent(), Codes{toByte(MessageCode::kSetPoints)});
  EXPECT_EQ(peerObjects()[0].object->secondPoint().unpack(), (Point{170, 100}));
}

TEST_F(DrawingToolsTest, AClickWithADrawingToolSelectsWhatIsThereAndTheDeleteToolMarksIt) {
  const uint32_t id = drawRect();
  tools.selectTool(13);
  click({600, 600});
  EXPECT_EQ(sent(), Codes{});
  EXPECT_EQ(tools.tool(), 13);
  EXPECT_TRUE(host.toolButtons.empty());

  click({10, 45});
  EXPECT_EQ(tools.selection(), (SelectedObject{1, id}));
  EXPECT_EQ(ownObjects().size(), 1u);

  // The delete tool marks what the pointer rests on, and nothing once it left.
  tools.selectTool(kDeleteTool);
  auto markShown = [&] {
    RecordingCanvas canvas;
    tools.paint(canvas, {0, 0, 800, 600});
    return !canvas.with("pen geo 1 w1 00ff00").empty();
  };
  tools.mouseMove({10, 45});
  ASSERT_NE(tools.selection(), std::nullopt);
  EXPECT_EQ(tools.selection()->object, id);
  EXPECT_TRUE(markShown());
  tools.mouseMove({600, 600});
  EXPECT_EQ(tools.selection(), std::nullopt);
  EXPECT_FALSE(markShown());
  tools.mouseMove({10, 45});
  tools.mouseLeft();
  EXPECT_EQ(tools.selection(), std::nullopt);
}

TEST_F(DrawingToolsTest, APencilStrokeTravelsWithItsPointsAndALongOneIsNotCutShort) {
  EXPECT_EQ(tools.tool(), kPencilTool);
  // The release point ends the stroke though the polling missed it.
  tools.mouseDown({100, 100});
  tools.mouseMove({110, 105});
  tools.mouseMove({120, 115});
  tools.mouseUp({130, 130});
  EXPECT_EQ(sent(), Codes{10});
  const auto& stroke = static_cast<const PencilObject&>(*peerObjects()[0].object);
  const std::vector<Point> expected{{100, 100}, {110, 105}, {120, 115}, {130, 130}};
  EXPECT_EQ(std::vector<Point>(stroke.points().begin(), stroke.points().end()), expected);

  tools.mouseDown({0, 0});
  for (int i = 1; i <= 600; ++i) tools.mouseMove({i, i % 7});
  tools.mouseUp({600, 600 % 7});
  EXPECT_EQ(sent(), (Codes{10, 10}));
  ASSERT_EQ(peerObjects().size(), 3u);
  const auto& first = static_cast<const PencilObject&>(*peerObjects()[1].object);
  const auto& rest = static_cast<const PencilObject&>(*peerObjects()[2].object);
  EXPECT_EQ(first.points().size() + rest.points().size(), 602u);
  EXPECT_EQ(rest.points().front(), first.points().back());
  EXPECT_EQ(rest.points().back(), (Point{600, 600 % 7}));
}

TEST_F(DrawingToolsTest, TheFreeFormCutInsertsThePictureOfTheOutlineAndLeavesThePage) {
  drawRect();
  tools.selectTool(kFreeCutTool);
  drag({20, 20}, {{80, 20}, {80, 70}, {20, 70}});
  const Codes codes = sent();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), code(ObjectKind::Image)), 1);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), code(ObjectKind::Pencil)), 0);
  EXPECT_EQ(host.cutOutline, (std::vector<Point>{{20, 20}, {80, 20}, {80, 70}, {20, 70}}));
  ASSERT_EQ(peerObjects().size(), 2u);
  const BoardObject& picture = *peerObjects()[1].object;
  EXPECT_EQ(picture.kind(), ObjectKind::Image);
  EXPECT_EQ(picture.firstPoint().unpack(), (Point{4, 4}));
  EXPECT_EQ(picture.secondPoint().unpack(), (Point{4 + 62, 4 + 52}));
  EXPECT_EQ(tools.selection(), (SelectedObject{1, ownObjects()[1].id}));
  EXPECT_EQ(tools.tool(), kChoiceTool);
  EXPECT_EQ(host.toolButtons, std::vector<uint32_t>{0});
}

TEST_F(DrawingToolsTest, ThePenFollowsTheSelectionAndItsChangesReachThePeer) {
  ToolSettings painted{.width = 5, .style = kPenDot, .colour = 0x123456, .fill = 0x654321};
  ToolStart start = ObjectFactory().startFromTool(12, {10, 10}, painted);
  start.object->moveHandle(start.dragHandle, {110, 60});
  const uint32_t id = here()->commitObject(std::move(start.object));
  sent();

  addNote();

  // Every panel whose value changed shows the selection's.
  tools.selectTool(kChoiceTool);
  click({50, 30});  // filled: hit inside
  EXPECT_EQ(tools.pen().colour, 0x123456u);
  EXPECT_EQ(tools.pen().fill, 0x654321u);
  EXPECT_EQ(tools.pen().width, 5);
  EXPECT_EQ(host.penStates,
            (std::vector<std::pair<uint32_t, uint32_t>>{
                {kPenColourBit | kPenFillBit | kPenWidthBit | kPenStyleBit, kPenDot}}));
  host.penStates.clear();
  click({230, 210});
  EXPECT_EQ(tools.pen().font, largeFont());
  ASSERT_EQ(host.penStates.size(), 1u);
  EXPECT_TRUE(host.penStates[0].first & kPenFontBit);
  click({50, 30});

  tools.setColour(0x00AA00);
  tools.setColour(0x00AA00);
  EXPECT_EQ(sent(), Codes{toByte(MessageCode::kSetColor)});
  uint32_t colour = 0;
  peer().currentPage()->findObject(id)->getColour(colour);
  EXPECT_EQ(colour, 0x00AA00u);

  host.properties.clear();
  click({600, 600});
  EXPECT_EQ(tools.selection(), std::nullopt);
  EXPECT_EQ(host.properties.size(), 3u);
  tools.setColour(0x0000AA);
  EXPECT_EQ(sent(), Codes{});
}

TEST_F(DrawingToolsTest, APeersChangesMidDragLeaveASaneStateAndItsPageChangeWaitsForTheRelease) {
  const uint32_t id = drawRect();
  tools.selectTool(kChoiceTool);
  tools.mouseDown({10, 45});
  tools.mouseMove({20, 40});

  ASSERT_TRUE(peer().changeObject(1, id, objectChange(MessageCode::kSetColor, 0x0000AA)));
  ASSERT_TRUE(relay.drain());
  EXPECT_EQ(tools.pen().colour, 0x0000AAu);
  EXPECT_EQ(host.penStates, (std::vector<std::pair<uint32_t, uint32_t>>{{kPenColourBit, 0}}));

  ASSERT_TRUE(peer().deleteObject(1, id));
  ASSERT_TRUE(relay.drain());
  tools.mouseMove({40, 50});
  tools.mouseUp({40, 50});
  EXPECT_EQ(sent(), Codes{});
  EXPECT_EQ(tools.activeObject(), nullptr);
  EXPECT_FALSE(host.holdsMouse());
  EXPECT_TRUE(peerObjects().empty());

  // A peer's page change during a drag waits for the release.
  peer().setPrivilegeWord(kPrivilegeWrite | kPrivilegeLead);
  tools.selectTool(12);
  tools.mouseDown({10, 10});
  tools.mouseMove({50, 50});
  peer().goToPage(3, true);
  ASSERT_TRUE(relay.drain());
  EXPECT_EQ(here()->currentPageId(), 1u);
  tools.mouseUp({50, 50});
  EXPECT_EQ(here()->currentPageId(), 3u);
  EXPECT_EQ(here()->findPage(1)->objects().size(), 1u);
}

TEST_F(DrawingToolsTest, ViewPointsBecomePagePointsThroughTheScrollPosition) {
  EXPECT_EQ(tools.toPage({-5, 20}), (Point{0, 20}));
  here().view.bars[0] = ScrollInfo{0, 1200, 500, 0};
  ASSERT_TRUE(here().receive(Scroll{0, 100}));
  EXPECT_EQ(tools.toPage({-5, 20}), (Point{95, 20}));

  tools.selectTool(12);
  drag({10, 10}, {{110, 60}});
  const BoardObject& shown = *peerObjects()[0].object;
  EXPECT_EQ(shown.firstPoint().unpack(), (Point{110, 10}));
  EXPECT_EQ(shown.secondPoint().unpack(), (Point{210, 60}));
}

class SelectionEditingTest : public DrawingToolsTest {
 protected:
  SelectionEditing editing{*here().board, tools};
  static constexpr uint32_t kCopyDelete = itemBit(ContextItem::Copy) | itemBit(ContextItem::Delete);
  static constexpr uint32_t kPictureItems =
      itemBit(ContextItem::EditPicture) | itemBit(ContextItem::Turn) | itemBit(ContextItem::SaveTo);
};

TEST_F(SelectionEditingTest, OneCopyGivesOnePasteOverTheOriginalAndNoneOnceItsObjectIsGone) {
  drawRect();
  EXPECT_EQ(editing.prepareContextMenu({300, 300}), 0u);  // empty paper, nothing copied
  EXPECT_EQ(editing.prepareContextMenu({10, 30}), kCopyDelete);
  EXPECT_EQ(sent(), Codes{});  // a right click moves nothing

  editing.copy();
  EXPECT_EQ(editing.prepareContextMenu({10, 30}), kCopyDelete | itemBit(ContextItem::Paste));
  EXPECT_TRUE(editing.paste());
  EXPECT_EQ(sent(), Codes{12});
  ASSERT_EQ(peerObjects().size(), 2u);
  EXPECT_EQ(saveRecord(*peerObjects()[1].object), saveRecord(*peerObjects()[0].object));
  EXPECT_FALSE(editing.applicableItems() & itemBit(ContextItem::Paste));

  // The peer deletes what was copied; then a paste finds nothing to clone.
  editing.prepareContextMenu({10, 30});
  editing.copy();
  for (uint32_t id : {ownObjects()[0].id, ownObjects()[1].id}) {
    ASSERT_TRUE(peer().deleteObject(1, id));
  }
  ASSERT_TRUE(relay.drain());
  EXPECT_TRUE(ownObjects().empty());
  EXPECT_FALSE(editing.paste());
  EXPECT_EQ(sent(), Codes{});
  EXPECT_FALSE(editing.hasCopy());

  // The same after a reset.
  drawRect();
  editing.prepareContextMenu({10, 30});
  editing.copy();
  here()->reset();
  tools.reset();
  EXPECT_FALSE(editing.paste());
}

TEST_F(SelectionEditingTest, PicturesAndHandSymbolsAreInsertedSelectedAndOnlyPicturesCopy) {
  tools.insertHandSymbolCommand();
  const Codes codes = sent();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), code(ObjectKind::HandSymbol)), 1);
  ASSERT_EQ(peerObjects().size(), 1u);
  EXPECT_EQ(static_cast<const HandSymbolObject&>(*peerObjects()[0].object).userId(),
            InMemoryRelay::userIdOf(0));
  EXPECT_EQ(tools.selection(), (SelectedObject{1, ownObjects()[0].id}));
  EXPECT_EQ(tools.tool(), kChoiceTool);
  const Point hand = ownObjects()[0].object->firstPoint().unpack();
  EXPECT_EQ(editing.prepareContextMenu({hand.x + 2, hand.y + 2}), 0u);
  editing.copy();
  EXPECT_FALSE(editing.paste());  // no clone of a hand symbol
  EXPECT_EQ(sent(), Codes{});

  tools.selectTool(kImageTool);
  host.chosenFile = "missing.bmp";
  click({300, 200});
  EXPECT_EQ(ownObjects().size(), 1u);
  host.chosenFile = "a.bmp";
  click({300, 200});
  sent();
  ASSERT_EQ(peerObjects().size(), 2u);
  EXPECT_EQ(peerObjects()[1].object->firstPoint().unpack(), (Point{300, 200}));
  EXPECT_EQ(tools.selection(), (SelectedObject{1, ownObjects()[1].id}));
  EXPECT_EQ(tools.tool(), kImageTool);
  EXPECT_EQ(editing.prepareContextMenu({310, 210}), kCopyDelete | kPictureItems);
  editing.copy();
  ASSERT_TRUE(editing.paste());
  const Codes pasted = sent();
  EXPECT_EQ(std::count(pasted.begin(), pasted.end(), toByte(MessageCode::kTransferBegin)), 1);
  ASSERT_EQ(peerObjects().size(), 3u);
  EXPECT_EQ(saveRecord(*peerObjects()[2].object), saveRecord(*peerObjects()[1].object));

  editing.prepareContextMenu({310, 210});
  editing.turnRight();
  EXPECT_EQ(sent(), Codes{toByte(MessageCode::kSetOrientation)});
}

TEST_F(SelectionEditingTest,
       TheTextToolsEditorGivesAnObjectWhichAClickReopensAndTheRightButtonSelects) {
  tools.keyDown(66);
  EXPECT_EQ(tools.tool(), kPencilTool);
  tools.keyDown(116);
  EXPECT_EQ(tools.tool(), kTextTool);
  EXPECT_EQ(host.toolButtons, std::vector<uint32_t>{116});

  drag({50, 60}, {{70, 80}});
  ASSERT_EQ(host.editors.size(), 1u);
  EXPECT_EQ(host.editors[0].at, (Point{50, 60}));
  EXPECT_EQ(host.editors[0].font, tools.pen().font);
  EXPECT_EQ(sent(), Codes{});

  EXPECT_FALSE(tools.insertText("", {50, 60}));
  EXPECT_TRUE(tools.insertText("Hello", {50, 60}));
  EXPECT_EQ(sent(), Codes{code(ObjectKind::Text)});
  const auto& text = static_cast<const TextObject&>(*peerObjects()[0].object);
  EXPECT_EQ(text.text(), "Hello");
  EXPECT_EQ(text.firstPoint().unpack(), (Point{50, 60}));
  EXPECT_EQ(tools.selection(), std::nullopt);
  // Clicked again once selected, a text goes back to the editor; the right
  // button only selects it.
  addNote();
  tools.selectTool(kChoiceTool);
  click({230, 210});
  EXPECT_EQ(editing.prepareContextMenu({230, 210}), kCopyDelete);
  EXPECT_EQ(host.editors.size(), 1u);
  EXPECT_EQ(sent(), Codes{});
  click({230, 210});
  ASSERT_EQ(host.editors.size(), 2u);
  EXPECT_EQ(host.editors[1].at, (Point{200, 200}));
  EXPECT_EQ(host.editors[1].text, "note");
  EXPECT_EQ(sent(), Codes{toByte(MessageCode::kDeleteObject)});
  EXPECT_EQ(peerObjects().size(), 1u);
}

// Commands that commit check the privilege when they commit: a dialog, the
// editor or the menu may have stayed open while it went.
TEST_F(SelectionEditingTest, WithoutWriteNoCommandChangesThePage) {
  drawRect();
  EXPECT_TRUE(editing.prepareContextMenu({10, 30}));
  editing.copy();
  here()->setPrivilegeWord(kPrivilegePages);
  EXPECT_FALSE(editing.paste());
  editing.remove();
  tools.setColour(0x00AA00);
  host.chosenFile = "a.bmp";
  EXPECT_FALSE(tools.choosePicture({30, 40}));
  EXPECT_FALSE(tools.insertPictureFile("a.bmp", {30, 40}));
  auto pasted = std::make_unique<ImageObject>();
  ASSERT_TRUE(FakeToolHost::attach(*pasted, {8, 8}, {30, 40}));
  EXPECT_FALSE(tools.insertPicture(std::move(pasted)));
  EXPECT_FALSE(tools.insertText("Hello", {50, 60}));
  EXPECT_FALSE(tools.insertHandSymbol({50, 60}));
  tools.selectTool(12);
  drag({10, 10}, {{110, 60}});
  EXPECT_FALSE(host.holdsMouse());
  EXPECT_EQ(sent(), Codes{});
  EXPECT_EQ(peerObjects().size(), 1u);
  // No menu opens: the right button selects nothing.
  EXPECT_EQ(editing.prepareContextMenu({10, 30}), std::nullopt);
  EXPECT_TRUE(editing.hasCopy());
}

// The picture editor driven as the panel drives it: what the sender shows,
// and that the peer ends with the same picture.
class PictureEditorTest : public DrawingToolsTest {
 protected:
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
  static const ImageObject& picture(const std::vector<PageObject>& objects) {
    EXPECT_EQ(objects.size(), 1u);
    return static_cast<const ImageObject&>(*objects.back().object);
  }
  size_t sentCount(MessageCode code) {
    EXPECT_TRUE(relay.drain());
    return here().host.countSent(code);
  }
  // Both boards hold one picture with the same record, pixels and box.
  void expectSamePictureOnBothSides() {
    const ImageObject& mine = picture(ownObjects());
    const ImageObject& theirs = picture(peerObjects());
    EXPECT_EQ(saveRecord(theirs), saveRecord(mine));
    EXPECT_EQ(theirs.pictureWidth(), mine.pictureWidth());
    EXPECT_EQ(theirs.pictureHeight(), mine.pictureHeight());
    EXPECT_TRUE(theirs.pixels() == mine.pixels());
  }

  PictureEditor editor{relay.board(0), tools};
};

TEST_F(PictureEditorTest, SizeIsAPercentageOfTheBaseBoxAndNeedsAPictureAndTheWritePrivilege) {
  EXPECT_FALSE(editor.follow());
  EXPECT_FALSE(editor.setSize(-50));
  EXPECT_FALSE(editor.turn(30));
  EXPECT_FALSE(editor.reorient(Orientation::TurnLeft));
  insert(3, 3);
  EXPECT_TRUE(editor.setSize(-50));
  EXPECT_EQ(picture(peerObjects()).box(), (Rect{20, 30, 21, 31}));
  EXPECT_FALSE(editor.setSize(-50));
  EXPECT_TRUE(editor.setSize(0));
  EXPECT_EQ(picture(peerObjects()).box(), (Rect{20, 30, 23, 33}));
  EXPECT_TRUE(editor.setSize(100));
  EXPECT_EQ(picture(ownObjects()).box(), (Rect{20, 30, 26, 36}));
  EXPECT_EQ(sentCount(MessageCode::kSetPoints), 3u);
  expectSamePictureOnBothSides();

  relay.board(0).setPrivilegeWord(0);
  EXPECT_FALSE(editor.setSize(-50));
  EXPECT_FALSE(editor.turn(30));
  relay.board(0).setPrivilegeWord(kPrivilegeWrite);
  EXPECT_TRUE(editor.setSize(-50));
  // A peer deletes the picture while it is being edited.
  ASSERT_EQ(peerObjects().size(), 1u);
  relay.node(1).board->deleteObject(0, ownObjects().back().id);
  EXPECT_TRUE(relay.drain());
  EXPECT_FALSE(editor.setBrightness(10));
  EXPECT_FALSE(editor.turn(30));
  EXPECT_TRUE(ownObjects().empty());
}

TEST_F(PictureEditorTest, AnAngleTurnsTheBaseOnceReplacingThePictureAndEveryChangeReachesThePeer) {
  insert(40, 20, 80, 60);
  EXPECT_TRUE(editor.turn(90));
  EXPECT_FALSE(editor.turn(90));
  EXPECT_EQ(sentCount(MessageCode::kDeleteObject), 1u);
  const ImageObject& turned = picture(ownObjects());
  EXPECT_EQ(turned.pictureWidth(), 60);
  EXPECT_EQ(turned.pictureHeight(), 80);
  // Turned about the centre (40, 40).
  EXPECT_EQ(turned.box(), (Rect{30, 20, 50, 60}));
  EXPECT_EQ(tools.selection()->object, ownObjects().back().id);

  // Typed digit by digit: 4 then 45 turns the base by 45, not by 49.
  EXPECT_TRUE(editor.turn(4));
  EXPECT_TRUE(editor.turn(45));
  const Rect at45 = turnedBox({20, 30, 60, 50}, 45);
  EXPECT_EQ(picture(ownObjects()).box(), at45);
  EXPECT_TRUE(editor.turn(90));
  EXPECT_EQ(picture(ownObjects()).box(), (Rect{30, 20, 50, 60}));

  for (double refused : {0.0, 360.0, -360.0, 1e9}) EXPECT_FALSE(editor.turn(refused));
  EXPECT_EQ(sentCount(MessageCode::kDeleteObject), 4u);

  // The adjustments, size and mirror on a turned picture reach the peer too.
  EXPECT_TRUE(editor.setBrightness(40));
  EXPECT_TRUE(editor.setContrast(-20));
  EXPECT_TRUE(editor.setSize(-25));
  EXPECT_TRUE(editor.reorient(Orientation::MirrorLeftRight));
  EXPECT_TRUE(editor.reorient(Orientation::TurnRight));
  expectSamePictureOnBothSides();
  int32_t value = 0;
  EXPECT_TRUE(picture(peerObjects()).getBrightness(value));
  EXPECT_EQ(value, 40);
}

TEST_F(PictureEditorTest, ResetClearsTheAdjustmentsButKeepsTheMirror) {
  insert(64, 32, 64, 32);
  const std::vector<uint8_t> before = picture(ownObjects()).pixels();
  EXPECT_TRUE(editor.reorient(Orientation::MirrorLeftRight));
  EXPECT_TRUE(editor.setBrightness(30));
  EXPECT_TRUE(editor.setSize(50));
  editor.reset();
  EXPECT_EQ(editor.brightness(), 0);
  EXPECT_EQ(editor.size(), 0);
  const ImageObject& shown = picture(peerObjects());
  EXPECT_EQ(shown.box(), (Rect{20, 30, 84, 62}));
  int32_t brightness = -1;
  EXPECT_TRUE(shown.getBrightness(brightness));
  EXPECT_EQ(brightness, 0);
  EXPECT_FALSE(picture(ownObjects()).pixels() == before);
  expectSamePictureOnBothSides();
}

}  // namespace
}  // namespace scribly::testing
