#pragma once
// The tool panels' pop-ups (the colour palette and the shape choosers),
// shared by the panels and the palette's own handling.
#include <memory>

#include "frame/tool_panels_win.h"

namespace scribly {

// A pop-up built from the skin, with the panels as its program object.
class ToolPanels::Popup final : public SkinProgram {
 public:
  Popup(ToolPanels& panels, PopupKind kind) : kind(kind), panels_(panels) {}
  ~Popup() { window_.reset(); }
  Popup(const Popup&) = delete;
  Popup& operator=(const Popup&) = delete;

  bool build(SkinSystem& skin, HWND owner);
  SkinWindow& skinWindow() { return *window_; }
  HWND window() const { return window_ ? window_->window() : nullptr; }
  void hide() {
    if (window() && IsWindowVisible(window())) ShowWindow(window(), SW_HIDE);
  }

  LRESULT onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                        bool& handled) override {
    return panels_.popupMessage(*this, source, message, wParam, lParam, handled);
  }
  LRESULT onNamedCommand(SkinElement& source, std::string_view name, std::string_view) override {
    panels_.popupCommand(*this, source, name);
    return 0;
  }

  const PopupKind kind;

 private:
  ToolPanels& panels_;
  std::unique_ptr<SkinWindow> window_;
};

}  // namespace scribly
