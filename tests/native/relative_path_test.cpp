#include "base/relative_path.h"

#include <gtest/gtest.h>

namespace scribly {
namespace {

TEST(RelativePath, PlainNamesLeadDownFromTheFolder) {
  EXPECT_EQ(fileInside("C:\\skin", "ScriblySkin/panels.xml"), "C:\\skin\\ScriblySkin/panels.xml");
  EXPECT_EQ(fileInside("/opt/skin/", "parts\\more.xml"), "/opt/skin/parts\\more.xml");
  // Names that only resemble the refused ones.
  for (const char* name :
       {" lead.xml", "a..b.lua", ".hidden", "console.xml", "com10.xml", "lpt.lua"})
    EXPECT_EQ(fileInside("C:\\skin", name), std::string("C:\\skin\\") + name);
}

TEST(RelativePath, NothingOutsideTheFolderCanBeNamed) {
  const char* const kRefused[] = {// Steps up or aside, and names Windows trims into them.
                                  "", "..", "../x.xml", "a/../../x.xml", "a\\..\\..\\x", ".\\x",
                                  "x/./y", "...", ". .", "a./b", "b ", "a//b", "a/",
                                  // Rooted, UNC, device paths and drives.
                                  "/etc/passwd", "\\x", "\\\\server\\share\\x.xml", "//server/x",
                                  "\\\\?\\C:\\x", "C:\\x.xml", "C:x.xml", "x.xml:stream",
                                  // Devices, wildcards and control characters.
                                  "NUL", "nul.xml", "Com1.lua", "a/lpt9", "CONOUT$", "con .txt",
                                  "COM\xC2\xB9", "a\tb", "x*.xml", "x?"};
  for (const char* name : kRefused) EXPECT_EQ(fileInside("C:\\skin", name), std::nullopt) << name;
  EXPECT_EQ(fileInside("", "x.xml"), std::nullopt);  // the current folder is no skin folder
}

}  // namespace
}  // namespace scribly
