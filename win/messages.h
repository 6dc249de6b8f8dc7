#pragma once
// The private window messages of the plug-in, each number declared here and
// nowhere else; the skin engine's own are in skin/engine_messages.h. The
// receiver decides the meaning.
#include <cstdint>

#include "skin/engine_messages.h"

namespace scribly {

// Plug-in windows.
constexpr uint32_t WM_PLUGIN_TEXT_COMMITTED = 0x0516;  // editor done: wParam edit, lParam point
constexpr uint32_t WM_PLUGIN_DATA_IN = 0x052D;         // peer data: wParam heap copy, lParam length
constexpr uint32_t WM_PLUGIN_COLOUR_CHOSEN = 0x052E;   // wParam colour, lParam kColourChosen or 0
constexpr uint32_t WM_PLUGIN_SET_PRIVILEGE = 0x052F;   // wParam privilege word
constexpr uint32_t WM_PLUGIN_CMD_MIRROR = 0x0530;      // kMirrorCommand: mirror to the host
constexpr uint32_t WM_PLUGIN_CMD_EDITING = 0x0531;     // kCommandEnableEditing: editing on or off
constexpr uint32_t WM_PLUGIN_PEN_STATE = 0x055E;       // pen changed: wParam mask, lParam style
constexpr uint32_t WM_PLUGIN_GO_TO_PAGE = 0x055F;      // wParam page, without sending
constexpr uint32_t WM_PLUGIN_SELECT_TOOL = 0x0560;     // lParam key code or 0
constexpr uint32_t WM_PLUGIN_PRINT_FINISHED = 0x0591;  // the printer library is done
constexpr uint32_t WM_PLUGIN_CONTENTS_CHANGED = 0x0592;  // wParam kind, lParam page or name
constexpr uint32_t WM_PLUGIN_SELECTION_PROPS = 0x059A;   // to the frame: picture panel values

// The engine messages tests and the hand player send by these names.
constexpr uint32_t WM_SKIN_GET_NAME = kEngineCopyName;  // copy the name: wParam buffer, lParam size
constexpr uint32_t WM_SKIN_CLICKED = kEngineClicked;    // raise "onclick"

}  // namespace scribly
