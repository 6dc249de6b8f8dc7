#include "plugin/registration_win.h"

#include <oleauto.h>
#include <olectl.h>
#include <scribly.h>

#include <string>
#include <vector>

#include "plugin/module_win.h"
#include "win/handles.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr char kFriendlyName[] = "CScribly Object";
constexpr char kProgId[] = "Scribly.Scribly.1";
constexpr char kIndependentProgId[] = "Scribly.Scribly";
constexpr char kAppIdValue[] = "{67C24BA3-03F5-4F09-90AF-63A6BCD6E907}";
constexpr char kAppName[] = "Scribly";
constexpr char kAppModuleKey[] = "AppID\\Scribly.DLL";

std::string guidText(REFGUID guid) {
  wchar_t wide[40] = {};
  const int n = StringFromGUID2(guid, wide, 40);
  return n > 1 ? fromWide({wide, static_cast<size_t>(n - 1)}, kCodePageSystem) : std::string();
}

// One key with its default value and named values; empty default means none.
struct KeyEntry {
  std::string path;
  std::string defaultValue;
  std::vector<std::pair<std::string, std::string>> values;
};

std::vector<KeyEntry> registryScript() {
  const std::string clsid = guidText(CLSID_CScribly);
  const std::string classKey = "CLSID\\" + clsid;
  return {
      {kProgId, kFriendlyName, {}},
      {std::string(kProgId) + "\\CLSID", clsid, {}},
      {kIndependentProgId, kFriendlyName, {}},
      {std::string(kIndependentProgId) + "\\CLSID", clsid, {}},
      {std::string(kIndependentProgId) + "\\CurVer", kProgId, {}},
      {classKey, kFriendlyName, {{"AppID", kAppIdValue}}},
      {classKey + "\\ProgID", kProgId, {}},
      {classKey + "\\VersionIndependentProgID", kIndependentProgId, {}},
      {classKey + "\\Programmable", "", {}},
      {classKey + "\\InprocServer32", moduleFilePath(), {{"ThreadingModel", "both"}}},
      {classKey + "\\TypeLib", guidText(LIBID_Scribly), {}},
      {std::string("AppID\\") + kAppIdValue, kAppName, {}},
      {kAppModuleKey, "", {{"AppID", kAppIdValue}}},
  };
}

LONG setString(HKEY key, const char* name, const std::string& value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
}

HRESULT writeKey(const KeyEntry& entry) {
  RegistryKey key;
  LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, entry.path.c_str(), 0, nullptr, 0, KEY_WRITE,
                            nullptr, key.put(), nullptr);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  if (!entry.defaultValue.empty()) rc = setString(key.get(), nullptr, entry.defaultValue);
  for (const auto& [name, value] : entry.values)
    if (rc == ERROR_SUCCESS) rc = setString(key.get(), name.c_str(), value);
  return HRESULT_FROM_WIN32(rc);
}

}  // namespace

HRESULT registerServer() {
  // A path the code page cannot name would register some other file.
  if (moduleFilePath().empty()) return SELFREG_E_CLASS;
  for (const KeyEntry& entry : registryScript()) {
    HRESULT hr = writeKey(entry);
    if (FAILED(hr)) return hr;
  }
  ComPtr<ITypeLib> library;
  std::wstring path = toWide(moduleFilePath(), kCodePageSystem);
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
  if (FAILED(hr)) return hr;
  return RegisterTypeLib(library.get(), path.data(), nullptr);
}

HRESULT unregisterServer() {
  // Whole trees, deepest first; missing keys are no failure.
  const std::string clsid = guidText(CLSID_CScribly);
  const std::string trees[] = {kProgId, kIndependentProgId, "CLSID\\" + clsid,
                               std::string("AppID\\") + kAppIdValue, kAppModuleKey};
  HRESULT result = S_OK;
  for (const std::string& tree : trees) {
    LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, tree.c_str());
    if (rc == ERROR_SUCCESS) rc = RegDeleteKeyA(HKEY_CLASSES_ROOT, tree.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) result = HRESULT_FROM_WIN32(rc);
  }
  HRESULT hr = UnRegisterTypeLib(LIBID_Scribly, 1, 0, 0x0409, SYS_WIN64);
  if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_CANTLOADLIBRARY &&
      SUCCEEDED(result))
    result = hr;
  return result;
}

}  // namespace scribly
