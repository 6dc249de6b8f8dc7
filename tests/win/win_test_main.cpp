// The Win32 layer's test runner. Also two helpers that tests run as other
// processes:
//   --hold-instance-folder PARENT  makes an instance folder below PARENT and
//                                  waits until it is ended;
//   --frame-comes-and-goes         makes a frame with its own board and
//                                  closes it again, exits 0 when it could.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <string>

#include "frame/main_frame_win.h"
#include "win/folders.h"

int main(int argc, char** argv) {
  int wargc = 0;
  LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
  const std::wstring mode = wargc >= 2 ? wargv[1] : L"";
  if (mode == L"--hold-instance-folder" && wargc == 3) {
    const auto folder = scribly::InstanceFolder::create(wargv[2]);
    if (!folder) return 1;
    Sleep(INFINITE);
  }
  if (mode == L"--frame-comes-and-goes") return scribly::MainFrame::create({}, nullptr) ? 0 : 1;
  LocalFree(wargv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
