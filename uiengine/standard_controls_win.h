#pragma once
// The types the nearest standard control implements, subclassed: edits,
// labels, check boxes, lists, combo boxes, list views, tooltips and the rest.
// The few with engine messages of their own get a class of their own here;
// trees have theirs in tree_control_win.h.
#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <optional>

#include "uiengine/control_win.h"

namespace scribly {

// Tips wrap at this width unless their markup gives one.
inline constexpr LPARAM kTipWidth = 360;

class StandardControl : public Control {
 public:
  using Control::Control;

 protected:
  const wchar_t* standardClass() const override;
};

class ComboControl final : public StandardControl {
 public:
  ComboControl(Engine& engine, const ControlType& type, SkinControlOwner* owner)
      : StandardControl(engine, type, ControlKind::Combo, owner) {}

 private:
  std::optional<LRESULT> kindMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT onDropdownHeight(WPARAM height, LPARAM);
};

class ListViewControl final : public StandardControl {
 public:
  ListViewControl(Engine& engine, const ControlType& type, SkinControlOwner* owner)
      : StandardControl(engine, type, ControlKind::ListView, owner) {}

 private:
  std::optional<LRESULT> kindMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT onMultiSelect(WPARAM multiple, LPARAM);
  LRESULT onGridLines(WPARAM lines, LPARAM);
};

// Shows the tips of the controls of the window it is made under.
class TooltipControl final : public StandardControl {
 public:
  TooltipControl(Engine& engine, const ControlType& type, SkinControlOwner* owner)
      : StandardControl(engine, type, ControlKind::Tooltip, owner) {}

 private:
  DWORD kindStyle() const override { return TTS_ALWAYSTIP | TTS_NOPREFIX; }
  void created(HWND parent) override;
};

}  // namespace scribly
