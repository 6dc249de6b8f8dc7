#include "share/library_items.h"

#include "base/xml_document.h"
#include "docprint/print_job.h"

namespace scribly {
namespace {

// A folder the system marks this way is its own bookkeeping, not a user's.
constexpr uint32_t kSystemFolder = kEntryDirectory | kEntrySystem | kEntryHidden;

}  // namespace

std::optional<LibraryItemKind> libraryEntryKind(std::string_view name, uint32_t attributes) {
  if (attributes & kEntryDirectory) {
    if (name == "." || name == ".." || attributes == kSystemFolder) return std::nullopt;
    return LibraryItemKind::Folder;
  }
  if (attributes & kEntryHidden) return std::nullopt;
  // What the printer takes, and pictures, which become backgrounds.
  if (documentKind(name) == DocumentKind::Refused) return std::nullopt;
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

LibraryMenuState libraryMenuState(LibraryItemKind kind, bool hasFolder) {
  switch (kind) {
    case LibraryItemKind::File:
      return {true, hasFolder, false};
    case LibraryItemKind::Folder:
      return {false, hasFolder, false};
    case LibraryItemKind::Root:
      return {false, hasFolder, true};
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
