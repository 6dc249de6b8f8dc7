// The module's exports: the COM entry points of an in-process server. Their
// callers expect HRESULTs, never exceptions.
#include <olectl.h>
#include <windows.h>

#include "plugin/class_factory_win.h"
#include "plugin/com_guard_win.h"
#include "plugin/module_win.h"
#include "plugin/registration_win.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  return scribly::guarded([&] { return scribly::getClassObject(clsid, riid, object); },
                          E_UNEXPECTED);
}

HRESULT WINAPI DllCanUnloadNow() { return scribly::moduleLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT WINAPI DllRegisterServer() {
  return scribly::guarded(scribly::registerServer, SELFREG_E_CLASS);
}

HRESULT WINAPI DllUnregisterServer() {
  return scribly::guarded(scribly::unregisterServer, SELFREG_E_CLASS);
}

}  // extern "C"
