#pragma once
// Pictures turned before their pixels arrived. The sender turned the pixels,
// which travel after the change (level 2 after level 1); replaying the
// changes since the first turn on the pixels gives what the sender has.
// Bounded in bytes, all pictures together, and in changes per picture.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "board/page.h"

namespace scribly {

class PictureTurnReplay {
 public:
  struct Pending {
    uint32_t page = 0;
    std::vector<uint8_t> record;  // before the first turn
    std::vector<std::vector<uint8_t>> changes;
    size_t bytes = 0;
  };

  explicit PictureTurnReplay(size_t maxBytes) : maxBytes_(maxBytes) {}

  // Keeps a change of a picture still waiting for its pixels, from its first
  // turn on; until then the order of its changes and its pixels makes no
  // difference. Past the bounds the picture shows its pixels as they come.
  void keep(uint32_t pageId, const PageObject& entry, bool turn, std::span<const uint8_t> message);
  // Forgets one picture, or every picture of a page (objectId 0).
  void forget(uint32_t pageId, uint32_t objectId = 0);
  // Takes what waits for a picture's pixels.
  std::optional<Pending> take(uint32_t pageId, uint32_t objectId);
  // Puts it back when the pixels did not load, to wait for a later copy.
  void putBack(uint32_t objectId, Pending pending);
  void clear();
  // What waits, by object id.
  const std::map<uint32_t, Pending>& pending() const { return pending_; }

 private:
  size_t room() const { return maxBytes_ - std::min(maxBytes_, bytes_); }

  size_t maxBytes_;
  std::map<uint32_t, Pending> pending_;
  size_t bytes_ = 0;
};

}  // namespace scribly
