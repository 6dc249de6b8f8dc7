#pragma once
#include <unknwn.h>

#include "skin/ui_engine_win.h"

namespace scribly {

// The class factory of the SkinManager, the engine's one COM class.
HRESULT getSkinManagerClass(REFCLSID clsid, REFIID riid, void** object);
// No COM reference and no control window is left.
bool engineCanUnload();
// The process's ScriptEngine.
ScriptEngine* scriptEngine();

}  // namespace scribly
