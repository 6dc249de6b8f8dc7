#include "win/module.h"

#include "base/module_paths.h"
#include "win/text.h"

namespace scribly {

HINSTANCE moduleInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&moduleInstance), &module);
  return module;
}

std::string moduleFilePath() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameW(moduleInstance(), path, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return {};
  // The folder beside the module is where the engine, the printer and the
  // skin are loaded from: a look-alike of it would load someone else's.
  return systemCodePagePath(std::wstring_view(path, n)).value_or(std::string());
}

std::string moduleFolder() { return folderOf(moduleFilePath()); }

std::string installFolder() { return installFolderOf(moduleFolder()); }

bool runningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace scribly
