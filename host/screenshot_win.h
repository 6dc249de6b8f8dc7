#pragma once
#include <windows.h>

#include <string>

namespace scribly {

// Saves what the screen shows of the window (children included) as a PNG file.
bool saveWindowPng(HWND window, const std::wstring& path);

}  // namespace scribly
