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

}  // namespace scribly::test
