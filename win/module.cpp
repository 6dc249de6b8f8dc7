#include "win/module.h"

#include "base/module_paths.h"

namespace scribly {

HINSTANCE moduleInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&moduleInstance), &module);
  return module;
}

std::string moduleFilePath() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(moduleInstance(), path, MAX_PATH);
  return std::string(path, n < MAX_PATH ? n : MAX_PATH);
}

std::string moduleFolder() { return folderOf(moduleFilePath()); }

std::string installFolder() { return installFolderOf(moduleFolder()); }

}  // namespace scribly
