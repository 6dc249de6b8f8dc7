#pragma once
// The messages that recreate content on another board: one item of a page
// for a joiner's request, or the whole board for the host's recording.
#include <cstdint>
#include <span>
#include <vector>

#include "board/backgrounds.h"
#include "board/page_list.h"

namespace scribly {

// How the messages that recreate an item carry bulk data: as the transfer a
// sender makes (`TransferBegin`, `TransferChunk`, `TransferEnd`) or in one
// `BulkData` message, as recorded.
enum class BulkForm : uint8_t { Transfer, OneMessage };

// Bulk data as its sender sends it: begin, chunks, end.
void appendTransfer(uint32_t key, uint32_t sender, uint32_t page, std::span<const uint8_t> data,
                    std::vector<std::vector<uint8_t>>& out);

class ContentReport {
 public:
  // sender: the user id transfers name as their sender.
  ContentReport(const PageList& pages, const Backgrounds& backgrounds, uint32_t sender)
      : pages_(pages), backgrounds_(backgrounds), sender_(sender) {}

  // System pages missing here removed, every page named, its template,
  // background (`BackgroundAnnounce` and `BulkData`) and objects (creation
  // and `BulkData`), then the current page and the background factor.
  std::vector<std::vector<uint8_t>> wholeBoard() const;
  // One item of a page (an object id or the background file number); empty
  // when the page lacks it.
  std::vector<std::vector<uint8_t>> item(uint32_t pageId, uint32_t itemId, BulkForm form) const;
  // The ids a page holds: objects in order, then its background file number.
  std::vector<uint32_t> ids(uint32_t pageId) const;

 private:
  // The page makes a turned picture's bulk record again on the way.
  void appendObject(Page& page, const PageObject& entry, BulkForm form,
                    std::vector<std::vector<uint8_t>>& out) const;
  void appendBackground(const Page& page, BulkForm form,
                        std::vector<std::vector<uint8_t>>& out) const;

  const PageList& pages_;
  const Backgrounds& backgrounds_;
  uint32_t sender_;
};

}  // namespace scribly
