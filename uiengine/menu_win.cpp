#include "uiengine/menu_win.h"

#include "uiengine/control_win.h"
#include "uiengine/engine_win.h"
#include "win/text.h"

namespace scribly {

Menu::Menu(Engine& engine, HWND window) : engine_(engine), window_(window) {}

bool Menu::build(std::string_view markup) {
  XmlDocument document;
  document.parse(markup);
  const XmlElementHandle root = document.root();
  if (!root || root.name() != "menu") return false;
  name_ = root.attribute("name").value();
  menu_.reset(CreatePopupMenu());
  if (!menu_) return false;
  addItems(menu_.get(), root, true);
  return true;
}

void Menu::addItems(HMENU into, XmlElementHandle element, bool topLevel) {
  for (XmlElementHandle item = element.firstChild(); item; item = item.nextSibling()) {
    if (commands_.size() >= kMaxMenuItems) return;
    // A caption that is a language key shows its text, as control captions do.
    const std::wstring caption = toWide(engine_.texts().text(item.attribute("caption").value()));
    if (item.name() == "separator") {
      AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
    } else if (item.name() == "menu") {
      HMENU sub = CreatePopupMenu();
      if (!sub) continue;
      addItems(sub, item, false);
      // The parent menu owns the sub-menu from here on.
      AppendMenuW(into, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), caption.c_str());
    } else if (item.name() == "item") {
      commands_.push_back(item.attribute("name").value());
      const UINT id = static_cast<UINT>(commands_.size());
      UINT flags = MF_STRING;
      if (item.attribute("disabled").present()) flags |= MF_GRAYED;
      if (item.attribute("checked").present()) flags |= MF_CHECKED;
      AppendMenuW(into, flags, id, caption.c_str());
      if (topLevel) topLevelIds_.push_back(id);
    }
  }
}

void __stdcall Menu::popup(int x, int y) {
  if (!menu_) return;
  // The window must be in front, or the menu does not close when the user
  // clicks elsewhere.
  SetForegroundWindow(window_);
  const UINT id = static_cast<UINT>(TrackPopupMenuEx(
      menu_.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, window_, nullptr));
  PostMessageW(window_, WM_NULL, 0, 0);
  if (id) choose(id);
}

void Menu::choose(UINT id) {
  if (id == 0 || id > commands_.size()) return;
  Control* window = engine_.control(window_);
  SkinControlOwner* owner = window ? window->owner() : nullptr;
  if (owner) owner->onNamedCommand(window, name_.c_str(), commands_[id - 1].c_str());
}

void __stdcall Menu::enableItem(int index, BOOL enabled) {
  if (index < 0 || static_cast<size_t>(index) >= topLevelIds_.size()) return;
  EnableMenuItem(menu_.get(), topLevelIds_[static_cast<size_t>(index)],
                 MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void __stdcall Menu::release() { engine_.releaseMenu(this); }

}  // namespace scribly
