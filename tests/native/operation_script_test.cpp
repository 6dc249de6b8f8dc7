// Scripted sessions run the board's own local operations: what a script does
// reaches peers exactly as a user's drawing would, and bad lines fail alone.
#include "board/operation_script.h"

#include "board_test_support.h"

namespace scribly::testing {
namespace {

struct OperationScript : ::testing::Test {
  OperationScript() { t->initialize(1, 2); }
  ScriptResult run(const std::string& script) { return runOperationScript(*t, factory, script); }
  TestBoard t;
  ObjectFactory factory;
};

// References change, move and delete what the script made.
TEST_F(OperationScript, EveryKindIsCommittedAndSentReferencesReachThemAndBadLinesFailAlone) {
  ScriptResult r =
      run("# one of each\n"
          "rect 10 10 110 60 colour=0xFF fill=0x00FF00 width=2\r\n"
          "ellipse 20 20 80 90\n"
          "line 0 0 50 50\n"
          "arrow 0 10 100 10\n"
          "darrow 0 20 100 20\n"
          "triangle 100 100 140 160\n"
          "half1 10 10 60 40\n"
          "pencil 5 5 6 7 8 9 20 20\n"
          "text 30 30 Hello there\n"
          "picture 200 200 32 16\n"
          "\n"
          "colour @2 0x123456\n"
          "move @2 300 300\n"
          "delete @3\n");
  EXPECT_EQ(r.failed, 0) << (r.errors.empty() ? "" : r.errors[0]);
  EXPECT_EQ(r.applied, 13);
  const Page* page = t->currentPage();
  ASSERT_EQ(page->objects().size(), 9u);
  EXPECT_EQ(page->objects()[0].object->kind(), ObjectKind::Rect);
  uint32_t fill = 0;
  ASSERT_TRUE(page->objects()[0].object->getFill(fill));
  EXPECT_EQ(fill, 0x00FF00u);
  EXPECT_EQ(page->objects()[1].object->firstPoint().unpack(), (Point{300, 300}));
  EXPECT_EQ(page->objects()[2].object->kind(), ObjectKind::ArrowLine);
  EXPECT_EQ(page->objects()[8].object->kind(), ObjectKind::Image);
  t.acknowledgeAll();
  EXPECT_EQ(t.host.countSent(MessageCode::kTransferBegin), 1u);  // the picture's pixels
  EXPECT_EQ(t.host.countSent(MessageCode::kSetColor), 1u);
  EXPECT_EQ(t.host.countSent(MessageCode::kDeleteObject), 1u);

  // Bad lines fail alone, with their line numbers.
  r =
      run("rect 10 10\n"               // too few numbers
          "rect 1 2 3 4 colour=red\n"  // not a number
          "rect 1 2 3 99999\n"         // off any page
          "colour @7 0x1\n"            // no 7th object
          "explode\n"
          "rect 10 10 50 50\n");
  EXPECT_EQ(r.applied, 1);
  EXPECT_EQ(r.failed, 5);
  ASSERT_FALSE(r.errors.empty());
  EXPECT_EQ(r.errors[0].rfind("line 1:", 0), 0u);
  EXPECT_EQ(t->currentPage()->objects().size(), 10u);
  std::string huge(kMaxScriptBytes + 1, '\n');
  EXPECT_EQ(run(huge).failed, 1);
}

TEST_F(OperationScript, PagesAreAddedShownRenamedClearedAndGivenBackgrounds) {
  t.files.files["C:\\photos\\sea view.bmp"] = Bytes(64, 9);  // a name with a blank
  ScriptResult r =
      run("addpage Plans\n"
          "page 3\n"
          "rect 1 1 40 40\n"
          "renamepage 3 Sketches\n"
          "clear\n"
          "background C:\\photos\\sea view.bmp\n"
          "background C:\\missing.bmp\n");
  EXPECT_EQ(r.failed, 1);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].rfind("line 7:", 0), 0u);  // the missing file only
  EXPECT_EQ(t->currentPageId(), 3u);
  EXPECT_TRUE(t->findPage(3)->hasBackgroundFile());
  EXPECT_EQ(t->findPage(3)->name(), "Sketches");
  EXPECT_TRUE(t->findPage(3)->objects().empty());
  EXPECT_EQ(t->pages().size(), 7u);
}

}  // namespace
}  // namespace scribly::testing
