#pragma once
// The module this code lives in (scribly.dll, or a test executable that links
// the Win32 layer statically) and its lock count.
#include <windows.h>

#include <string>

namespace scribly {

HINSTANCE moduleInstance();
// Full path of the module's file, 8-bit, at most MAX_PATH characters.
std::string moduleFilePath();
// The module's folder without a trailing backslash.
std::string moduleFolder();
// The folder above the module folder.
std::string installFolder();

// Instances and server locks keep the module loaded.
void lockModule();
void unlockModule();
long moduleLockCount();

}  // namespace scribly
