#pragma once
// Windows, panels and the types drawn as a plain area: a size the user may
// not drag them beyond, and a window's picture as its title icon.
#include <windows.h>

#include <optional>

#include "uiengine/drawn_control_win.h"

namespace scribly {

class WindowControl final : public DrawnControl {
 public:
  WindowControl(Engine& engine, const ControlType& type, SkinControlOwner* owner)
      : DrawnControl(engine, type, ControlKind::Window, owner) {}

 private:
  std::optional<LRESULT> kindMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool showsCaption() const override { return false; }
  void pictureLoaded() override;

  LRESULT onMinSize(WPARAM width, LPARAM height);
  LRESULT onMaxSize(WPARAM width, LPARAM height);

  SIZE minSize_{}, maxSize_{};
  Icon icon_;
};

}  // namespace scribly
