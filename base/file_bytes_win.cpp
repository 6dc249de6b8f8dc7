// Writing a whole file on Windows: a new file beside the old one, moved over
// it in one step. The C runtime's rename refuses to replace a file, and
// stepping the old one aside first left a moment without any.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "base/file_bytes.h"

namespace scribly {
namespace {

std::wstring widePath(const std::string& path) {
  if (path.empty() || path.size() > 32767) return {};
  const int length = static_cast<int>(path.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, path.data(), length, wide.data(), n);
  return wide;
}

// A file of this writer's own beside `path`, made new (never one that
// exists, so never one planted there); invalid when none could be made.
HANDLE createBeside(const std::wstring& path, std::wstring& made) {
  static std::atomic<unsigned> next{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    made = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(next++) +
           L".new";
    HANDLE file = CreateFileW(made.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool writeAll(HANDLE file, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    if (!WriteFile(file, bytes.data() + done, want, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return FlushFileBuffers(file) != FALSE;
}

// A reader that holds the old file without letting it be replaced has it
// only for a moment: the move is tried again for about a second.
bool moveOver(const std::wstring& from, const std::wstring& to) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return false;
    Sleep(20);
  }
  return false;
}

}  // namespace

bool writeFileBytes(const std::string& path, std::span<const uint8_t> bytes) {
  const std::wstring target = widePath(path);
  if (target.empty()) return false;
  std::wstring temporary;
  HANDLE file = createBeside(target, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = writeAll(file, bytes);
  CloseHandle(file);
  if (written && moveOver(temporary, target)) return true;
  DeleteFileW(temporary.c_str());
  return false;
}

}  // namespace scribly
