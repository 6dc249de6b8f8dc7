#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "docprint/print_job.h"
#include "share/document_share.h"
#include "share/library_items.h"
#include "share/tree_items.h"
#include "uiengine/item_markup.h"

namespace scribly {
namespace {

TEST(DocumentShare, NamesFoldersLabelsPicturesTheChooserAndTheContentsMenu) {
  const std::string_view file = fileNameOf("C:\\docs\\old.v2/a.b.doc");
  EXPECT_EQ(file, "a.b.doc");
  EXPECT_EQ(shareOutputFolder("C:\\X\\PrintTemp\\", file), "C:\\X\\PrintTemp\\a.b\\");
  EXPECT_EQ(documentPageLabel(file, 3), "a.b.doc/3");
  // Read back from a peer's page name.
  const auto label = parseDocumentPageLabel("old/a.b.doc/12");
  ASSERT_TRUE(label);
  EXPECT_EQ(label->document, "old/a.b.doc");
  EXPECT_EQ(label->number, "12");
  for (const char* other : {"System Page-7", "a.doc/", "/3", "a.doc/03", "a.doc/3x", "a.doc/-3"})
    EXPECT_FALSE(parseDocumentPageLabel(other)) << other;
  EXPECT_EQ(shareOutputFolder("R\\", "README"), "R\\README\\");

  EXPECT_EQ(printQualityFor("notes.TXT", kQualityPicture), kQualityText);
  EXPECT_EQ(printQualityFor("deck.pptx", kQualityPicture), kQualityPicture);

  const std::string root = "C:\\T\\PrintTemp\\";
  // The root itself, its parent, a device, a folder deeper down or beside it.
  const std::pair<std::string_view, std::string_view> folders[] = {
      {".doc", "document"},  {"...doc", "document"},    {"..", "document"},
      {"con.txt", "_con"},   {"LPT1.a.doc", "_LPT1.a"}, {"com10.doc", "com10"},
      {"a. .doc", "a"},      {"\x95\x5c.doc", "__"},    {"..\\..\\x.doc", ".._.._x"},
      {"a:b*?.doc", "a_b__"}};
  for (const auto& [name, folder] : folders)
    EXPECT_EQ(shareOutputFolder(root, name), root + std::string(folder) + "\\") << name;
  EXPECT_EQ(shareOutputFolder(root, std::string(300, 'x') + ".doc"),
            root + std::string(kMaxShareFolderName, 'x') + "\\");
  EXPECT_EQ(shareOutputFolder(root, "a.b.doc", 2), root + "a.b-2\\");

  // Whatever the printer called its files, the k-th visible picture becomes
  // base(k) with its own extension; folders, hidden files and others count not.
  const std::vector<FolderEntry> listing = {{".", true}, {"..", true},           {"sub.jpg", true},
                                            {"x.BMP"},   {"y.jpg", false, true}, {"notes.txt"},
                                            {"z.Gif"},   {"noextension"},        {"w.jpeg"}};
  EXPECT_EQ(importPictureList("a.b.doc", listing),
            (std::vector<std::string>{"a.b.bmp", "a.b(2).gif", "a.b(3).jpeg"}));
  EXPECT_TRUE(importPictureList("a.doc", {}).empty());

  // The share dialog offers every file the library lists and the share
  // takes, each under one description, then all files.
  const std::string filter = documentChooserFilter();
  ASSERT_GE(filter.size(), 2u);
  EXPECT_EQ(filter.substr(filter.size() - 2), std::string(2, '\0'));
  std::vector<std::string> strings;
  for (size_t at = 0; at < filter.size() - 1; at = filter.find('\0', at) + 1)
    strings.emplace_back(filter.c_str() + at);
  ASSERT_EQ(strings.size() % 2, 0u);
  EXPECT_EQ(strings[strings.size() - 2], "All Files(*.*)");
  EXPECT_EQ(strings.back(), "*.*");
  // Each description names the patterns it offers.
  for (size_t pair = 0; pair < strings.size(); pair += 2)
    EXPECT_NE(strings[pair].find("(" + strings[pair + 1] + ")"), std::string::npos) << pair;
  for (const DocumentType& type : kDocumentTypes) {
    int offered = 0;
    for (size_t pair = 0; pair < strings.size(); pair += 2)
      offered += (";" + strings[pair + 1] + ";").find(";*" + std::string(type.extension) + ";") !=
                 std::string::npos;
    EXPECT_EQ(offered, 1) << type.extension;
  }

  // The contents menu depends on the item.
  auto menu = [](ContentsItemKind kind, bool current) {
    const ContentsMenu m = contentsMenuFor(kind, current);
    return std::string(m.open ? "o" : "-") + (m.rename ? "r" : "-") + (m.remove ? "d" : "-") +
           (m.refresh ? "f" : "-");
  };
  EXPECT_EQ(menu(ContentsItemKind::Document, true), "o-d-");
  EXPECT_EQ(menu(ContentsItemKind::UserPage, false), "ord-");
  EXPECT_EQ(menu(ContentsItemKind::UserPage, true), "ordf");
  EXPECT_EQ(menu(ContentsItemKind::SystemOrDocumentPage, true), "o--f");
  EXPECT_EQ(menu(ContentsItemKind::SystemOrDocumentPage, false), "----");
  EXPECT_EQ(menu(ContentsItemKind::SystemRoot, false), "----");
  EXPECT_EQ(menu(ContentsItemKind::UserRoot, true), "----");

  // Document items are found by their exact name.
  const std::vector<std::string> items = {
      treeItemMarkup(TreeItemStyle::Red, "", "report.doc"),
      "<text><font>broken",
      treeItemMarkup(TreeItemStyle::Red, "", "a&b.doc"),
      treeItemMarkup(TreeItemStyle::Red, "", "report.doc"),
  };
  EXPECT_EQ(findDocumentItem(items, "report.doc"), 0);
  EXPECT_EQ(findDocumentItem(items, "a&b.doc"), 2);
  EXPECT_EQ(findDocumentItem(items, "REPORT.doc"), -1);
  EXPECT_EQ(findDocumentItem(items, "report"), -1);
}

constexpr uint32_t kNormal = 0x80;
constexpr uint32_t kArchive = 0x20;
constexpr char kFace[] = "\xE5\xAE\x8B\xE4\xBD\x93";  // the face in UTF-8

TEST(LibraryItems, ListsSharableFilesAndFoldersOnlyJoinedBelowTheRootTippedInMagenta) {
  using enum LibraryItemKind;
  // What the printer converts, pictures, and nothing else; hidden or system files not.
  for (const char* file : {"a.ppt", "b.pptx", "lesson.odt", "photo.JPG", "a.b.doc"})
    EXPECT_EQ(libraryEntryKind(file, kArchive), File) << file;
  EXPECT_EQ(libraryEntryKind("c.PDF", kNormal), File);
  for (const char* other : {"d.exe", "notes.txt.bak", "Readme"})
    EXPECT_EQ(libraryEntryKind(other, kArchive), std::nullopt) << other;
  EXPECT_EQ(libraryEntryKind("page.HTML", kEntrySystem), std::nullopt);
  EXPECT_EQ(libraryEntryKind("e.doc", kArchive | kEntryHidden), std::nullopt);
  // Folders but the two steps, and only the system's own hidden folders are left out.
  EXPECT_EQ(libraryEntryKind("f", kEntryDirectory), Folder);
  EXPECT_EQ(libraryEntryKind("old.doc", kEntryDirectory | kEntryHidden), Folder);
  for (const char* step : {".", ".."})
    EXPECT_EQ(libraryEntryKind(step, kEntryDirectory), std::nullopt) << step;
  EXPECT_EQ(
      libraryEntryKind("System Volume Information", kEntryDirectory | kEntrySystem | kEntryHidden),
      std::nullopt);

  const std::vector<std::string> names = {"f", "g", "a.ppt"};
  EXPECT_EQ(libraryItemPath("D:\\Lessons", names), "D:\\Lessons\\f\\g\\a.ppt");
  EXPECT_EQ(libraryItemPath("D:\\", names), "D:\\f\\g\\a.ppt");
  EXPECT_EQ(libraryItemPath("D:\\Lessons", {}), "D:\\Lessons");

  // The tip shows the item's name in magenta at size nine.
  const std::string face = kFace;
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

TEST(TreeItems, NamesSurviveTheMarkupWhateverTheyHoldLongOnesCutOnACharacter) {
  EXPECT_EQ(treeItemMarkup(TreeItemStyle::Red, kFace, "report.doc"),
            std::string("<text><font size=\"10\" color=\"255,0,0\" face=\"") + kFace +
                "\">report.doc</font></text>");
  EXPECT_EQ(treeItemMarkup(TreeItemStyle::Folder, kFace, "f").substr(0, 37),
            "<text><font size=\"9\" color=\"0,0,255\" ");
  for (const std::string name : {"a<b>&\"c\".txt", "notes.txt/12", "\xC3\xA9t\xC3\xA9", ""})
    EXPECT_EQ(treeItemName(treeItemMarkup(TreeItemStyle::Blue, kFace, name)), name);
  EXPECT_EQ(treeItemName("plain text"), "");
  EXPECT_EQ(treeItemName("<text><font>unclosed"), "");

  // Long names are cut on a character boundary within the tree's buffer.
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

  // Item markup is read with its font, which a new name keeps.
  const ItemMarkup red = parseItemMarkup(
      "<text><font size=\"10\" color=\"255,0,0\" face=\"Sans\">System &amp; pages</font></text>");
  EXPECT_EQ(red.name, "System & pages");
  EXPECT_EQ(red.colour, 0x0000FFu);
  EXPECT_EQ(red.size, 10);
  EXPECT_EQ(red.face, "Sans");
  // Anything else is a plain name, shown as it stands.
  EXPECT_EQ(parseItemMarkup("report.doc").name, "report.doc");
  EXPECT_EQ(parseItemMarkup("<text>no font</text>").name, "<text>no font</text>");
  EXPECT_EQ(parseItemMarkup("<font>3</font>").colour, 0xFFFFFFFFu);

  EXPECT_EQ(renameItemMarkup("<text><font color=\"0,0,255\">3</font></text>", "a<b & \"c\""),
            "<text><font color=\"0,0,255\">a&lt;b &amp; &quot;c&quot;</font></text>");
  EXPECT_EQ(
      parseItemMarkup(renameItemMarkup("<text><font size=\"9\">x</font></text>", "y & z")).name,
      "y & z");
  EXPECT_EQ(renameItemMarkup("plain", "new"), "new");

  // Tips show the words of their fonts in the item's own font.
  // The contents tree wraps the item's own markup, and writes "/>" after it.
  const TipMarkup contents = parseTipMarkup(
      "<tip><font size=\"10\" color=\"0,0,255\" face=\"Arial\"><text><font size=\"30\" "
      "color=\"255,0,0\">3</font></text></font>/></tip>");
  EXPECT_EQ(contents.name, "3");
  // The item's own font refines the tip's: its colour and size, the tip's face.
  EXPECT_EQ(contents.size, 30);
  EXPECT_EQ(contents.colour, 0x0000FFu);
  EXPECT_EQ(contents.face, "Arial");
  // The face arrives as the bytes it was written in.
  const TipMarkup library = parseTipMarkup(
      "<tip width=\"200\" height=\"100\"><font face=\"\xCB\xCE\xCC\xE5\" size=\"9\">report.doc"
      "</font></tip>");
  EXPECT_EQ(library.name, "report.doc");
  EXPECT_EQ(library.face, "\xCB\xCE\xCC\xE5");
  EXPECT_EQ(library.width, 200);
  EXPECT_EQ(parseTipMarkup("<tip><font>open").name, "");
}

}  // namespace
}  // namespace scribly
