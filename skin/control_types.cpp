#include "skin/control_types.h"

#include "base/ascii.h"

namespace scribly {
namespace {

// Classes and interfaces differ only in the last byte of a fixed identifier.
// "window" and "panel" are one control; "edit" and "editw", the buttons, and
// the two combo boxes each answer to one interface.
constexpr std::array<ControlType, kControlTypeCount> kTypes = {{
    {"window", 1, 1, 0x06CC0000, 0},
    {"panel", 1, 1, 0x56800000, 0},
    {"edit", 2, 2, 0x54010080, 0x00020000},
    {"editw", 3, 2, 0x54010080, 0x00020000},
    {"static", 4, 3, 0x54000040, 0},
    {"button", 5, 4, 0x54010000, 0},
    {"radio", 6, 4, 0x54010009, 0},
    {"check", 7, 4, 0x54010003, 0},
    {"combobox", 8, 6, 0x54810002, 0},
    {"comboboxw", 9, 6, 0x54810002, 0},
    {"group", 5, 5, 0x56000007, 0x00000020},
    {"listview", 10, 7, 0x54000001, 0},
    {"datetimepicker", 11, 8, 0x54000000, 0},
    {"listbox", 12, 9, 0x54000000, 0},
    {"treeview", 13, 10, 0x54800000, 0},
    {"grouplist", 14, 11, 0x54800000, 0},
    {"vdtree", 15, 12, 0x54800000, 0},
    {"vdiconlist", 16, 13, 0x54800000, 0},
    {"vdlist", 17, 14, 0x54800000, 0},
    {"image", 18, 15, 0x54000000, 0},
    {"menubar", 19, 16, 0x54000000, 0},
    {"richview", 20, 17, 0x54010000, 0x00020000},
    {"progressbar", 21, 18, 0x54000000, 0x00020000},
    {"richedit", 22, 19, 0x54010000, 0x00020000},
    {"trackbar", 23, 20, 0x54000000, 0x00020000},
    {"tooltip", 24, 21, 0x80800000, 0x00000008},
    {"picturedlg", 25, 22, 0x94800000, 0x00000008},
    {"messagelistbox", 26, 23, 0x50000000, 0},
    {"capturescreen", 27, 24, 0x84000000, 0x00000088},
    {"vdcard", 28, 25, 0x54000000, 0},
    {"spliterbar", 29, 26, 0x54000000, 0},
    {"calendarctrl", 30, 27, 0x50800000, 0},
    {"listctrl", 31, 28, 0x54800000, 0},
    {"linkbutton", 32, 29, 0x54800000, 0},
    {"iepanel2", 33, 30, 0x54810000, 0},
    {"vdvodctrl", 34, 31, 0x54810000, 0},
    {"vdtreelist", 35, 32, 0x54800000, 0},
    {"vdtreegraph", 36, 33, 0x54800000, 0},
}};

constexpr EngineId kClassBase = {
    0x6B1D3A40, 0x5C2E, 0x4F7A, {0x9E, 0x31, 0xC0, 0xA8, 0xD2, 0xF4, 0xB5, 0}};
constexpr EngineId kInterfaceBase = {
    0x6B1D3A41, 0x5C2E, 0x4F7A, {0x9E, 0x31, 0xC0, 0xA8, 0xD2, 0xF4, 0xB6, 0}};

EngineId numbered(EngineId base, uint8_t number) {
  base.data4[7] = number;
  return base;
}

}  // namespace

const std::array<ControlType, kControlTypeCount>& controlTypes() { return kTypes; }

const ControlType* findControlType(std::string_view name) {
  for (const ControlType& row : kTypes)
    if (equalsIgnoringCase(row.name, name)) return &row;
  return nullptr;
}

EngineId engineClassId(const ControlType& type) { return numbered(kClassBase, type.classNumber); }

EngineId engineInterfaceId(const ControlType& type) {
  return numbered(kInterfaceBase, type.interfaceNumber);
}

}  // namespace scribly
