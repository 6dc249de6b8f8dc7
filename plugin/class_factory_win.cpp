#include "plugin/class_factory_win.h"

#include "plugin/com_guard_win.h"
#include "plugin/module_win.h"
#include "plugin/scribly_object_win.h"

namespace scribly {
namespace {

// Static and stateless: its lifetime is the module's, so reference counts only
// need to keep the module loaded.
class ScriblyFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
      return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    lockModule();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    unlockModule();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return guarded(
        [&] {
          auto* instance = new (std::nothrow) CScribly();
          if (!instance) return E_OUTOFMEMORY;
          instance->AddRef();
          HRESULT hr = instance->QueryInterface(riid, object);
          instance->Release();
          return hr;
        },
        E_OUTOFMEMORY);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      lockModule();
    else
      unlockModule();
    return S_OK;
  }
};

ScriblyFactory g_factory;

}  // namespace

HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_CScribly)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, object);
}

}  // namespace scribly
