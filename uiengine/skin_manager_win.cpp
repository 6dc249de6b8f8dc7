// The SkinManager COM class, its class factory, and the ScriptEngine that
// GetUIEngine hands out. Both are thin: the work is in Engine and Control.
#include "uiengine/skin_manager_win.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "uiengine/control_win.h"
#include "uiengine/engine_win.h"
#include "uiengine/menu_win.h"
#include "win/class_factory.h"

namespace scribly {
namespace {

std::atomic<long> g_locks{0};

// The engine serves one thread at a time (Engine::admits); a call from any
// other does nothing and reports failure where the method has a result.
bool admitted() { return Engine::instance().admits(); }

// Nothing may unwind into the caller of a COM method or an export.
template <class Body, class Result>
Result guarded(Body body, Result failure) noexcept {
  try {
    return body();
  } catch (...) {
    Engine::instance().log("engine call failed");
    return failure;
  }
}

class SkinManagerObject final : public SkinManager {
 public:
  HRESULT __stdcall QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, kSkinManagerInterfaceId))
      return E_NOINTERFACE;
    *object = static_cast<SkinManager*>(this);
    AddRef();
    return S_OK;
  }
  ULONG __stdcall AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG __stdcall Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT __stdcall createControl(REFCLSID classId, REFIID interfaceId, const char* caption,
                                  DWORD style, DWORD exStyle, const RECT* rect, HWND parent,
                                  SkinControlOwner* owner, SkinControl** control) override {
    if (control) *control = nullptr;
    if (!admitted()) return S_FALSE;
    const RECT area = rect ? *rect : RECT{};
    Control* made = guarded(
        [&] {
          return engine().create(classId, interfaceId, caption, style, exStyle, area, parent,
                                 owner);
        },
        static_cast<Control*>(nullptr));
    if (control) *control = made;
    return made ? S_OK : S_FALSE;
  }
  HRESULT __stdcall reserved4() override { return S_FALSE; }
  HRESULT __stdcall setSkinFolder(const char* path) override {
    if (!admitted()) return S_FALSE;
    engine().setSkinFolder(path ? path : "");
    return S_OK;
  }
  HRESULT __stdcall setObject(const char* name, SkinControl* object) override {
    if (!name || !admitted()) return S_FALSE;
    Control* control = object ? engine().control(reinterpret_cast<int64_t>(object)) : nullptr;
    engine().setObject(name, control);
    return object && !control ? S_FALSE : S_OK;
  }
  HRESULT __stdcall getObject(const char* name, SkinControl** object) override {
    if (!object) return S_FALSE;
    *object = nullptr;
    if (!admitted()) return S_FALSE;
    *object = name ? engine().object(name) : nullptr;
    return *object ? S_OK : S_FALSE;
  }
  HRESULT __stdcall loadLanguageFile(const char* path) override {
    if (!path || !admitted()) return S_FALSE;
    if (guarded([&] { return engine().texts().load(path); }, false)) return S_OK;
    engine().log("cannot read the language file " + std::string(path));
    return S_FALSE;
  }
  HRESULT __stdcall reserved9() override { return S_FALSE; }
  HRESULT __stdcall reserved10() override { return S_FALSE; }
  HRESULT __stdcall reserved11() override { return S_FALSE; }
  HRESULT __stdcall getText(const char* key, char* buffer, DWORD* size) override {
    if (!key || !buffer || !size || !admitted()) return S_FALSE;
    size_t bytes = *size;
    const bool found = engine().texts().copyText(key, buffer, &bytes);
    *size = static_cast<DWORD>(bytes);
    return found ? S_OK : S_FALSE;
  }

  HRESULT __stdcall createMenu(const char* markup, SkinControl* window, SkinMenu** menu) override {
    if (!menu) return S_FALSE;
    *menu = nullptr;
    if (!admitted()) return S_FALSE;
    Control* control = window ? engine().control(reinterpret_cast<int64_t>(window)) : nullptr;
    if (!markup || !control) return S_FALSE;
    *menu = guarded([&] { return engine().createMenu(markup, control->window()); },
                    static_cast<Menu*>(nullptr));
    return *menu ? S_OK : S_FALSE;
  }

  BOOL __stdcall raisedByUser() override { return scribly::raisedByUser(); }

  SkinManagerObject() { ++g_locks; }
  ~SkinManagerObject() { --g_locks; }

 private:
  static Engine& engine() { return Engine::instance(); }
  std::atomic<long> references_{0};
};

void lockEngine() { ++g_locks; }
void unlockEngine() { --g_locks; }

ClassFactory<SkinManagerObject, lockEngine, unlockEngine> g_factory;

class ScriptEngineObject final : public ScriptEngine {
 public:
  void __stdcall loadScriptFile(const char* path) override {
    if (path && admitted()) guarded([&] { return scripts().loadScriptFile(path); }, false);
  }
  void __stdcall runScript(const char* source) override {
    if (source && admitted()) guarded([&] { return scripts().runSource(source); }, false);
  }
  void __stdcall reserved2() override {}
  void __stdcall finish() override {
    if (admitted()) Engine::instance().finishScripts();
  }
  void __stdcall reserved4() override {}
  void __stdcall callFunction(const char* name, int count,
                              const ScriptCallArgument* arguments) override {
    if (!name || count < 0 || (count > 0 && !arguments) || !admitted()) return;
    guarded(
        [&] {
          std::vector<ScriptArgument> converted;
          for (int i = 0; i < count && i < 64; ++i)
            converted.push_back({arguments[i].type, arguments[i].value});
          return scripts().callFunction(name, converted);
        },
        false);
  }
  void __stdcall registerNative(ScriptNativeCallback callback, const char* name, int,
                                uint32_t resultType, int, int) override {
    if (!callback || !name || !admitted()) return;
    guarded(
        [&] {
          return scripts().registerNative(name, resultType,
                                          [callback] { return static_cast<int64_t>(callback()); });
        },
        false);
  }
  size_t __stdcall copyLog(char* buffer, size_t size) override {
    if (buffer && size > 0) buffer[0] = '\0';
    if (!admitted()) return 0;
    const std::string& log = Engine::instance().logText();
    if (buffer && size > 0) {
      const size_t n = std::min(log.size(), size - 1);
      std::memcpy(buffer, log.data(), n);
      buffer[n] = '\0';
    }
    return log.size();
  }

 private:
  static ScriptInterpreter& scripts() { return Engine::instance().scripts(); }
};

}  // namespace

HRESULT getSkinManagerClass(REFCLSID clsid, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, kSkinManagerClassId)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, object);
}

bool engineCanUnload() { return g_locks == 0 && !Engine::instance().hasControls(); }

ScriptEngine* scriptEngine() {
  static ScriptEngineObject engine;
  return &engine;
}

}  // namespace scribly
