#pragma once
// The texts of the document trees' items: small markup documents,
// <text><font size="10" color="255,0,0" face="...">name</font></text>, which
// the tree shows as the name in that colour and gives back when asked. The
// face is the Chinese name of the SimSun font; the program holds it in code
// page 936 and the Win32 side converts it to UTF-8 with that code page
// (kTreeFaceCp936), whatever the system's code page.
#include <cstdint>
#include <string>
#include <string_view>

namespace scribly {

// "宋体" in code page 936.
inline constexpr char kTreeFaceCp936[] = "\xCB\xCE\xCC\xE5";

enum class TreeItemStyle {
  Red,     // roots and shared documents: size 10, 255,0,0
  Blue,    // pages and library files: size 10, 0,0,255
  Folder,  // library folders: size 9, 0,0,255
};

// The tree reads at most this many bytes of an item's text back.
inline constexpr size_t kMaxTreeItemBytes = 512;

// The item text for `name` (UTF-8) in that style with the face `faceUtf8`;
// the name is escaped, and cut on a character boundary so that the whole
// text fits kMaxTreeItemBytes.
std::string treeItemMarkup(TreeItemStyle style, std::string_view faceUtf8, std::string_view name);

// The name inside the "font" element of an item text; empty when the text
// does not parse.
std::string treeItemName(std::string_view markup);

// Image numbers of the trees' picture folder.
enum TreeImage : int32_t {
  kImageSystemRoot = 11,
  kImageSystemRootOpen = 12,
  kImageUserRoot = 21,
  kImageUserRootOpen = 22,
  kImageFolder = 31,
  kImageFolderOpen = 32,
  kImageDocument = 41,
  kImageDocumentOpen = 42,
  kImagePage = 51,
  kImagePageMarked = 52,
};

}  // namespace scribly
