#pragma once
// The calling thread's top-level windows: what a hand, a test or a tool looks
// through for the pop-ups, menus and dialogs that thread has open.
#include <windows.h>

#include <vector>

namespace scribly {

// The top-level windows of the calling thread, front to back.
std::vector<HWND> threadWindows();

// The first visible one of the system class `kind` that takes input:
// "#32768" a pop-up menu, "#32770" a dialog or message box. Null when none.
HWND visibleThreadWindow(const wchar_t* kind);

}  // namespace scribly
