// The module's exports: the COM entry points of an in-process server.
#include <windows.h>

#include "plugin/class_factory_win.h"
#include "plugin/module_win.h"
#include "plugin/registration_win.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  return scribly::getClassObject(clsid, riid, object);
}

HRESULT WINAPI DllCanUnloadNow() { return scribly::moduleLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT WINAPI DllRegisterServer() { return scribly::registerServer(); }

HRESULT WINAPI DllUnregisterServer() { return scribly::unregisterServer(); }

}  // extern "C"
