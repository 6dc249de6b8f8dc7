// scribly-host: a conferencing host for Scribly. Registers the plug-in, gives
// each participant a pane and relays their whiteboard messages.
//   scribly-host [--participants N] [--server] [--late-joiner] [--script FILE]
//                [--hand FILE] [--screenshot FILE] [--record FILE] [--verify] [--exit]
//                [--server-address HOST:PORT[,HOST:PORT...] --conference NAME
//                 --token HEX [--token HEX ...] [--first-user N]]
// --server-address joins the participants to a conference through relay
// nodes (numeric IPv4 addresses, tried in turn) instead of an in-process
// relay, as users N, N+1, ... (default 1), one token each, in order; a link
// the relay ends is reported and, with --verify, fails the run.
// --hand plays a hand session (host/hand_session.h) as real input once the
// participants are in; a step that cannot play exits 5.
// --late-joiner lets the last participant join after the sessions have run;
// --record writes the first participant's mirror stream to FILE as it comes,
// from the moment it joins (collab/recording.h).
// --verify compares every participant's mirrored board and exits 4 on a
// difference; with --record and --exit, also when the recording, replayed,
// does not hold the first participant's board.
// A command line it cannot read exits 2 before anything starts.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/hand_session.h"
#include "host/host_arguments.h"
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
  std::vector<std::string> args;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; ++i) args.push_back(fromWide(argv[i]));
  LocalFree(argv);
  HostArguments a;
  std::string usage;
  if (!parseHostArguments(args, a, usage)) {
    fwprintf(stderr, L"scribly-host: %hs\n", usage.c_str());
    return 2;
  }
  HostOptions options;
  options.participants = a.participants;
  options.peerToPeer = !a.server;
  options.lateJoiner = a.lateJoiner;
  options.verify = a.verify;
  options.exitAfterScreenshot = a.exit;
  options.screenshot = toWide(a.screenshot);
  options.record = toWide(a.record);
  options.relays = std::move(a.relays);
  options.conference = std::move(a.conference);
  options.tokens = std::move(a.tokens);
  options.firstUser = a.firstUser;
  const std::wstring scriptPath = toWide(a.script), handPath = toWide(a.hand);
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
