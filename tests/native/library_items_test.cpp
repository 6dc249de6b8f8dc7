#include "share/library_items.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "share/tree_items.h"

namespace scribly {
namespace {

constexpr uint32_t kNormal = 0x80;
constexpr uint32_t kArchive = 0x20;

TEST(LibraryItems, ListsSharableFilesAndFoldersOnly) {
  using enum LibraryItemKind;
  struct Entry {
    const char* name;
    uint32_t attributes;
    std::optional<LibraryItemKind> kind;
  };
  const Entry entries[] = {
      // What the printer converts, pictures, and nothing else.
      {"a.ppt", kArchive, File},
      {"b.pptx", kArchive, File},
      {"lesson.odt", kArchive, File},
      {"photo.JPG", kArchive, File},
      {"c.PDF", kNormal, File},
      {"d.exe", kArchive, std::nullopt},
      {"e.doc", kArchive | kEntryHidden, std::nullopt},
      {"f", kEntryDirectory, Folder},
      {"a.b.doc", kArchive, File},
      {"notes.txt.bak", kArchive, std::nullopt},
      {"Readme", kArchive, std::nullopt},
      {"page.HTML", kEntrySystem, std::nullopt},
      {".", kEntryDirectory, std::nullopt},
      {"..", kEntryDirectory, std::nullopt},
      // Only the system's own hidden folders are left out.
      {"System Volume Information", kEntryDirectory | kEntrySystem | kEntryHidden, std::nullopt},
      {"old.doc", kEntryDirectory | kEntryHidden, Folder},
  };
  for (const Entry& e : entries)
    EXPECT_EQ(libraryEntryKind(e.name, e.attributes), e.kind) << e.name;
}

TEST(LibraryItems, PathsJoinTheRootAndTheNamesBelowIt) {
  const std::vector<std::string> names = {"f", "g", "a.ppt"};
  EXPECT_EQ(libraryItemPath("D:\\Lessons", names), "D:\\Lessons\\f\\g\\a.ppt");
  EXPECT_EQ(libraryItemPath("D:\\", names), "D:\\f\\g\\a.ppt");
  EXPECT_EQ(libraryItemPath("D:\\Lessons", {}), "D:\\Lessons");
}

TEST(LibraryItems, TipShowsTheItemsNameInMagentaAtSizeNine) {
  const std::string face = "\xE5\xAE\x8B\xE4\xBD\x93";
  // Written as the configuration files are: one element a line.
  EXPECT_EQ(libraryTipMarkup(face, treeItemMarkup(TreeItemStyle::Blue, face, "report.doc")),
            "<tip width=\"200\" height=\"100\">\r\n  <font face=\"" + face +
                "\" size=\"9\" color=\"255,0,255\">report.doc</font>\r\n</tip>\r\n");
  const std::optional<std::string> escaped =
      libraryTipMarkup("Arial", treeItemMarkup(TreeItemStyle::Folder, "Arial", "R&D"));
  ASSERT_TRUE(escaped);
  EXPECT_NE(escaped->find("color=\"255,0,255\">R&amp;D</font>"), std::string::npos);
  EXPECT_EQ(libraryTipMarkup(face, "<text><font>cut"), std::nullopt);
}

}  // namespace
}  // namespace scribly
