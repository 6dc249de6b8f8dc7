// scribly-host: a conferencing host for Scribly. Registers the plug-in, gives
// each participant a pane and relays their whiteboard messages.
//   scribly-host [--participants N] [--server] [--late-joiner] [--script FILE]
//                [--hand FILE] [--screenshot FILE] [--record FILE] [--verify] [--exit]
// --hand plays a hand session (host/hand_session.h) as real input once the
// participants are in; a step that cannot play exits 5.
// --late-joiner lets the last participant join after the sessions have run;
// --record writes the first participant's mirror stream to FILE as it comes,
// from the moment it joins (collab/recording.h).
// --verify compares every participant's mirrored board and exits 4 on a
// difference; with --record and --exit, also when the recording, replayed,
// does not hold the first participant's board.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "host/hand_session.h"
#include "host/host_window_win.h"
#include "win/handles.h"
#include "win/text.h"

using namespace scribly;

namespace {

std::wstring exeFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.rfind(L'\\'));
}

// regsvr32 is what a real installation runs; its exit code tells success.
bool registerPlugin(const std::wstring& dll) {
  std::wstring cmd = L"regsvr32.exe /s \"" + dll + L"\"";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  const KernelHandle process(pi.hProcess), thread(pi.hThread);
  WaitForSingleObject(process.get(), 60000);
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  return code == 0;
}

bool readText(const std::wstring& path, std::string& text) {
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return false;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0 && text.size() <= (1u << 20))
    text.append(buffer, n);
  fclose(f);
  return true;
}

std::string narrow(const std::wstring& w) { return fromWide(w, kCodePageSystem); }

}  // namespace

int wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  HostOptions options;
  std::wstring scriptPath, handPath;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a == L"--participants" && i + 1 < argc)
      options.participants = _wtoi(argv[++i]);
    else if (a == L"--server")
      options.peerToPeer = false;
    else if (a == L"--screenshot" && i + 1 < argc)
      options.screenshot = argv[++i];
    else if (a == L"--script" && i + 1 < argc)
      scriptPath = argv[++i];
    else if (a == L"--hand" && i + 1 < argc)
      handPath = argv[++i];
    else if (a == L"--late-joiner")
      options.lateJoiner = true;
    else if (a == L"--verify")
      options.verify = true;
    else if (a == L"--record" && i + 1 < argc)
      options.record = argv[++i];
    else if (a == L"--exit")
      options.exitAfterScreenshot = true;
  }
  LocalFree(argv);
  if (!scriptPath.empty() && !readText(scriptPath, options.script)) {
    fwprintf(stderr, L"scribly-host: cannot read %ls\n", scriptPath.c_str());
    return 2;
  }

  if (!handPath.empty()) {
    std::string text;
    if (!readText(handPath, text)) {
      fwprintf(stderr, L"scribly-host: cannot read %ls\n", handPath.c_str());
      return 2;
    }
    options.hand = parseHandSession(text);
    if (!options.hand.ok()) {
      fwprintf(stderr, L"scribly-host: %ls: %hs\n", handPath.c_str(), options.hand.error.c_str());
      return 2;
    }
    const size_t slash = handPath.find_last_of(L"\\/");
    const std::wstring handFolder = slash == std::wstring::npos ? L"." : handPath.substr(0, slash);
    resolveHandFiles(options.hand, fromWide(handFolder), '\\');
  }

  const std::wstring folder = exeFolder();
  options.skinFolder = narrow(folder + L"\\Skins\\");
  if (!registerPlugin(folder + L"\\scribly.dll")) {
    fwprintf(stderr, L"scribly-host: registering scribly.dll failed\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int result = 0;
  {
    HostWindow host(options);
    std::wstring error;
    if (!host.open(error)) {
      fwprintf(stderr, L"scribly-host: %ls\n", error.c_str());
      result = 3;
    } else {
      result = host.run();
    }
  }
  CoUninitialize();
  return result;
}
