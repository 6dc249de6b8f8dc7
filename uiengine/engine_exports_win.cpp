// uiengine.dll's exports: GetUIEngine and the COM entry points of an
// in-process server whose one class is the SkinManager.
#include <windows.h>

#include <string>

#include "uiengine/skin_manager_win.h"
#include "win/handles.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr char kFriendlyName[] = "Scribly SkinManager";

std::string classKey() {
  wchar_t wide[40] = {};
  StringFromGUID2(kSkinManagerClassId, wide, 40);
  return "CLSID\\" + fromWide(wide, kCodePageSystem);
}

LONG writeKey(const std::string& path, const std::string& value, const char* name = nullptr,
              const std::string& namedValue = {}) {
  RegistryKey key;
  LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            key.put(), nullptr);
  if (rc == ERROR_SUCCESS)
    rc = RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
  if (rc == ERROR_SUCCESS && name)
    rc = RegSetValueExA(key.get(), name, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(namedValue.c_str()),
                        static_cast<DWORD>(namedValue.size() + 1));
  return rc;
}

}  // namespace
}  // namespace scribly

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

scribly::ScriptEngine* __stdcall GetUIEngine() { return scribly::scriptEngine(); }

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  return scribly::getSkinManagerClass(clsid, riid, object);
}

HRESULT WINAPI DllCanUnloadNow() { return scribly::engineCanUnload() ? S_OK : S_FALSE; }

HRESULT WINAPI DllRegisterServer() {
  using namespace scribly;
  const std::string key = classKey();
  LONG rc = writeKey(key, kFriendlyName);
  if (rc == ERROR_SUCCESS)
    rc = writeKey(key + "\\InprocServer32", moduleFilePath(), "ThreadingModel", "Both");
  return HRESULT_FROM_WIN32(rc);
}

HRESULT WINAPI DllUnregisterServer() {
  const LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, scribly::classKey().c_str());
  if (rc == ERROR_SUCCESS) RegDeleteKeyA(HKEY_CLASSES_ROOT, scribly::classKey().c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(rc);
}

}  // extern "C"
