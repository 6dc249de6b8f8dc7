#include "uiengine/control_kinds_win.h"

#include <string_view>

#include "uiengine/button_control_win.h"
#include "uiengine/capture_control_win.h"
#include "uiengine/image_control_win.h"
#include "uiengine/standard_controls_win.h"
#include "uiengine/tree_control_win.h"
#include "uiengine/window_control_win.h"

namespace scribly {
namespace {

struct KindRow {
  std::string_view type;
  ControlKind kind;
};
constexpr KindRow kKinds[] = {
    {"edit", ControlKind::Edit},
    {"editw", ControlKind::Edit},
    {"richedit", ControlKind::Edit},
    {"richview", ControlKind::Edit},
    {"static", ControlKind::Static},
    {"button", ControlKind::Button},
    {"linkbutton", ControlKind::Button},
    {"check", ControlKind::StandardButton},
    {"radio", ControlKind::StandardButton},
    {"group", ControlKind::StandardButton},
    {"combobox", ControlKind::Combo},
    {"comboboxw", ControlKind::Combo},
    {"listview", ControlKind::ListView},
    {"listctrl", ControlKind::ListView},
    {"datetimepicker", ControlKind::DateTime},
    {"listbox", ControlKind::List},
    {"messagelistbox", ControlKind::List},
    {"vdlist", ControlKind::List},
    {"vdiconlist", ControlKind::List},
    {"grouplist", ControlKind::List},
    {"treeview", ControlKind::Tree},
    {"vdtree", ControlKind::Tree},
    {"vdtreelist", ControlKind::Tree},
    {"vdtreegraph", ControlKind::Tree},
    {"image", ControlKind::Image},
    {"progressbar", ControlKind::Progress},
    {"trackbar", ControlKind::Trackbar},
    {"tooltip", ControlKind::Tooltip},
    {"calendarctrl", ControlKind::Calendar},
    {"capturescreen", ControlKind::Capture},
};

ControlKind controlKindOf(const ControlType& type) {
  for (const KindRow& row : kKinds)
    if (row.type == type.name) return row.kind;
  return ControlKind::Window;
}

}  // namespace

std::unique_ptr<Control> makeControl(Engine& engine, const ControlType& type,
                                     SkinControlOwner* owner) {
  switch (const ControlKind kind = controlKindOf(type)) {
    case ControlKind::Window:
      return std::make_unique<WindowControl>(engine, type, owner);
    case ControlKind::Button:
      return std::make_unique<ButtonControl>(engine, type, owner);
    case ControlKind::Image:
      return std::make_unique<ImageControl>(engine, type, owner);
    case ControlKind::Capture:
      return std::make_unique<CaptureControl>(engine, type, owner);
    case ControlKind::Tree:
      return std::make_unique<TreeControl>(engine, type, owner);
    case ControlKind::Tooltip:
      return std::make_unique<TooltipControl>(engine, type, owner);
    case ControlKind::Combo:
      return std::make_unique<ComboControl>(engine, type, owner);
    case ControlKind::ListView:
      return std::make_unique<ListViewControl>(engine, type, owner);
    default:
      return std::make_unique<StandardControl>(engine, type, kind, owner);
  }
}

}  // namespace scribly
