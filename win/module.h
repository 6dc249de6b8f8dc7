#pragma once
// The module this code lives in (scribly.dll, or a program that links the Win32
// layer statically) and the folders beside it.
#include <windows.h>

#include <string>

namespace scribly {

HINSTANCE moduleInstance();
// Full path of the module's file, 8-bit as systemCodePagePath gives it, at
// most MAX_PATH characters; empty when the code page cannot name it.
std::string moduleFilePath();
// The module's folder without a trailing backslash.
std::string moduleFolder();
// The folder above the module folder.
std::string installFolder();

// Whether the program runs under Wine, where some file calls act otherwise
// (links) and Linux programs run beside Windows ones.
bool runningUnderWine();

}  // namespace scribly
