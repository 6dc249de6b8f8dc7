#pragma once
// The shared-document library in the main frame's tree "vdtree": a folder on
// disk listed folder by folder as they are opened, a menu to share a file,
// reload the tree or choose another folder, and tips naming the item under
// the pointer. The folder comes from the configuration file and goes back to
// it when the user chooses another.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "share/library_items.h"
#include "share/skin_tree_win.h"
#include "skin/skin_bridge_win.h"

namespace scribly {

inline constexpr std::string_view kLibraryMenuName = "dirroot menu";

// A folder entry count no lesson folder reaches; past it a folder's listing
// stops rather than filling the tree without end.
inline constexpr size_t kMaxLibraryFolderItems = 5000;

class LibraryTree final : private SkinTree::Owner {
 public:
  struct Hooks {
    // Whether this participant may share documents.
    std::function<bool()> mayShare;
    // Opens the share dialog with a library file's full path (UTF-8).
    std::function<void(const std::string&)> share;
    // Asks for the library's new folder (UTF-8), nullopt when cancelled; the
    // system's folder browser when not set.
    std::function<std::optional<std::string>()> chooseFolder;
  };

  // `configPath` (8-bit, system code page) holds the library folder. The
  // frame window and the skin outlive the tree.
  LibraryTree(SkinSystem& skin, SkinWindow& frame, std::string configPath, Hooks hooks);
  LibraryTree(const LibraryTree&) = delete;
  LibraryTree& operator=(const LibraryTree&) = delete;

  // Offered every message of the frame's elements: the tree's clicks and
  // tip requests. True when consumed, with the answer in `result`.
  bool handle(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return tree_.handle(source, message, wParam, lParam, result);
  }
  // A "dirroot menu" item: "print", "refresh" or "ChangeLibPath".
  void command(std::string_view item);

  // The library folder (UTF-8); empty while there is none.
  const std::string& root() const { return root_; }
  HWND treeWindow() const { return tree_.window(); }
  HTREEITEM rootItem() const { return rootItem_; }
  SkinMenuHandle* menu() { return menu_.get(); }

 private:
  // The tree has room in the frame while the library is on; without a
  // folder its root item offers to choose one.
  bool shown() const { return enabled_; }
  // Lists the root folder into the root item, made when missing.
  void reload();
  // The root item's text: the library's name, or the offer to choose a folder.
  void nameRoot();
  void show(bool visible);
  void clicked();
  void rightClicked();
  void shareRemembered();
  void changeFolder();

  // SkinTree::Owner: clicks count only while the library is on.
  void treeNotified(LPARAM kind) override;
  std::optional<std::string> treeTip(const std::string& markup) override;

  size_t listFolder(HTREEITEM parent, const std::string& folder);
  HTREEITEM insert(HTREEITEM parent, LibraryItemKind kind, std::string_view name);
  void deleteChildren(HTREEITEM item);
  std::optional<LibraryItemKind> kindOf(HTREEITEM item) const;
  // The item's full path; nullopt for an item outside the library.
  std::optional<std::string> pathOf(HTREEITEM item) const;

  SkinWindow& frame_;
  std::string configPath_;
  Hooks hooks_;
  SkinTree tree_;
  std::unique_ptr<SkinMenuHandle> menu_;
  std::string rootText_;
  std::string chooseText_;
  bool enabled_ = false;
  std::string root_;
  HTREEITEM rootItem_ = nullptr;
  // The file the menu was last opened on; forgotten whenever items go.
  HTREEITEM menuFile_ = nullptr;
};

}  // namespace scribly
