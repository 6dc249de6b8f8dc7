#pragma once
// Shared by the contract and registration tests: where the DLL is, pumping
// messages, and running a child process.
#include <windows.h>

#include <string>

namespace scribly::test {

std::wstring dllPath();                             // scribly.dll beside this executable
std::wstring selfPath();                            // this executable
void pump();                                        // handles every queued message of this thread
DWORD runProcess(const std::wstring& commandLine);  // exit code, or ~0 on failure
std::string narrow(const std::wstring& w);
// The skin control named `name` at or below `root`, asked as automation
// would ask: the engine's name message to each window; null when none.
HWND findSkinControl(HWND root, const char* name);
// Whether a hand can reach a window: it and every window around it shown and
// enabled (a disabled parent takes its children's input away).
bool reachable(HWND window);

}  // namespace scribly::test
