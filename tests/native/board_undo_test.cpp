// Undo and redo of a participant's own steps: every kind of step goes out as
// the ordinary messages and leaves every board as the same change by hand
// would; a step a peer has since made stale is skipped; the history is
// bounded and forgotten with the write privilege.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/native/board_test_support.h"

namespace scribly::testing {
namespace {

using Mode = InMemoryRelay::Mode;

// What a page shows, whatever ids its objects and background file have: a
// restored object comes back under a new id.
using PageContent = std::tuple<std::string, std::vector<std::tuple<uint8_t, Bytes, Bytes>>, bool,
                               std::string, Bytes>;
std::map<uint32_t, PageContent> contentOf(TestBoard& node) {
  std::map<uint32_t, PageContent> content;
  for (auto& [id, page] : BoardSnapshot::of(node).pages) {
    std::vector<std::tuple<uint8_t, Bytes, Bytes>> objects;
    for (auto& [oid, o] : page.objects) objects.emplace_back(o.kind, o.record, o.bulk);
    std::sort(objects.begin(), objects.end());
    content[id] = {page.templateName, objects, page.hasBackground, page.extension,
                   page.backgroundFile};
  }
  return content;
}

// Two boards, the first working on a page of its own with a rectangle, a
// stroke, a picture and a text on it.
struct Session {
  explicit Session(Mode mode) : relay(mode, 2, 7, withTemplates()) {
    EXPECT_TRUE(relay.drain());
    page = ann().addUserPage();
    ann().goToPage(page, true);
    std::mt19937 rng(5);
    for (uint8_t kind : {12, 10, 14, 15})
      ids.push_back(ann().commitObject(makeObject(kind, rng, 11)));
    relay.node(0).files.files["C:\\p.jpg"] = Bytes(3000, 9);
    EXPECT_TRUE(relay.drain());
  }
  Board& ann() { return relay.board(0); }
  Board& bob() { return relay.board(1); }
  // Both boards hold the same, ids and all.
  ::testing::AssertionResult converged() {
    if (!relay.drain()) return ::testing::AssertionFailure() << "no end";
    return sameBoards(BoardSnapshot::of(relay.node(0)), BoardSnapshot::of(relay.node(1)));
  }

