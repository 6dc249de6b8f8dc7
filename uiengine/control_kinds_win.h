#pragma once
// Which kind of control implements a type row, and the control of that kind.
#include <memory>

#include "uiengine/control_win.h"

namespace scribly {

// A control of the kind that implements `type`, its window not yet made.
std::unique_ptr<Control> makeControl(Engine& engine, const ControlType& type,
                                     SkinControlOwner* owner);

}  // namespace scribly
