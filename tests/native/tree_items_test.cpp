#include "share/tree_items.h"

#include <gtest/gtest.h>

#include <string>

namespace scribly {
namespace {

constexpr char kFace[] = "\xE5\xAE\x8B\xE4\xBD\x93";  // the face in UTF-8

TEST(TreeItems, NamesSurviveTheMarkupWhateverTheyHold) {
  EXPECT_EQ(treeItemMarkup(TreeItemStyle::Red, kFace, "report.doc"),
            std::string("<text><font size=\"10\" color=\"255,0,0\" face=\"") + kFace +
                "\">report.doc</font></text>");
  EXPECT_EQ(treeItemMarkup(TreeItemStyle::Folder, kFace, "f").substr(0, 37),
            "<text><font size=\"9\" color=\"0,0,255\" ");
  for (const std::string name : {"a<b>&\"c\".txt", "notes.txt/12", "\xC3\xA9t\xC3\xA9", ""}) {
    EXPECT_EQ(treeItemName(treeItemMarkup(TreeItemStyle::Blue, kFace, name)), name);
  }
  EXPECT_EQ(treeItemName("plain text"), "");
  EXPECT_EQ(treeItemName("<text><font>unclosed"), "");
}

TEST(TreeItems, LongNamesAreCutOnACharacterBoundaryWithinTheTreesBuffer) {
  std::string name;
  for (int i = 0; i < 400; ++i) name += "\xC3\xA9";  // 800 bytes
  const std::string markup = treeItemMarkup(TreeItemStyle::Blue, kFace, name);
  EXPECT_LT(markup.size(), kMaxTreeItemBytes);
  const std::string kept = treeItemName(markup);
  EXPECT_GT(kept.size(), 400u);
  EXPECT_EQ(kept.size() % 2, 0u);
  EXPECT_EQ(name.compare(0, kept.size(), kept), 0);
  // Entities are never split either.
  const std::string amps =
      treeItemName(treeItemMarkup(TreeItemStyle::Blue, kFace, std::string(200, '&')));
  EXPECT_EQ(amps, std::string(amps.size(), '&'));
}

}  // namespace
}  // namespace scribly
