// The board's files on Windows, and the background templates of the skin
// folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "base/module_paths.h"
#include "frame/board_files_win.h"
#include "objects/pixel_ops.h"
#include "tests/support/win_test_support.h"
#include "win/module.h"

namespace scribly {
namespace {

// A board without a background folder names its files without one: they
// must not land in whatever folder the host runs in.
TEST(BoardFiles, OnlyFullPathsAreWritten) {
  Win32Files files;
  const uint8_t bytes[] = {'B', 'M'};
  EXPECT_FALSE(files.writeFile("1717.jpg", bytes));
  EXPECT_EQ(GetFileAttributesA("1717.jpg"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(files.readFile("1717.jpg", 16));
}

// The top-left pixel of a picture as 0xRRGGBB.
uint32_t cornerColour(const BackgroundPicture& picture) {
  const Size size = picture.size();
  const uint8_t* p = &picture.pixels()[(size.height - 1) * pictureRowBytes(size.width)];
  return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

TEST(BackgroundTemplates, EveryBitmapFileOfTheFolderLoadsUnderItsTitle) {
  // The templates installed with the skin: plain paper and a grid whose
  // lines run along the tile's top and left edges, so copies join up.
  const BackgroundTemplates shipped =
      loadBackgroundTemplates(backgroundFolder(moduleFolder() + "\\Skins"));
  ASSERT_TRUE(shipped.count("default") && shipped.count("grid"));
  EXPECT_EQ(cornerColour(*shipped.at("default")), 0xFFFFFFu);
  EXPECT_NE(cornerColour(*shipped.at("grid")), 0xFFFFFFu);

  // Of a folder's entries only the bitmap files load, under their titles.
  const TempFolder folder(L"scribly-templates");
  const std::filesystem::path root = folder.path();
  std::filesystem::create_directories(root / "folder.bmp");
  std::filesystem::copy_file(backgroundFolder(moduleFolder() + "\\Skins") + "grid.bmp",
                             root / "Squares.BMP");
  writeFile(root / "notes.txt", "not a picture");
  writeFile(root / "broken.bmp", "BM not really");
  const BackgroundTemplates loaded = loadBackgroundTemplates(root.string() + "\\");
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded.begin()->first, "Squares");
  EXPECT_EQ(loaded.begin()->second->size(), (Size{24, 24}));
  EXPECT_TRUE(loadBackgroundTemplates(root.string() + "\\missing\\").empty());
}

}  // namespace
}  // namespace scribly
