#pragma once
// The "capturescreen" element: covers the screen with a still picture of it,
// lets the user drag out an area and writes that area to a bitmap file.
#include <windows.h>

#include <optional>
#include <string>

#include "uiengine/control_win.h"

namespace scribly {

class CaptureControl final : public Control {
 public:
  CaptureControl(Engine& engine, const ControlType& type, SkinControlOwner* owner)
      : Control(engine, type, ControlKind::Capture, owner) {}

 private:
  std::optional<LRESULT> kindMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void draw(HDC dc) override;

  void start(HWND reportTo, std::string path);
  void end(bool take);

  Bitmap screen_;  // the still picture of the screen while capturing
  HWND report_ = nullptr;
  std::string path_;
  POINT dragFrom_{}, dragTo_{};
  bool dragging_ = false;
};

}  // namespace scribly
