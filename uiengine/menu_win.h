#pragma once
// Pop-up menus from skin menu elements: items become numbered commands, and
// the one chosen goes to the owner of the menu's window as a named command.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/xml_document.h"
#include "skin/ui_engine_win.h"
#include "win/handles.h"

namespace scribly {

class Engine;

// Skin menus are small; a larger one is cut here.
inline constexpr size_t kMaxMenuItems = 256;

class Menu final : public SkinMenu {
 public:
  Menu(Engine& engine, HWND window);
  // False when `markup` holds no menu element.
  bool build(std::string_view markup);

  void __stdcall popup(int x, int y) override;
  void __stdcall enableItem(int index, BOOL enabled) override;
  HMENU __stdcall handle() override { return menu_.get(); }
  void __stdcall release() override;

  // Hands the command of item `id` to the window's owner.
  void choose(UINT id);
  const std::string& name() const { return name_; }

 private:
  void addItems(HMENU into, XmlElementHandle element, bool topLevel);

  Engine& engine_;
  HWND window_;
  std::string name_;
  MenuHandle menu_;
  std::vector<std::string> commands_;  // item id - 1 -> item name
  std::vector<UINT> topLevelIds_;      // what enableItem's index counts
};

}  // namespace scribly
