#pragma once
// Private window messages through which host calls reach the frame. Values
// are fixed: hosts rely on them.
#include <cstdint>

namespace scribly {

constexpr uint32_t WM_PLUGIN_DATA_IN = 0x052D;        // wParam heap copy, lParam length
constexpr uint32_t WM_PLUGIN_SET_PRIVILEGE = 0x052F;  // wParam privilege word
constexpr uint32_t WM_PLUGIN_CMD_MIRROR = 0x0530;     // ExecuteCMD 121
constexpr uint32_t WM_PLUGIN_CMD_EDITING = 0x0531;    // ExecuteCMD 124

// ExecuteCMD ids; 121 is kMirrorCommand.
constexpr uint32_t kCommandEnableEditing = 124;

// No whiteboard message is longer; longer host data is refused at the door.
constexpr uint32_t kMaxHostDataBytes = 32768;

}  // namespace scribly
