#include "plugin/class_factory_win.h"

#include "plugin/module_win.h"
#include "plugin/scribly_object_win.h"
#include "win/class_factory.h"

namespace scribly {
namespace {

ClassFactory<CScribly, lockModule, unlockModule> g_factory;

}  // namespace

HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_CScribly)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, object);
}

}  // namespace scribly
