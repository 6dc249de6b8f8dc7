#pragma once
// The shared-document library as its tree shows it: which folder entries are
// listed, the path an item stands for, what the item's menu offers and the
// tip over an item. Names and paths are UTF-8; the Win32 side enumerates the
// folders and converts.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace scribly {

// The item data of the library tree's items.
enum class LibraryItemKind : int32_t { File = 0, Folder = 1, Root = 2 };

// Attribute bits of a folder entry, as the system reports them.
inline constexpr uint32_t kEntryHidden = 0x02;
inline constexpr uint32_t kEntrySystem = 0x04;
inline constexpr uint32_t kEntryDirectory = 0x10;

// What a folder entry becomes in the tree: a folder (listed when opened), a
// file of a kind that can be shared, or nothing.
std::optional<LibraryItemKind> libraryEntryKind(std::string_view name, uint32_t attributes);

// The path of an item: the library root, then the names from below the root
// item down to the item itself, joined by single backslashes.
std::string libraryItemPath(std::string_view root, std::span<const std::string> names);

// The "dirroot menu" items, whose state follows the item it opens on and
// whether the library has a folder: without one there is nothing to reload.
inline constexpr int kLibraryMenuShare = 0;
inline constexpr int kLibraryMenuReload = 1;
inline constexpr int kLibraryMenuChangeFolder = 2;

struct LibraryMenuState {
  bool share = false;
  bool reload = false;
  bool changeFolder = false;
};
LibraryMenuState libraryMenuState(LibraryItemKind kind, bool hasFolder);

// The tip over an item whose text is `itemMarkup`: its name in magenta, size
// 9, in the face `faceUtf8`, in a 200 x 100 tip. Empty when the item's text
// does not parse.
std::optional<std::string> libraryTipMarkup(std::string_view faceUtf8, std::string_view itemMarkup);

}  // namespace scribly
