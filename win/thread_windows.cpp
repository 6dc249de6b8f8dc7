#include "win/thread_windows.h"

#include <cwchar>

namespace scribly {

std::vector<HWND> threadWindows() {
  std::vector<HWND> windows;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND visibleThreadWindow(const wchar_t* kind) {
  for (HWND window : threadWindows()) {
    wchar_t name[16] = {};
    if (IsWindowVisible(window) && IsWindowEnabled(window) && GetClassNameW(window, name, 16) &&
        std::wcscmp(name, kind) == 0)
      return window;
  }
  return nullptr;
}

}  // namespace scribly
