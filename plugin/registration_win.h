#pragma once
#include <windows.h>

namespace scribly {

// Writes the class, its names, its application id and the embedded type
// library into the registry; removes them again (but never the "AppID" key).
HRESULT registerServer();
HRESULT unregisterServer();

}  // namespace scribly
