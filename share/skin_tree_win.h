#pragma once
// A skin tree ("vdtree") as the contents panel and the document library use
// it: items whose texts are small markup documents (tree_items.h), each with
// an image and a number of its own, and the tree's clicks and tip requests
// handed to the tree's owner. Every call does nothing and finds nothing
// while no tree is attached (a skin without one).
#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "share/tree_items.h"

namespace scribly {

class SkinElement;

// The skin name of both trees, each in its own window.
inline constexpr std::string_view kTreeElementName = "vdtree";

class SkinTree {
 public:
  // What the owner makes of the tree's notices.
  class Owner {
   public:
    // kTreeClick, kTreeRightClick or kTreeLabelEdited on the current item.
    virtual void treeNotified(LPARAM kind) = 0;
    // The tip markup for the item under the pointer, whose text is
    // `markup`; nothing for no tip.
    virtual std::optional<std::string> treeTip(const std::string& markup) = 0;

   protected:
    ~Owner() = default;
  };

  // `faceUtf8` is the font face of the items' texts.
  SkinTree(std::string faceUtf8, Owner& owner) : face_(std::move(faceUtf8)), owner_(owner) {}
  SkinTree(const SkinTree&) = delete;
  SkinTree& operator=(const SkinTree&) = delete;

  // The skin element of the tree, or null; it must outlive this object.
  void attach(SkinElement* element) { element_ = element; }
  SkinElement* element() const { return element_; }
  HWND window() const;
  const std::string& face() const { return face_; }
  // Where the tree finds its item pictures ("<n>.bmp", 8-bit); none when empty.
  void setPictureFolder(const std::string& folder);

  // Offered every message of the owner's elements: the tree's clicks go to
  // the owner and its tip requests are answered. True when the message was
  // one of those, with the answer in `result`.
  bool handle(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // An item's text for `name` (UTF-8) in that style with this tree's face.
  std::string itemMarkup(TreeItemStyle style, std::string_view name) const;
  // A new last child of `parent` (null: the top level); null when none was made.
  HTREEITEM insert(HTREEITEM parent, const std::string& markup, int image, LPARAM data);
  HTREEITEM insert(HTREEITEM parent, TreeItemStyle style, std::string_view name, int image,
                   LPARAM data);
  void rename(HTREEITEM item, TreeItemStyle style, std::string_view name);
  std::string markup(HTREEITEM item) const;
  std::string name(HTREEITEM item) const { return treeItemName(markup(item)); }
  std::optional<LPARAM> data(HTREEITEM item) const;

  HTREEITEM parent(HTREEITEM item) const { return next(item, TVGN_PARENT); }
  HTREEITEM firstChild(HTREEITEM item) const { return next(item, TVGN_CHILD); }
  HTREEITEM nextSibling(HTREEITEM item) const { return next(item, TVGN_NEXT); }
  // The item a click last chose.
  HTREEITEM current() const { return next(nullptr, TVGN_CARET); }
  HTREEITEM childWithData(HTREEITEM parent, LPARAM data) const;

  bool expanded(HTREEITEM item) const;
  // Opens or closes the item and shows `image` for it.
  void expand(HTREEITEM item, bool open, int image);
  void setImage(HTREEITEM item, int image);
  // Starts editing the item's label in place.
  void editLabel(HTREEITEM item);

  // The item goes with its children.
  bool remove(HTREEITEM item);
  void removeChildren(HTREEITEM parent);
  void clear();
  // Off while many items change; on again repaints.
  void setRedraw(bool on);

 private:
  HTREEITEM next(HTREEITEM item, UINT relation) const;
  LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  LRESULT answerTip(char* buffer, size_t size);

  std::string face_;
  Owner& owner_;
  SkinElement* element_ = nullptr;
};

}  // namespace scribly
