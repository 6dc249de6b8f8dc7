#include "uiengine/item_markup.h"

#include <gtest/gtest.h>

namespace scribly {
namespace {

TEST(ItemMarkup, ReadsTheFontAndKeepsItWhenRenamed) {
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
}

TEST(ItemMarkup, TipsShowTheWordsOfTheirFontsInTheItemsOwnFont) {
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
