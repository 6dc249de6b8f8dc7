#pragma once
// What the board asks of its surroundings, shaped after the board's needs.
// The Win32 layer implements these over the view window, the file system, the
// system picture loader and the host sink; tests fake them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "board/background_picture.h"
#include "objects/canvas.h"
#include "objects/geometry.h"

namespace scribly {

// What changed in the page list, as the contents panel is told.
enum class ContentsChange : uint32_t {
  PageRemoved = 0,
  PageAdded = 1,
  PageRenamed = 2,
  DocumentPagesRemoved = 3,
  BackgroundReady = 4,
};

// Message boxes the board shows: a stop sign with OK (refusals), or the
// information sign with Yes and No (confirmations). Texts are language keys;
// the caption is always the title key.
enum class MessageBoxKind : uint8_t { StopOk, InformationYesNo };
enum class MessageBoxAnswer : uint8_t { Ok, Yes, No };

constexpr std::string_view kWritePrivilegeTextKey = "Scribly_MessageBox_WritePriv_Text";
constexpr std::string_view kRemoveSystemPageTextKey = "Scribly_MessageBox_RemoveSystemPage_Text";
constexpr std::string_view kRemovePageTextKey = "Scribly_MessageBox_Remove_Text";
constexpr std::string_view kSetBackgroundPrivilegeTextKey = "Scribly_MessageBox_SetBKPriv_Text";

enum class ScrollBar : uint8_t { Horizontal = 0, Vertical = 1 };

struct ScrollInfo {
  int32_t minimum = 0;
  int32_t maximum = 0;
  uint32_t pageSize = 0;
  int32_t position = 0;
  // Where the thumb is while it is dragged.
  int32_t track = 0;
};

// The canvas view and the panels beside it.
class BoardView : public Invalidator {
 public:
  // Invalidator::invalidateRect covers an area, in view coordinates.
  // `erase`: the shown page's look changed where no object said; without it
  // the view shows again what the page holds (it scrolled, or another page
  // is shown).
  virtual void invalidateAll(bool erase) = 0;
  // A page was added, removed or renamed, or its background arrived: the
  // contents panel updates its item. Any kind but DocumentPagesRemoved.
  virtual void contentsChanged(ContentsChange kind, uint32_t page) = 0;
  // A document's pages went: the panel drops the document's item (the name
  // at most 255 bytes).
  virtual void documentPagesRemoved(std::string_view documentName) = 0;
  // A peer shared a document page: the panel lists page `page`, named
  // `name` (the page's name here, system code page), under its document.
  virtual void namedPageCreated(uint32_t page, std::string_view name) = 0;
  // The page list or the shown page changed: the view and the text telling
  // the shown page follow.
  virtual void pageInfoChanged() = 0;
  // A message box with the text of `textKey` and the title key as caption,
  // owned by the view's parent.
  virtual MessageBoxAnswer messageBox(std::string_view textKey, MessageBoxKind kind) = 0;
  // A scroll bar's state, or nullopt when it cannot be read.
  virtual std::optional<ScrollInfo> scrollInfo(ScrollBar bar) = 0;
  // Sets a bar's position with redraw and answers the position it then has.
  virtual int32_t setScrollPosition(ScrollBar bar, int32_t position) = 0;
  // Sets a bar's range and page size; the bar keeps its position as far as
  // the new range allows.
  virtual void setScrollRange(ScrollBar bar, int32_t minimum, int32_t maximum,
                              uint32_t pageSize) = 0;
  // Moves what the view shows by dx, dy pixels.
  virtual void scrollContents(int32_t dx, int32_t dy) = 0;
  // The view's client size, or nullopt when it cannot be read.
  virtual std::optional<Size> clientSize() = 0;
  // What can be undone or redone may have changed.
  virtual void historyChanged() {}
};

// Milliseconds from any start, wrapping at 2^32 as the system's tick count
// does.
using MillisecondClock = std::function<uint32_t()>;

// Files of the background folder. Paths are 8-bit system code page strings.
class BoardFiles {
 public:
  virtual ~BoardFiles() = default;
  // The whole file, or nullopt when it cannot be read or is over maxBytes.
  virtual std::optional<std::vector<uint8_t>> readFile(const std::string& path,
                                                       size_t maxBytes) = 0;
  // Creates or overwrites.
  virtual bool writeFile(const std::string& path, std::span<const uint8_t> bytes) = 0;
  // Copies, overwriting the destination.
  virtual bool copyFile(const std::string& from, const std::string& to) = 0;
  virtual bool moveFile(const std::string& from, const std::string& to) = 0;
  virtual bool deleteFile(const std::string& path) = 0;
};

class PictureDecoder {
 public:
  virtual ~PictureDecoder() = default;
  // The picture file decoded, or null when it does not decode or its pixels
  // would take more than maxPixelBytes (read from its header, before any
  // decoder allocates).
  virtual std::unique_ptr<BackgroundPicture> decodeFile(const std::string& path,
                                                        size_t maxPixelBytes) = 0;
};

class HostInfo {
 public:
  virtual ~HostInfo() = default;
  // The host's user information text for a user (XML), empty when unknown.
  virtual std::string userInfo(uint32_t userId) = 0;
};

// Text for the wire, which carries 8-bit system code page text (page names).
class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // UTF-8 text in the system code page; characters it lacks are replaced.
  virtual std::string toSystemCodePage(std::string_view utf8) = 0;
};

}  // namespace scribly