  InMemoryRelay relay;
  uint32_t page = 0;
  std::vector<uint32_t> ids;  // rectangle, stroke, picture, text
};

struct StepCase {
  const char* name;
  std::function<void(Session&)> act;
  std::function<void(Session&)> before = nullptr;
  // What a person does by hand to take the step back, where it is not
  // simply the state before it.
  std::function<void(Session&)> byHand = nullptr;
};

// A property change of one of the session's objects.
std::function<void(Session&)> changing(size_t object, ObjectChange change) {
  return [=](Session& s) { s.ann().changeObject(0, s.ids[object], change); };
}

ObjectChange fontChange() {
  ObjectChange c = objectChange(MessageCode::kSetFont, 0);
  c.font.height = -30;
  c.font.setFace("Courier New");
  return c;
}

const StepCase kSteps[] = {
    {"create", [](Session& s) { s.ann().commitObject(makeObject(13, s.relay.rng(), 11)); }},
    {"delete", [](Session& s) { s.ann().deleteObject(0, s.ids[2]); }},
    {"move", changing(0, objectChange(MessageCode::kMoveTo, 0x00500040))},
    {"resize", changing(2, objectChange(MessageCode::kSetPoints, 0x00100010, 0x00900120))},
    {"stroke point", changing(1, objectChange(MessageCode::kSetPoints, 1, 0x00300030))},
    {"colour", changing(3, objectChange(MessageCode::kSetColor, 0xFF))},
    {"font", changing(3, fontChange())},
    {"turn", changing(2, objectChange(MessageCode::kSetOrientation, 4)), nullptr,
     changing(2, objectChange(MessageCode::kSetOrientation, 3))},
    {"brightness", changing(2, objectChange(MessageCode::kSetBrightness, 30))},
    {"clear", [](Session& s) { s.ann().clearPage(); }},
    {"background file", [](Session& s) { s.ann().setBackgroundFile("C:\\p.jpg"); }},
    {"template", [](Session& s) { s.ann().setTemplateBackground("grid"); }},
    {"template over a file", [](Session& s) { s.ann().setTemplateBackground("nothing"); },
     [](Session& s) { s.ann().setBackgroundFile("C:\\p.jpg"); }},
};

class BoardUndo : public ::testing::TestWithParam<Mode> {};

TEST_P(BoardUndo, EveryKindOfStepUndoneAndRedoneLeavesBothBoardsAsByHand) {
  for (const StepCase& c : kSteps) {
    SCOPED_TRACE(c.name);
    Session s(GetParam());
    if (c.before) c.before(s);
    ASSERT_TRUE(s.converged());
    auto before = contentOf(s.relay.node(0));
    c.act(s);
    ASSERT_TRUE(s.converged());
    auto after = contentOf(s.relay.node(0));
    ASSERT_NE(before, after);
    // A session that takes the step back and forth by hand, where that is
    // not simply the state before and after it.
    Session hand(GetParam());
    if (c.byHand) c.act(hand);
    // Twice over: a step goes back and forth as often as asked.
    for (int round = 0; round < 2; ++round) {
      if (c.byHand) {
        c.byHand(hand);
        ASSERT_TRUE(hand.converged());
        before = contentOf(hand.relay.node(0));
        c.act(hand);
        ASSERT_TRUE(hand.converged());
        after = contentOf(hand.relay.node(0));
      }
      ASSERT_TRUE(s.ann().canUndo());
      ASSERT_TRUE(s.ann().undo());
      EXPECT_TRUE(s.converged());
      EXPECT_EQ(contentOf(s.relay.node(0)), before);
      ASSERT_TRUE(s.ann().canRedo());
      ASSERT_TRUE(s.ann().redo());
      EXPECT_TRUE(s.converged());
      EXPECT_EQ(contentOf(s.relay.node(0)), after);
    }
    // The peer has no history of the other's steps.
    EXPECT_FALSE(s.bob().canUndo());
  }
}

TEST_P(BoardUndo, AStepAPeerHasSinceChangedOrRemovedIsSkipped) {
  Session s(GetParam());
  const uint32_t rect = s.ids[0];
  // Ann recolours and moves her rectangle; Bob then moves it: her move is
  // his now, her colour still hers.
  s.ann().changeObject(0, rect, objectChange(MessageCode::kSetColor, 0xFF));
  s.ann().changeObject(0, rect, objectChange(MessageCode::kMoveTo, 0x00200020));
  ASSERT_TRUE(s.converged());
  ASSERT_TRUE(s.bob().changeObject(s.page, rect, objectChange(MessageCode::kMoveTo, 0x00700070)));
  ASSERT_TRUE(s.converged());
  uint32_t colour = 0;
  ASSERT_TRUE(s.ann().undo());
  ASSERT_TRUE(s.converged());
  const BoardObject* shown = s.bob().findPage(s.page)->findObject(rect);
  EXPECT_EQ(shown->firstPoint().value, 0x00700070u);
  EXPECT_TRUE(shown->getColour(colour) && colour != 0xFF);
  // Her creation of it is stale too: undoing it would delete his work.
  ASSERT_TRUE(s.ann().undo());
  EXPECT_NE(s.bob().findPage(s.page)->findObject(rect), nullptr);
  ASSERT_TRUE(s.converged());

  // Bob deletes what Ann recoloured: nothing of hers comes back.
  s.ann().changeObject(0, s.ids[3], objectChange(MessageCode::kSetColor, 0xFF00));
  ASSERT_TRUE(s.converged());
  s.bob().deleteObject(s.page, s.ids[3]);
  ASSERT_TRUE(s.converged());
  // Bob replaces her background and clears the page: her steps there go.
  s.ann().setTemplateBackground("grid");
  s.ann().deleteObject(0, s.ids[1]);
  ASSERT_TRUE(s.converged());
  s.bob().goToPage(s.page, false);
  s.bob().setTemplateBackground("nothing");
  ASSERT_TRUE(s.converged());
  // The stroke comes back, then the picture goes; the background stays his.
  ASSERT_TRUE(s.ann().undo());
  ASSERT_TRUE(s.ann().undo());
  ASSERT_TRUE(s.converged());
  EXPECT_EQ(s.ann().findPage(s.page)->templateName(), "");
  EXPECT_EQ(s.ann().findPage(s.page)->findObject(s.ids[2]), nullptr);
  s.bob().clearPage(s.page);
  ASSERT_TRUE(s.converged());
  EXPECT_FALSE(s.ann().canUndo());
  EXPECT_FALSE(s.ann().canRedo());
  EXPECT_FALSE(s.ann().undo());
  EXPECT_TRUE(s.ann().findPage(s.page)->objects().empty());
}

INSTANTIATE_TEST_SUITE_P(Relay, BoardUndo, ::testing::Values(Mode::PeerToPeer, Mode::Server),
                         [](const auto& i) {
                           return i.param == Mode::Server ? "Server" : "PeerToPeer";
                         });

TEST(BoardUndoHistory, KeepsTwoHundredStepsAPageAndForgetsThemWithWriteOrReset) {
  JoinedBoard b;
  std::mt19937 rng(3);
  for (int i = 0; i < 205; ++i) ASSERT_NE(b->commitObject(makeObject(11, rng, 11)), 0u);
  b->goToPage(2, false);
  EXPECT_FALSE(b->canUndo());
  b->commitObject(makeObject(11, rng, 11));
  b->goToPage(1, false);
  int undone = 0;
  while (b->undo()) ++undone;
  EXPECT_EQ(undone, 200);
  EXPECT_EQ(b->findPage(1)->objects().size(), 5u);
  EXPECT_TRUE(b->canRedo());

  b->setPrivilegeWord(0);
  EXPECT_FALSE(b->canRedo());
  b->setPrivilegeWord(kPrivilegeWrite);
  EXPECT_FALSE(b->canRedo());
  b->goToPage(2, false);
  EXPECT_FALSE(b->canUndo());

  b->commitObject(makeObject(11, rng, 11));
  b->reset();
  EXPECT_FALSE(b->canUndo());

  // Deleted pictures are held with their pixels, within the history's bound.
  JoinedBoard small(withOption(&BoardOptions::maxUndoBytes, 100000));
  for (int i = 0; i < 4; ++i) {
    const uint32_t id = small->commitObject(gradientPicture(120, 120, {0, 0}));
    ASSERT_TRUE(small->deleteObject(0, id));
  }
  undone = 0;
  while (small->undo()) ++undone;
  // Of four creations and four deletions, the oldest went.
  EXPECT_GE(undone, 2);
  EXPECT_LT(undone, 8);
}

}  // namespace
}  // namespace scribly::testing
