#pragma once
// The class factory of one COM class: static and stateless, so its lifetime is
// the module's and its references only keep the module loaded. The out pointer
// is nulled first, aggregation refused, unknown interfaces answered
// E_NOINTERFACE, and no exception from making the object reaches the caller.
#include <unknwn.h>

#include <new>

namespace scribly {

// Makes `Object` (default-constructed, counted from 0); `lock` and `unlock`
// count the module's locks.
template <class Object, void (*lock)(), void (*unlock)()>
class ClassFactory final : public IClassFactory {
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
    lock();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    unlock();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
      auto* instance = new (std::nothrow) Object();
      if (!instance) return E_OUTOFMEMORY;
      instance->AddRef();
      const HRESULT hr = instance->QueryInterface(riid, object);
      instance->Release();
      return hr;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL locked) override {
    if (locked)
      lock();
    else
      unlock();
    return S_OK;
  }
};

}  // namespace scribly
