#include "uiengine/standard_controls_win.h"

#include <commctrl.h>

#include "skin/skin_layout.h"
#include "uiengine/engine_win.h"

namespace scribly {

const wchar_t* StandardControl::standardClass() const {
  switch (kind()) {
    case ControlKind::StandardButton:
      return L"BUTTON";
    case ControlKind::Edit:
      return L"EDIT";
    case ControlKind::Static:
      return L"STATIC";
    case ControlKind::Combo:
      return L"COMBOBOX";
    case ControlKind::List:
      return L"LISTBOX";
    case ControlKind::Trackbar:
      return TRACKBAR_CLASSW;
    case ControlKind::Tooltip:
      return TOOLTIPS_CLASSW;
    case ControlKind::Tree:
      return WC_TREEVIEWW;
    case ControlKind::ListView:
      return WC_LISTVIEWW;
    case ControlKind::Progress:
      return PROGRESS_CLASSW;
    case ControlKind::DateTime:
      return DATETIMEPICK_CLASSW;
    case ControlKind::Calendar:
      return MONTHCAL_CLASSW;
    default:
      return nullptr;
  }
}

std::optional<LRESULT> ComboControl::kindMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  static constexpr MessageHandler<ComboControl> kEngineMessages[] = {
      {kEngineDropdownHeight, &ComboControl::onDropdownHeight},
  };
  return runHandler(*this, kEngineMessages, message, wParam, lParam);
}

LRESULT ComboControl::onDropdownHeight(WPARAM height, LPARAM) {
  RECT r;
  GetWindowRect(hwnd(), &r);
  SetWindowPos(hwnd(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top + static_cast<int>(height),
               SWP_NOMOVE | SWP_NOZORDER);
  return 0;
}

std::optional<LRESULT> ListViewControl::kindMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  static constexpr MessageHandler<ListViewControl> kEngineMessages[] = {
      {kEngineMultiSelect, &ListViewControl::onMultiSelect},
      {kEngineHaveLines, &ListViewControl::onGridLines},
  };
  return runHandler(*this, kEngineMessages, message, wParam, lParam);
}

LRESULT ListViewControl::onMultiSelect(WPARAM multiple, LPARAM) {
  const LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
  SetWindowLongPtrW(hwnd(), GWL_STYLE, multiple ? style & ~LVS_SINGLESEL : style | LVS_SINGLESEL);
  return 0;
}

LRESULT ListViewControl::onGridLines(WPARAM lines, LPARAM) {
  SendMessageW(hwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES,
               lines ? LVS_EX_GRIDLINES : 0);
  return 0;
}

void TooltipControl::created(HWND parent) {
  Control* owner = engine().control(parent);
  if (!owner) return;
  owner->showTipsWith(hwnd());
  SendMessageW(hwnd(), TTM_SETMAXTIPWIDTH, 0, kTipWidth);
  if (!owner->tip().empty()) owner->addTipTo(hwnd());
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM self) {
        auto* tooltip = reinterpret_cast<TooltipControl*>(self);
        Control* control = tooltip->engine().control(child);
        if (control && !control->tip().empty()) control->addTipTo(tooltip->hwnd());
        return TRUE;
      },
      reinterpret_cast<LPARAM>(this));
}

}  // namespace scribly
