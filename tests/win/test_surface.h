#pragma once
// What the Windows tests draw into and count with, their message pump, and
// the test program run again as another process.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "tests/win/process_counts.h"
#include "win/dib.h"
#include "win/handles.h"

namespace scribly {

// Runs every message waiting for this thread's windows.
inline void pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

// This test program started again with `arguments`, one of the helper
// modes of win_test_main.cpp; its process handle, or null.
inline HANDLE startThisProgram(const std::wstring& arguments) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

// A top-down 32-bit surface whose pixels read back as COLORREFs.
class Surface {
 public:
  Surface(int w, int h, COLORREF fill = RGB(255, 255, 255))
      : w_(w), h_(h), dc_(nullptr), bitmap_(makeDib(w, h, bits_)), selected_(dc(), bitmap_.get()) {
    for (int i = 0; i < w * h; ++i) bits_[i] = toPixel(fill);
  }
  HDC dc() const { return dc_.get(); }
  COLORREF at(int x, int y) const {
    GdiFlush();
    const uint32_t p = bits_[y * w_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  int count(COLORREF c, RECT r) const {
    int n = 0;
    for (int y = std::max(0L, r.top); y < std::min<LONG>(h_, r.bottom); ++y) {
      for (int x = std::max(0L, r.left); x < std::min<LONG>(w_, r.right); ++x) n += at(x, y) == c;
    }
    return n;
  }
  int count(COLORREF c) const { return count(c, {0, 0, w_, h_}); }

 private:
  static HBITMAP makeDib(int w, int h, uint32_t*& bits) {
    const BITMAPINFO info = dibInfo(w, h, 32, DibRows::TopDown);
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                            nullptr, 0);
  }
  static uint32_t toPixel(COLORREF c) {
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  }
  int w_, h_;
  uint32_t* bits_ = nullptr;
  MemoryDc dc_;
  Bitmap bitmap_;
  ScopedSelect selected_;
};

// Watches from another thread for the next message box titled `title`,
// keeps the texts it shows and answers it with `answer`, as a hand would.
class MessageBoxReader {
 public:
  MessageBoxReader(const wchar_t* title, WPARAM answer, int patienceMs = 5000)
      : thread_([this, title, answer, patienceMs] {
          for (int i = 0; i < patienceMs / 10 && !found_; ++i) {
            if (HWND box = FindWindowW(L"#32770", title)) {
              EnumChildWindows(
                  box,
                  [](HWND child, LPARAM out) {
                    wchar_t text[512] = {};
                    GetWindowTextW(child, text, 512);
                    *reinterpret_cast<std::wstring*>(out) += text;
                    return TRUE;
                  },
                  reinterpret_cast<LPARAM>(&shown_));
              found_ = true;
              PostMessageW(box, WM_COMMAND, answer, 0);
              return;
            }
            Sleep(10);
          }
        }) {}
  ~MessageBoxReader() { finish(); }
  // Waits for the box (five seconds unless told otherwise); true when one
  // was answered.
  bool finish() {
    if (thread_.joinable()) thread_.join();
    return found_;
  }
  const std::wstring& shown() const { return shown_; }

 private:
  std::atomic<bool> found_{false};
  std::wstring shown_;
  std::thread thread_;
};

}  // namespace scribly
