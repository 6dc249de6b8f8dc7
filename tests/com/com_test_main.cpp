// Test runner for the COM contract. Also helpers run as other processes:
//   --probe-create PROGID  creates the class by name, exits 0 when it works;
//   --copy-script HWND     hands the window a scripted session by WM_COPYDATA,
//                          exits 0 when it was refused, 1 when taken;
//   --outside-share EDIT START PATH  what another program on the desktop can
//                          send the share dialog: its path set, and "start"
//                          clicked with posted messages.
#include <gtest/gtest.h>
#include <objbase.h>
#include <scribly.h>
#include <shellapi.h>

namespace {

HWND windowOf(const wchar_t* number) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(wcstoull(number, nullptr, 10)));
}

int probeCreate(const wchar_t* progId) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int code = 1;
  CLSID clsid;
  IPlugInClient* plugin = nullptr;
  if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)) &&
      SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPlugInClient,
                                 reinterpret_cast<void**>(&plugin)))) {
    ULONG type = 0;
    if (plugin->GetType(&type) == S_OK && type == 13049) code = 0;
    plugin->Release();
  }
  CoUninitialize();
  return code;
}

int copyScript(const wchar_t* window) {
  HWND frame = windowOf(window);
  static const char kScript[] = "rect 10 10 110 60\nbackground C:\\windows\\win.ini\n";
  COPYDATASTRUCT data = {0x53435250, sizeof kScript - 1, const_cast<char*>(kScript)};  // "SCRP"
  DWORD_PTR taken = 0;
  if (!SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                           30000, &taken))
    return 2;
  return taken ? 1 : 0;
}

int outsideShare(LPWSTR* argv) {
  const HWND start = windowOf(argv[3]);
  SendMessageW(windowOf(argv[2]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
  PostMessageW(start, BM_CLICK, 0, 0);
  PostMessageW(start, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageW(start, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int wargc = 0;
  LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
  if (wargc == 3 && std::wstring(wargv[1]) == L"--probe-create") return probeCreate(wargv[2]);
  if (wargc == 3 && std::wstring(wargv[1]) == L"--copy-script") return copyScript(wargv[2]);
  if (wargc == 5 && std::wstring(wargv[1]) == L"--outside-share") return outsideShare(wargv);
  LocalFree(wargv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
