// Test runner for the COM contract. Also helpers run as other processes:
//   --probe-create PROGID  creates the class by name, exits 0 when it works;
//   --copy-script HWND     hands the window a scripted session by WM_COPYDATA,
//                          exits 0 when it was refused, 1 when taken;
//   --outside WHAT ...     what another program on the desktop can send a
//                          plug-in's windows (see outside()); exits 0 when
//                          the plug-in gave away no address.
#include <gtest/gtest.h>
#include <objbase.h>
#include <scribly.h>
#include <shellapi.h>

#include "tests/support/win_test_support.h"
#include "win/messages.h"

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

//   name CONTROL ADDRESS     the engine's name message, posted and sent, with
//                            a buffer address of the plug-in's process, and
//                            its record message, whose answer is an address;
//   text VIEW                a window of this program named as the finished
//                            text editor's, sent and posted;
//   share EDIT START PATH    the share dialog's path set, and "start" clicked
//                            with posted messages.
int outside(int argc, LPWSTR* argv) {
  const std::wstring what = argv[2];
  if (what == L"name" && argc == 5) {
    const HWND control = windowOf(argv[3]);
    const auto address = static_cast<WPARAM>(wcstoull(argv[4], nullptr, 10));
    PostMessageW(control, scribly::WM_SKIN_GET_NAME, address, 64);
    SendMessageW(control, scribly::WM_SKIN_GET_NAME, address, 64);
    return SendMessageW(control, scribly::kEngineControlRecord, 0, 0) == 0 ? 0 : 1;
  }
  if (what == L"text" && argc == 4) {
    const HWND field = CreateWindowExW(0, L"STATIC", L"a secret of another program", WS_POPUP, 0, 0,
                                       200, 20, nullptr, nullptr, nullptr, nullptr);
    const auto handle = reinterpret_cast<WPARAM>(field);
    SendMessageW(windowOf(argv[3]), scribly::WM_PLUGIN_TEXT_COMMITTED, handle, MAKELPARAM(10, 10));
    PostMessageW(windowOf(argv[3]), scribly::WM_PLUGIN_TEXT_COMMITTED, handle, MAKELPARAM(10, 30));
    // The window lives while the plug-in could still read it.
    scribly::settle(500);
    DestroyWindow(field);
    return 0;
  }
  if (what == L"share" && argc == 6) {
    const HWND start = windowOf(argv[4]);
    SendMessageW(windowOf(argv[3]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[5]));
    PostMessageW(start, BM_CLICK, 0, 0);
    PostMessageW(start, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageW(start, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    return 0;
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int wargc = 0;
  LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
  if (wargc == 3 && std::wstring(wargv[1]) == L"--probe-create") return probeCreate(wargv[2]);
  if (wargc == 3 && std::wstring(wargv[1]) == L"--copy-script") return copyScript(wargv[2]);
  if (wargc >= 3 && std::wstring(wargv[1]) == L"--outside") return outside(wargc, wargv);
  LocalFree(wargv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
