#pragma once
// What the COM tests add to the shared support: where the plug-in is, and
// whether a hand could reach a window.
#include <windows.h>

#include <string>

#include "tests/support/win_test_support.h"

namespace scribly::test {

inline std::wstring dllPath() { return besideSelf(L"scribly.dll"); }

// It and every window around it shown and enabled (a disabled parent takes
// its children's input away).
inline bool reachable(HWND window) {
  if (!window || !IsWindowVisible(window)) return false;
  for (HWND w = window; w; w = (GetWindowLongW(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr)
    if (!IsWindowEnabled(w)) return false;
  return true;
}

}  // namespace scribly::test
