#include "base/module_paths.h"

#include <gtest/gtest.h>

namespace scribly {
namespace {

TEST(ModulePaths, ModuleFolderIsCutAtLastBackslash) {
  EXPECT_EQ(folderOf("C:\\Program Files\\Conf\\Plugins\\scribly.dll"),
            "C:\\Program Files\\Conf\\Plugins");
  EXPECT_EQ(folderOf("scribly.dll"), "");
  EXPECT_EQ(installFolderOf("C:\\Program Files\\Conf\\Plugins"), "C:\\Program Files\\Conf");
  EXPECT_EQ(installFolderOf("C:\\Conf\\Plugins\\"), "C:\\Conf");
}

TEST(ModulePaths, BothSkinFolderSpellingsGiveOneBackgroundFolder) {
  EXPECT_EQ(backgroundFolder("C:\\Skins\\Blue"), "C:\\Skins\\Blue\\Scribly\\Back\\");
  EXPECT_EQ(backgroundFolder("C:\\Skins\\Blue\\"), "C:\\Skins\\Blue\\Scribly\\Back\\");
}

TEST(ModulePaths, JoinKeepsExactlyOneSeparator) {
  EXPECT_EQ(joinPath("C:\\a", "\\Scribly.xml"), "C:\\a\\Scribly.xml");
  EXPECT_EQ(joinPath("C:\\a\\", "Scribly.xml"), "C:\\a\\Scribly.xml");
  EXPECT_EQ(joinPath("", "x"), "x");
}

}  // namespace
}  // namespace scribly
