#pragma once
// Writes part of a bitmap as a 24-bit bitmap file.
#include <windows.h>

#include <string>

namespace scribly {

// False when the area is empty or the file cannot be written whole; `path` is
// 8-bit in the system code page.
bool writeBitmapFile(HBITMAP source, const RECT& area, const std::string& path);

}  // namespace scribly
