#pragma once
// The private window messages of the plug-in and of its skin engine. Values
// are fixed: hosts, the engine and the printer library send them. The receiver
// decides the meaning, so one value may serve two windows.
#include <cstdint>

namespace scribly {

// Plug-in windows.
constexpr uint32_t WM_PLUGIN_TEXT_COMMITTED = 0x0516;  // editor done: wParam edit, lParam point
constexpr uint32_t WM_PLUGIN_DATA_IN = 0x052D;         // peer data: wParam heap copy, lParam length
constexpr uint32_t WM_PLUGIN_COLOUR_CHOSEN = 0x052E;   // tool panel colour: wParam colour, lParam 1
constexpr uint32_t WM_PLUGIN_SET_PRIVILEGE = 0x052F;   // wParam privilege word
constexpr uint32_t WM_PLUGIN_CMD_MIRROR = 0x0530;      // ExecuteCMD 121: mirror to the host
constexpr uint32_t WM_PLUGIN_CMD_EDITING = 0x0531;     // ExecuteCMD 124: enable editing
constexpr uint32_t WM_PLUGIN_PEN_STATE = 0x055E;       // pen changed: wParam mask, lParam style
constexpr uint32_t WM_PLUGIN_GO_TO_PAGE = 0x055F;      // wParam page, without sending
constexpr uint32_t WM_PLUGIN_SELECT_TOOL = 0x0560;     // lParam key code or 0
constexpr uint32_t WM_PLUGIN_PRINT_FINISHED = 0x0591;  // the printer library is done
constexpr uint32_t WM_PLUGIN_CONTENTS_CHANGED = 0x0592;  // wParam kind, lParam page or name
constexpr uint32_t WM_PLUGIN_SHARE_PROGRESS_A = 0x0593;  // document-sharing progress, two kinds
constexpr uint32_t WM_PLUGIN_SHARE_PROGRESS_B = 0x0594;
constexpr uint32_t WM_PLUGIN_PAGE_INFO_CHANGED = 0x0595;  // page list or view changed
constexpr uint32_t WM_PLUGIN_NAMED_PAGE = 0x0596;       // a peer made a named page: wParam page id
constexpr uint32_t WM_PLUGIN_TIP = 0x0597;              // picture panel: show at the pointer
constexpr uint32_t WM_PLUGIN_SELECTION_PROPS = 0x059A;  // to the frame: picture panel values
constexpr uint32_t WM_PLUGIN_TOOLTIP_REQUEST = 0x0D18;  // library tree tooltip
constexpr uint32_t WM_PLUGIN_CAPTURE_DONE = 0x0D2C;     // screen capture: wParam file path
constexpr uint32_t WM_PLUGIN_CAPTURE_NONE = 0x0D2D;     // screen capture ended without picture

// Skin engine controls. Every message of the engine lies in this block.
constexpr uint32_t kSkinMessagesFirst = 0x0C00;
constexpr uint32_t kSkinMessagesLast = 0x0DFF;
constexpr uint32_t WM_SKIN_INIT = 0x0C01;             // the window has been initialised
constexpr uint32_t WM_SKIN_GET_NAME = 0x0C07;         // copy the name: wParam buffer, lParam size
constexpr uint32_t WM_SKIN_GET_RECORD = 0x0C08;       // the control record through the out value
constexpr uint32_t WM_SKIN_CLICKED = 0x0C09;          // raise "onclick"
constexpr uint32_t WM_SKIN_MENU_COMMAND = 0x0C0D;     // raise "onmenucmd" with wParam
constexpr uint32_t WM_SKIN_MIN_SIZE = 0x0C16;         // window minimum size
constexpr uint32_t WM_SKIN_MAX_SIZE = 0x0C17;         // window maximum size
constexpr uint32_t WM_SKIN_PICTURE = 0x0C18;          // icon or picture, transparent colour
constexpr uint32_t WM_SKIN_COLOUR = 0x0C1A;           // static colours: 1 shadow, 2 background
constexpr uint32_t WM_SKIN_STRETCH = 0x0C1B;          // image drawn stretched
constexpr uint32_t WM_SKIN_HIT_TRANSPARENT = 0x0C1C;  // clicks pass transparent pixels
constexpr uint32_t WM_SKIN_CURSOR = 0x0C1D;           // button cursor
constexpr uint32_t WM_SKIN_SPLITTER_RANGE = 0x0C21;   // splitter movement range
constexpr uint32_t WM_SKIN_SPLITTER_MODE = 0x0C22;    // 1 horizontal, 0 vertical
constexpr uint32_t WM_SKIN_MULTI_SELECT = 0x0D36;     // list: several rows selectable
constexpr uint32_t WM_SKIN_SINGLE_LINE = 0x0D38;      // static: single-line text
constexpr uint32_t WM_SKIN_HAVE_LINES = 0x0D39;       // list: grid lines
constexpr uint32_t WM_SKIN_TREE_LIST = 0x0D90;        // tree list: 0 lines, 1 colour, 2 sorting
constexpr uint32_t WM_SKIN_PICTURE_POS = 0x0DC4;      // icon position
constexpr uint32_t WM_SKIN_TITLE_POS = 0x0DC5;        // title text position

// ExecuteCMD ids; 121 is kMirrorCommand.
constexpr uint32_t kCommandEnableEditing = 124;

// No whiteboard message is longer; longer host data is refused at the door.
constexpr uint32_t kMaxHostDataBytes = 32768;  // the longest whiteboard message

}  // namespace scribly
