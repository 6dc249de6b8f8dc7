#pragma once
// The engine's own button: a picture from a file with hover, pressed and
// checked states (tool buttons), clicked by the mouse, Space or Enter.
#include <windows.h>

#include <optional>

#include "uiengine/drawn_control_win.h"

namespace scribly {

class ButtonControl final : public DrawnControl {
 public:
  ButtonControl(Engine& engine, const ControlType& type, SkinControlOwner* owner)
      : DrawnControl(engine, type, ControlKind::Button, owner) {}

 private:
  std::optional<LRESULT> kindMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void drawFrame(HDC dc, const RECT& client) override;
  RECT pictureArea(const RECT& client, bool captioned, int lineHeight, RECT& textArea) override;

  void click();
  void redraw() { InvalidateRect(hwnd(), nullptr, FALSE); }

  bool checked_ = false, pressed_ = false, hover_ = false;
};

}  // namespace scribly
