// skin-shots OUTDIR: builds every window and menu of the installed skin as the
// plug-in builds it and saves a picture of each into OUTDIR ("<name>.png",
// spaces as '_'; menus as "menu_<name>.png", popped up as a person sees them),
// with the items each menu shows listed in "menus.txt". For looking at the
// skin, not for tests.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/screenshot_win.h"
#include "skin/skin_bridge_win.h"
#include "win/module.h"
#include "win/text.h"
#include "win/thread_windows.h"

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

// The items of a menu as the engine made them: the texts a person reads.
std::string menuTexts(HMENU menu) {
  std::string texts;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
    texts += " [" + fromWide(text) + "]";
  }
  return texts;
}

// Pops the menu up as the program does and saves a picture of it while it is
// open; the timer that takes the picture then closes it.
bool shootMenu(SkinMenuHandle& menu, const std::wstring& path) {
  static std::wstring target;
  static bool saved;
  target = path;
  saved = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND shown = visibleThreadWindow(L"#32768");
    if (shown) saved = saveWindowPng(shown, target);
    EndMenu();
  });
  menu.popup({20, 20});
  KillTimer(nullptr, timer);
  return saved;
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
  std::vector<std::string> menuNames;
  std::unique_ptr<SkinWindow> menuOwner;
  for (XmlElementHandle description : skin->document().descriptions()) {
    const std::string name(description.attribute("name").value());
    if (description.name() == "menu") {
      menuNames.push_back(name);
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
    if (!menuOwner) menuOwner = std::move(window);
  }
  // Menus belong to a window; the first one built holds them all.
  for (const std::string& name : menuNames) {
    std::unique_ptr<SkinMenuHandle> menu = menuOwner ? menuOwner->menu(name) : nullptr;
    if (!menu) {
      std::fprintf(stderr, "skin-shots: menu %s is not built\n", name.c_str());
      ++failed;
      continue;
    }
    menus += name + ":" + menuTexts(menu->handle()) + "\n";
    if (shootMenu(*menu, outFolder + L"\\menu_" + fileName(name) + L".png")) {
      ++written;
    } else {
      std::fprintf(stderr, "skin-shots: no picture of menu %s\n", name.c_str());
      ++failed;
    }
  }
  if (FILE* f = _wfopen((outFolder + L"\\menus.txt").c_str(), L"wb")) {
    std::fwrite(menus.data(), 1, menus.size(), f);
    std::fclose(f);
  }
  std::fprintf(stdout, "skin-shots: %d pictures written, %d failed\n", written, failed);
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
