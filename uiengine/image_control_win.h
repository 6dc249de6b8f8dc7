#pragma once
// A picture from a file, at its own size or stretched over the control;
// clicks may fall through its transparent pixels to what lies below.
#include <windows.h>

#include <optional>

#include "uiengine/drawn_control_win.h"

namespace scribly {

class ImageControl final : public DrawnControl {
 public:
  ImageControl(Engine& engine, const ControlType& type, SkinControlOwner* owner)
      : DrawnControl(engine, type, ControlKind::Image, owner) {}

 private:
  std::optional<LRESULT> kindMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  RECT pictureArea(const RECT& client, bool captioned, int lineHeight, RECT& textArea) override;

  LRESULT onStretch(WPARAM stretch, LPARAM);
  LRESULT onHitTransparent(WPARAM through, LPARAM);
  bool transparentAt(POINT client) const;

  bool stretch_ = false;
  bool hitTransparent_ = false;
};

}  // namespace scribly
