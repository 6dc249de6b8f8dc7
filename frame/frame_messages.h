#pragma once
// Private window messages through which host calls reach the frame. Values
// are fixed: hosts rely on them.
#include <cstddef>
#include <cstdint>

#include "collab/message_header.h"
#include "collab/messages.h"

namespace scribly {

constexpr uint32_t WM_PLUGIN_DATA_IN = 0x052D;        // wParam heap copy, lParam length
constexpr uint32_t WM_PLUGIN_SET_PRIVILEGE = 0x052F;  // wParam privilege word
constexpr uint32_t WM_PLUGIN_CMD_MIRROR = 0x0530;     // ExecuteCMD 121
constexpr uint32_t WM_PLUGIN_CMD_EDITING = 0x0531;    // ExecuteCMD 124

// ExecuteCMD ids; 121 is kMirrorCommand.
constexpr uint32_t kCommandEnableEditing = 124;

// No whiteboard message is longer; longer host data is refused at the door.
constexpr uint32_t kMaxHostDataBytes = kMaxMessageBytes;

// Bulk data (code 92) is the exception: a host replays it from its recording
// of the mirrored stream, and one message carries a whole picture.
constexpr size_t maxHostDataBytes(uint8_t firstByte) {
  return codeOf(firstByte) == toByte(MessageCode::kBulkData) ? BulkData::kMaxBytes
                                                             : kMaxHostDataBytes;
}

}  // namespace scribly
