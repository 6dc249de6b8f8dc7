#pragma once
#include <unknwn.h>

namespace scribly {

// The class factory of CScribly, the one class of the module.
HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** object);

}  // namespace scribly
