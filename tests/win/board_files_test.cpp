// The frame's own folder of backgrounds and documents, emptied when the last
// plug-in of the process goes; the background templates of the skin folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/module_paths.h"
#include "frame/board_files_win.h"
#include "objects/pixel_ops.h"
#include "win/module.h"

namespace scribly {
namespace {

TEST(BoardFolder, EmptyingDeletesEveryFileAtAnyDepthAndKeepsTheFolders) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(testing::TempDir()) / "scribly_bkdoc";
  std::error_code ignored;
  fs::remove_all(root, ignored);
  // Deeper than the classic path limit: only the long-path form reaches it.
  fs::path deep = root / "PrintTemp" / "notes.txt";
  while (deep.string().size() < 300) deep /= "level_of_a_deep_document_tree";
  fs::create_directories(L"\\\\?\\" + deep.wstring(), ignored);
  ASSERT_NE(GetFileAttributesW((L"\\\\?\\" + deep.wstring()).c_str()), INVALID_FILE_ATTRIBUTES);
  std::ofstream(root / "1234.bmp") << "picture";
  std::ofstream(root / "PrintTemp" / "notes.txt" / "1.bmp") << "page";
  const std::wstring deepFile = L"\\\\?\\" + (deep / "3.bmp").wstring();
  CloseHandle(CreateFileW(deepFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_NE(GetFileAttributesW(deepFile.c_str()), INVALID_FILE_ATTRIBUTES);
  const fs::path locked = root / "readonly.bmp";
  std::ofstream(locked) << "kept?";
  SetFileAttributesW(locked.wstring().c_str(), FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(emptyFolderTree(root.string()), 0u);
  EXPECT_FALSE(fs::exists(root / "1234.bmp"));
  EXPECT_FALSE(fs::exists(locked));
  EXPECT_FALSE(fs::exists(root / "PrintTemp" / "notes.txt" / "1.bmp"));
  EXPECT_EQ(GetFileAttributesW(deepFile.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(fs::is_directory(root / "PrintTemp" / "notes.txt"));
  EXPECT_NE(GetFileAttributesW((L"\\\\?\\" + deep.wstring()).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(emptyFolderTree(""), 0u);
  // Only folders are left; the deep ones go by their long names.
  for (fs::path p = deep; p != root.parent_path(); p = p.parent_path())
    RemoveDirectoryW((L"\\\\?\\" + p.wstring()).c_str());
  EXPECT_FALSE(fs::exists(root));
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

  namespace fs = std::filesystem;
  const fs::path root = fs::path(testing::TempDir()) / "scribly_templates";
  std::error_code ignored;
  fs::remove_all(root, ignored);
  fs::create_directories(root / "folder.bmp");
  const std::string installed = backgroundFolder(moduleFolder() + "\\Skins");
  fs::copy_file(installed + "grid.bmp", root / "Squares.BMP");
  std::ofstream(root / "notes.txt") << "not a picture";
  std::ofstream(root / "broken.bmp") << "BM not really";
  const BackgroundTemplates loaded = loadBackgroundTemplates(root.string() + "\\");
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded.begin()->first, "Squares");
  EXPECT_EQ(loaded.begin()->second->size(), (Size{24, 24}));
  EXPECT_TRUE(loadBackgroundTemplates(root.string() + "\\missing\\").empty());
  fs::remove_all(root, ignored);
}

}  // namespace
}  // namespace scribly
