// The folders the program makes and removes: a deletion that goes through no
// link, and instance folders that only their user can open and that no other
// instance, in this process or another, takes away while it runs.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <aclapi.h>
// clang-format on

#include <memory>
#include <string>

#include "tests/win/office_documents.h"
#include "tests/win/test_surface.h"
#include "win/folders.h"

namespace scribly {
namespace {

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(FolderTree, GoesWithDeepAndReadOnlyEntriesButNeverThroughALink) {
  const TempFolder tree(L"scribly-tree"), outside(L"scribly-outside");
  const std::wstring& root = tree.path();
  writeFile(outside / L"kept.txt", "");
  // Deeper than the classic path limit: only the long-path form reaches it.
  std::wstring deep = L"\\\\?\\" + root;
  while (deep.size() < 320) {
    deep += L"\\level_of_a_deep_document_tree";
    CreateDirectoryW(deep.c_str(), nullptr);
  }
  writeFile(deep + L"\\3.jpg", "");
  ASSERT_TRUE(exists(deep + L"\\3.jpg"));
  writeFile(root + L"\\readonly.jpg", "");
  SetFileAttributesW((root + L"\\readonly.jpg").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(plantDirectoryLink(tree / std::string("link"), outside.narrowPath()));
  ASSERT_TRUE(exists(root + L"\\link\\kept.txt"));

  deleteFolderTree(root + L"\\");
  EXPECT_TRUE(exists(outside / L"kept.txt"));
  EXPECT_FALSE(exists(deep));
  EXPECT_FALSE(exists(root + L"\\readonly.jpg"));
  // Windows removes the link itself and so the whole folder; Wine cannot
  // remove it without removing what it points to, so there it stays.
  if (!exists(root + L"\\link")) {
    EXPECT_FALSE(exists(root));
  }
}

// Whether only the current user and the system may open the folder.
bool onlyUserAndSystem(const std::wstring& folder) {
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS ||
      !acl)
    return false;
  KernelHandle token;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put());
  BYTE user[256];
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, user, sizeof user, &size);
  BYTE system[SECURITY_MAX_SID_SIZE];
  DWORD systemSize = sizeof system;
  CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize);
  bool only = acl->AceCount > 0;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(acl, i, reinterpret_cast<void**>(&ace))) return false;
    if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    PSID sid = &ace->SidStart;
    if (!EqualSid(sid, reinterpret_cast<TOKEN_USER*>(user)->User.Sid) && !EqualSid(sid, system))
      only = false;
  }
  LocalFree(descriptor);
  return only;
}

// The instance folder, below `parent`, of process `id`; empty when none.
std::wstring folderOfProcess(const std::wstring& parent, DWORD id) {
  WIN32_FIND_DATAW found;
  const FindHandle search(
      FindFirstFileW((parent + L"\\" + std::to_wstring(id) + L"-*").c_str(), &found));
  if (!search) return {};
  std::wstring folder;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      folder = parent + L"\\" + found.cFileName;
  } while (folder.empty() && FindNextFileW(search.get(), &found));
  return folder;
}

TEST(InstanceFolder, IsTheUsersAloneAndOnlyAnEndedProcessLosesItsFolder) {
  const TempFolder instances(L"scribly-instances");
  const std::wstring& parent = instances.path();
  auto own = InstanceFolder::create(parent);
  ASSERT_TRUE(own);
  EXPECT_TRUE(onlyUserAndSystem(own->path()));
  const std::wstring file = own->subfolder(L"BKDoc") + L"\\17.jpg";
  writeFile(file, "");
  // Another instance of this process: a folder of its own, and going it
  // takes nothing of the first one's.
  const std::wstring otherPath = InstanceFolder::create(parent)->path();
  EXPECT_NE(otherPath, own->path());
  EXPECT_FALSE(exists(otherPath));
  EXPECT_TRUE(exists(file));

  // One held by a running process stays; once that process has ended, the
  // next instance removes it.
  Process child(thisProgram(L"--hold-instance-folder \"" + parent + L"\""));
  ASSERT_TRUE(child.started());
  std::wstring held;
  ASSERT_TRUE(pumpUntil([&] { return !(held = folderOfProcess(parent, child.id())).empty(); },
                        "the other process's folder", 30000));
  InstanceFolder::create(parent);
  EXPECT_TRUE(exists(held));
  child.terminate();
  child.wait(20000);
  EXPECT_TRUE(exists(held));
  InstanceFolder::create(parent);
  EXPECT_FALSE(exists(held));
  EXPECT_TRUE(exists(file));
}

}  // namespace
}  // namespace scribly
