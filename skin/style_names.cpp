#include "skin/style_names.h"

#include <array>

#include "base/ascii.h"

namespace scribly {
namespace {

// Order matters: a prefix token takes the first name it begins, and the button
// alignments appear twice because skins were written against this very order.
constexpr std::array<StyleName, kStyleNameCount> kStyles = {{
    {"WS_BORDER", 0x00800000},
    {"WS_CAPTION", 0x00C00000},
    {"WS_CHILD", 0x40000000},
    {"WS_CHILDWINDOW", 0x40000000},
    {"WS_CLIPCHILDREN", 0x02000000},
    {"WS_CLIPSIBLINGS", 0x04000000},
    {"WS_DISABLED", 0x08000000},
    {"WS_DLGFRAME", 0x00400000},
    {"WS_GROUP", 0x00020000},
    {"WS_HSCROLL", 0x00100000},
    {"WS_ICONIC", 0x20000000},
    {"WS_MAXIMIZE", 0x01000000},
    {"WS_MAXIMIZEBOX", 0x00010000},
    {"WS_MINIMIZE", 0x20000000},
    {"WS_MINIMIZEBOX", 0x00020000},
    {"WS_OVERLAPPED", 0x00000000},
    {"WS_OVERLAPPEDWINDOW", 0x00CF0000},
    {"WS_POPUP", 0x80000000},
    {"WS_POPUPWINDOW", 0x80880000},
    {"WS_SIZEBOX", 0x00040000},
    {"WS_SYSMENU", 0x00080000},
    {"WS_TABSTOP", 0x00010000},
    {"WS_THICKFRAME", 0x00040000},
    {"WS_TILED", 0x00000000},
    {"WS_TILEDWINDOW", 0x00CF0000},
    {"WS_VISIBLE", 0x10000000},
    {"WS_VSCROLL", 0x00200000},
    {"ES_AUTOHSCROLL", 0x0080},
    {"ES_AUTOVSCROLL", 0x0040},
    {"ES_CENTER", 0x0001},
    {"ES_LEFT", 0x0000},
    {"ES_LOWERCASE", 0x0010},
    {"ES_MULTILINE", 0x0004},
    {"ES_NOHIDESEL", 0x0100},
    {"ES_NUMBER", 0x2000},
    {"ES_OEMCONVERT", 0x0400},
    {"ES_PASSWORD", 0x0020},
    {"ES_READONLY", 0x0800},
    {"ES_RIGHT", 0x0002},
    {"ES_UPPERCASE", 0x0008},
    {"ES_WANTRETURN", 0x1000},
    {"CBS_AUTOHSCROLL", 0x0040},
    {"CBS_DISABLENOSCROLL", 0x0800},
    {"CBS_DROPDOWN", 0x0002},
    {"CBS_DROPDOWNLIST", 0x0003},
    {"CBS_HASSTRINGS", 0x0200},
    {"CBS_LOWERCASE", 0x4000},
    {"CBS_NOINTEGRALHEIGHT", 0x0400},
    {"CBS_OEMCONVERT", 0x0080},
    {"CBS_OWNERDRAWFIXED", 0x0010},
    {"CBS_OWNERDRAWVARIABLE", 0x0020},
    {"CBS_SIMPLE", 0x0001},
    {"CBS_SORT", 0x0100},
    {"CBS_UPPERCASE", 0x2000},
    {"BS_VCENTER", 0x0C00},
    {"BS_TOP", 0x0400},
    {"BS_BOTTOM", 0x0800},
    {"BS_DEFPUSHBUTTON", 0x0001},
    {"BS_FLAT", 0x8000},
    {"BS_CENTER", 0x0300},
    {"BS_LEFT", 0x0100},
    {"BS_RIGHT", 0x0200},
    {"BS_LEFTTEXT", 0x0020},
    {"LVS_ICON", 0x0000},
    {"LVS_LIST", 0x0003},
    {"LVS_NOCOLUMNHEADER", 0x4000},
    {"LVS_NOLABELWRAP", 0x0080},
    {"LVS_NOSCROLL", 0x2000},
    {"LVS_NOSORTHEADER", 0x8000},
    {"LVS_REPORT", 0x0001},
    {"LVS_SHAREIMAGELISTS", 0x0040},
    {"LVS_SHOWSELALWAYS", 0x0008},
    {"LVS_SINGLESEL", 0x0004},
    {"LVS_SMALLICON", 0x0002},
    {"LVS_SORTASCENDING", 0x0010},
    {"LVS_SORTDESCENDING", 0x0020},
    {"SS_REALSIZECONTROL", 0x0040},
    {"SS_LEFT", 0x0000},
    {"SS_RIGHT", 0x0002},
    {"SS_CENTER", 0x0001},
    {"SS_CENTERIMAGE", 0x0200},
    {"BS_BOTTOM", 0x0800},
    {"BS_CENTER", 0x0300},
    {"BS_VCENTER", 0x0C00},
    {"BS_LEFT", 0x0100},
    {"BS_TOP", 0x0400},
    {"BS_RIGHT", 0x0200},
    {"BS_AUTOSIZECTRL", 0x0080},  // ours: the button sizes itself to its picture
}};

constexpr std::array<StyleName, kExStyleNameCount> kExStyles = {{
    {"WS_EX_APPWINDOW", 0x00040000},      {"WS_EX_CLIENTEDGE", 0x00000200},
    {"WS_EX_DLGMODALFRAME", 0x00000001},  {"WS_EX_NOPARENTNOTIFY", 0x00000004},
    {"WS_EX_TOPMOST", 0x00000008},        {"WS_EX_ACCEPTFILES", 0x00000010},
    {"WS_EX_TRANSPARENT", 0x00000020},    {"WS_EX_MDICHILD", 0x00000040},
    {"WS_EX_TOOLWINDOW", 0x00000080},     {"WS_EX_WINDOWEDGE", 0x00000100},
    {"WS_EX_CONTEXTHELP", 0x00000400},    {"WS_EX_RIGHT", 0x00001000},
    {"WS_EX_LEFT", 0x00000000},           {"WS_EX_RTLREADING", 0x00002000},
    {"WS_EX_LTRREADING", 0x00000000},     {"WS_EX_LEFTSCROLLBAR", 0x00004000},
    {"WS_EX_RIGHTSCROLLBAR", 0x00000000}, {"WS_EX_CONTROLPARENT", 0x00010000},
    {"WS_EX_STATICEDGE", 0x00020000},     {"WS_EX_OVERLAPPEDWINDOW", 0x00000300},
    {"WS_EX_PALETTEWINDOW", 0x00000188},  {"WS_EX_LAYERED", 0x00080000},
}};

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

template <size_t N>
uint32_t parseWith(const std::array<StyleName, N>& table, std::string_view text) {
  uint32_t style = 0;
  while (!text.empty()) {
    const size_t bar = text.find('|');
    const std::string_view token = trimBlanks(text.substr(0, bar));
    text = bar == std::string_view::npos ? std::string_view() : text.substr(bar + 1);
    if (token.empty()) continue;
    for (const StyleName& entry : table) {
      if (entry.name.size() >= token.size() &&
          equalsIgnoringCase(entry.name.substr(0, token.size()), token)) {
        style |= entry.value;
        break;
      }
    }
  }
  return style;
}

}  // namespace

std::span<const StyleName> styleNames() { return kStyles; }

std::span<const StyleName> exStyleNames() { return kExStyles; }

uint32_t parseStyle(std::string_view text) { return parseWith(kStyles, text); }

uint32_t parseExStyle(std::string_view text) { return parseWith(kExStyles, text); }

}  // namespace scribly
