#include "win/folders.h"

// clang-format off
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
#include <knownfolders.h>
// clang-format on

#include <atomic>
#include <vector>

#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

// Deeper trees are left half-removed rather than followed into a loop.
constexpr int kMaxDepth = 64;
constexpr wchar_t kLockSuffix[] = L".lock";

// The path with the long-path prefix where it can take one, without a final
// separator; empty for a drive or share root, which is never removed.
std::wstring treePath(std::wstring_view folder) {
  std::wstring path(folder);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  if (path.size() <= 2) return {};
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (path[1] == L':') return L"\\\\?\\" + path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return path;
}

bool removeEntry(const std::wstring& path, DWORD attributes, int depth);

void emptyTree(const std::wstring& folder, int depth) {
  WIN32_FIND_DATAW found;
  FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search) return;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    removeEntry(folder + L"\\" + found.cFileName, found.dwFileAttributes, depth + 1);
  } while (FindNextFileW(search.get(), &found));
}

bool removeEntry(const std::wstring& path, DWORD attributes, int depth) {
  // A link goes as itself, never through it. Windows removes a directory
  // link or junction as a directory and a file link as a file; Wine keeps
  // links as Unix symbolic links and both calls there remove what the link
  // points to, so under Wine a link stays, and with it its folder.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (runningUnderWine()) return false;
    return RemoveDirectoryW(path.c_str()) || DeleteFileW(path.c_str());
  }
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str());
  if (depth < kMaxDepth) emptyTree(path, depth);
  return RemoveDirectoryW(path.c_str());
}

// A security descriptor that gives the process's user alone full control,
// inherited by files and folders made below. Made once and kept.
SECURITY_DESCRIPTOR* userOnlyDescriptor() {
  static SECURITY_DESCRIPTOR* const descriptor = []() -> SECURITY_DESCRIPTOR* {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    KernelHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size))
      return nullptr;
    LPWSTR sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid))
      return nullptr;
    const std::wstring sddl = std::wstring(L"D:P(A;OICI;FA;;;") + sid + L")";
    LocalFree(sid);
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &made,
                                                              nullptr))
      return nullptr;
    return static_cast<SECURITY_DESCRIPTOR*>(made);
  }();
  return descriptor;
}

bool isPlainFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring defaultParent() {
  std::wstring base;
  PWSTR local = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local)) &&
      local)
    base = local;
  CoTaskMemFree(local);
  if (base.empty()) {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return {};
    base.assign(temp, n);
  }
  while (!base.empty() && base.back() == L'\\') base.pop_back();
  return base + L"\\Scribly";
}

// "<process id>-<number>", the names instance folders get.
bool isInstanceName(std::wstring_view name) {
  const size_t dash = name.find(L'-');
  if (dash == 0 || dash == std::wstring_view::npos || dash + 1 == name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (i != dash && (name[i] < L'0' || name[i] > L'9')) return false;
  return true;
}

// Removes the folders whose instance has ended: nobody holds their lock.
// A live instance holds its lock open unshared, so opening it fails with a
// sharing violation; it made the lock before the folder and removes the
// folder before the lock, so a folder without a lock is left over.
void removeEndedInstances(const std::wstring& parent) {
  WIN32_FIND_DATAW found;
  FindHandle search(FindFirstFileW((parent + L"\\*").c_str(), &found));
  if (!search) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !isInstanceName(found.cFileName))
      continue;
    const std::wstring folder = parent + L"\\" + found.cFileName;
    // Deleted when closed, after the folder.
    FileHandle lock(CreateFileW((folder + kLockSuffix).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!lock && GetLastError() != ERROR_FILE_NOT_FOUND) continue;
    deleteFolderTree(folder);
  } while (FindNextFileW(search.get(), &found));
}

}  // namespace

bool deleteFolderTree(std::wstring_view folder) {
  const std::wstring path = treePath(folder);
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  // Not a folder (nor a link to one): not this function's to remove.
  if (!(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) return false;
  return removeEntry(path, attributes, 0);
}

bool deleteFolderTree(std::string_view folder) {
  return deleteFolderTree(toWide(folder, kCodePageSystem));
}

bool createPrivateFolder(const std::wstring& folder) {
  SECURITY_DESCRIPTOR* descriptor = userOnlyDescriptor();
  if (!descriptor || folder.empty()) return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  return CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
}

std::unique_ptr<InstanceFolder> InstanceFolder::create(const std::wstring& parent) {
  std::wstring where = parent.empty() ? defaultParent() : parent;
  while (!where.empty() && where.back() == L'\\') where.pop_back();
  if (where.empty() || (!createPrivateFolder(where) && !isPlainFolder(where))) return nullptr;
  removeEndedInstances(where);
  static std::atomic<unsigned> next{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring path =
        where + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(next++);
    FileHandle lock(CreateFileW((path + kLockSuffix).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                                nullptr));
    if (!lock) continue;
    // A folder of that name was left by an ended process of the same number.
    if (!createPrivateFolder(path) && (!deleteFolderTree(path) || !createPrivateFolder(path)))
      continue;
    return std::unique_ptr<InstanceFolder>(new InstanceFolder(path, std::move(lock)));
  }
  return nullptr;
}

InstanceFolder::InstanceFolder(std::wstring path, FileHandle lock)
    : path_(std::move(path)), lock_(std::move(lock)) {}

InstanceFolder::~InstanceFolder() { deleteFolderTree(path_); }

std::wstring InstanceFolder::subfolder(std::wstring_view name) const {
  if (name.empty()) return path_;
  const std::wstring path = path_ + L"\\" + std::wstring(name);
  return createPrivateFolder(path) || isPlainFolder(path) ? path : std::wstring();
}

std::string InstanceFolder::subfolderForCodePage(std::wstring_view name) const {
  const std::wstring wide = subfolder(name);
  const std::optional<std::string> narrow = wide.empty() ? std::nullopt : systemCodePagePath(wide);
  return narrow ? *narrow + "\\" : std::string();
}

}  // namespace scribly
