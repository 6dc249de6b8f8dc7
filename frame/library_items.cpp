#include "frame/library_items.h"

#include <algorithm>
#include <array>

#include "base/xml_document.h"

namespace scribly {
namespace {

// Only these are offered: what the printer library converts, and pictures.
// The newer office formats are left out on purpose.
constexpr std::array<std::string_view, 12> kListedExtensions = {
    "bmp", "jpg", "jpeg", "gif", "ppt", "doc", "xls", "pdf", "htm", "html", "txt", "rtf"};

// A folder the system marks this way is its own bookkeeping, not a user's.
constexpr uint32_t kSystemFolder = kEntryDirectory | kEntrySystem | kEntryHidden;

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

std::optional<LibraryItemKind> libraryEntryKind(std::string_view name, uint32_t attributes) {
  if (attributes & kEntryDirectory) {
    if (name == "." || name == ".." || attributes == kSystemFolder) return std::nullopt;
    return LibraryItemKind::Folder;
  }
  if (attributes & kEntryHidden) return std::nullopt;
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const std::string extension = lowerAscii(name.substr(dot + 1));
  if (std::find(kListedExtensions.begin(), kListedExtensions.end(), extension) ==
      kListedExtensions.end())
    return std::nullopt;
  return LibraryItemKind::File;
}

std::string libraryItemPath(std::string_view root, std::span<const std::string> names) {
  std::string path(root);
  for (const std::string& name : names) {
    if (!path.empty() && path.back() != '\\') path += '\\';
    path += name;
  }
  return path;
}

LibraryMenuState libraryMenuState(LibraryItemKind kind) {
  switch (kind) {
    case LibraryItemKind::File:
      return {true, false};
    case LibraryItemKind::Folder:
      return {false, false};
    case LibraryItemKind::Root:
      return {false, true};
  }
  return {};
}

std::optional<std::string> libraryTipMarkup(std::string_view faceUtf8,
                                            std::string_view itemMarkup) {
  XmlDocument item;
  if (!item.parse(itemMarkup)) return std::nullopt;
  XmlDocument tip;
  XmlElementHandle root = tip.appendRoot("tip");
  root.setAttribute("width", "200");
  root.setAttribute("height", "100");
  XmlElementHandle font = root.appendChild("font");
  font.setAttribute("face", faceUtf8);
  font.setAttribute("size", "9");
  font.setAttribute("color", "255,0,255");
  font.setText(item.findFirst("font").text());
  return tip.serialise();
}

}  // namespace scribly
