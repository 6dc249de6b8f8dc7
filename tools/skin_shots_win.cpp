// skin-shots OUTDIR: builds every window of the installed skin as the plug-in
// builds it and saves a picture of each into OUTDIR ("<window name>.png",
// spaces as '_'), with the menus' items listed in "menus.txt". For looking at
// the skin, not for tests.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "host/screenshot_win.h"
#include "skin/skin_bridge_win.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

class QuietProgram final : public SkinProgram {
 public:
  LRESULT onSkinMessage(SkinElement&, UINT, WPARAM, LPARAM, bool&) override { return 0; }
  LRESULT onNamedCommand(SkinElement&, std::string_view, std::string_view) override { return 0; }
};

void settle() {
  for (int round = 0; round < 20; ++round) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    Sleep(10);
  }
}

std::wstring fileName(std::string name) {
  for (char& c : name)
    if (c == ' ' || c == '\\' || c == '/' || c == ':') c = '_';
  return toWide(name);
}

int run(const std::wstring& outFolder) {
  CreateDirectoryW(outFolder.c_str(), nullptr);
  std::shared_ptr<SkinSystem> skin = SkinSystem::acquire(moduleFolder(), "");
  if (!skin) {
    std::fprintf(stderr, "skin-shots: the skin engine beside this program does not start\n");
    return 1;
  }
  QuietProgram program;
  int written = 0, failed = 0;
  std::string menus;
  for (XmlElementHandle description : skin->document().descriptions()) {
    const std::string name(description.attribute("name").value());
    if (description.name() == "menu") {
      menus += name + ":";
      for (XmlElementHandle item = description.firstChild(); item; item = item.nextSibling())
        menus += " [" + skin->text(item.attribute("caption").value()) + "]";
      menus += "\n";
      continue;
    }
    std::unique_ptr<SkinWindow> window = skin->createWindow(name, nullptr, &program);
    if (!window) {
      std::fprintf(stderr, "skin-shots: %s is not built\n", name.c_str());
      ++failed;
      continue;
    }
    SetWindowPos(window->window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    settle();
    const std::wstring path = outFolder + L"\\" + fileName(name) + L".png";
    if (saveWindowPng(window->window(), path)) {
      ++written;
    } else {
      std::fprintf(stderr, "skin-shots: no picture of %s\n", name.c_str());
      ++failed;
    }
  }
  if (FILE* f = _wfopen((outFolder + L"\\menus.txt").c_str(), L"wb")) {
    std::fwrite(menus.data(), 1, menus.size(), f);
    std::fclose(f);
  }
  std::fprintf(stdout, "skin-shots: %d windows written, %d failed\n", written, failed);
  std::fputs(skin->log().c_str(), stdout);
  return failed == 0 ? 0 : 1;
}

}  // namespace
}  // namespace scribly

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: skin-shots OUTDIR\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = scribly::run(argv[1]);
  CoUninitialize();
  return result;
}
