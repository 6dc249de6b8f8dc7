// The frame's own folder of backgrounds and documents, emptied when the last
// plug-in of the process goes.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "frame/board_files_win.h"

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

}  // namespace
}  // namespace scribly
