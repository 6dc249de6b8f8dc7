#include "board/content_report.h"

#include <algorithm>

#include "collab/message_codec.h"

namespace scribly {

void appendTransfer(uint32_t key, uint32_t sender, uint32_t page, std::span<const uint8_t> data,
                    std::vector<std::vector<uint8_t>>& out) {
  out.push_back(build(TransferBegin{key, sender, page, static_cast<uint32_t>(data.size())}));
  for (size_t offset = 0; offset < data.size(); offset += kMaxChunkBytes) {
    const size_t n = std::min(kMaxChunkBytes, data.size() - offset);
    out.push_back(build(TransferChunk{key, data.subspan(offset, n)}));
  }
  out.push_back(build(TransferEnd{key, page}));
}

void ContentReport::appendBackground(const Page& page, BulkForm form,
                                     std::vector<std::vector<uint8_t>>& out) const {
  const uint32_t number = page.backgroundNumber();
  out.push_back(build(BackgroundAnnounce{page.id(), number}));
  if (!page.hasBackgroundFile()) return;
  const std::vector<uint8_t> envelope = backgrounds_.envelopeOf(page);
  if (envelope.empty()) return;
  if (form == BulkForm::OneMessage) {
    out.push_back(build(BulkData{page.id(), number, envelope}));
    return;
  }
  appendTransfer(number, sender_, page.id(), envelope, out);
}

void ContentReport::appendObject(Page& page, const PageObject& entry, BulkForm form,
                                 std::vector<std::vector<uint8_t>>& out) const {
  const std::vector<uint8_t> record = saveRecord(*entry.object);
  out.push_back(
      build(CreateObject{static_cast<uint8_t>(entry.object->kind()), page.id(), entry.id, record}));
  const std::vector<uint8_t>& bulk = page.bulkOf(entry.id);
  if (bulk.empty()) return;
  if (form == BulkForm::OneMessage) {
    out.push_back(build(BulkData{page.id(), entry.id, bulk}));
    return;
  }
  appendTransfer(entry.id, sender_, page.id(), bulk, out);
}

std::vector<std::vector<uint8_t>> ContentReport::item(uint32_t pageId, uint32_t itemId,
                                                      BulkForm form) const {
  std::vector<std::vector<uint8_t>> out;
  Page* page = pages_.find(pageId);
  if (!page || itemId == 0) return out;
  if (itemId == page->backgroundNumber() &&
      (page->hasBackgroundFile() || page->pendingBackgroundNumber() == itemId)) {
    appendBackground(*page, form, out);
  } else if (const PageObject* entry = page->findEntry(itemId)) {
    appendObject(*page, *entry, form, out);
  }
  return out;
}

std::vector<uint32_t> ContentReport::ids(uint32_t pageId) const {
  std::vector<uint32_t> ids;
  const Page* page = pages_.find(pageId);
  if (!page) return ids;
  for (const PageObject& entry : page->objects()) ids.push_back(entry.id);
  if (page->hasBackgroundFile() && page->backgroundNumber() != 0) {
    ids.push_back(page->backgroundNumber());
  }
  return ids;
}

std::vector<std::vector<uint8_t>> ContentReport::wholeBoard() const {
  std::vector<std::vector<uint8_t>> out;
  // A fresh board holds the system pages first and in order, and a rename
  // makes a missing page at the end: a system page found anywhere else (a
  // peer removed it and content brought it back) is removed first, so that
  // its rename makes it again where it stands here.
  std::vector<uint32_t> inPlace;
  for (const auto& page : pages_.pages()) {
    const uint32_t id = page->id();
    if (!isSystemPage(id) || (!inPlace.empty() && id < inPlace.back())) break;
    inPlace.push_back(id);
  }
  for (uint32_t id = kFirstSystemPage; id <= kLastSystemPage; ++id) {
    if (std::find(inPlace.begin(), inPlace.end(), id) == inPlace.end()) {
      out.push_back(build(RemovePage{id, 0}));
    }
  }
  for (const auto& page : pages_.pages()) {
    out.push_back(build(RenamePage{page->id(), page->name()}));
    if (page->templateName() != pages_.creationTemplate()) {
      out.push_back(build(SetBackgroundByName{page->id(), page->templateName()}));
    }
    if (page->hasBackgroundFile() || page->pendingBackgroundNumber() != 0) {
      appendBackground(*page, BulkForm::OneMessage, out);
    }
    for (const PageObject& entry : page->objects()) {
      appendObject(*page, entry, BulkForm::OneMessage, out);
    }
  }
  if (!pages_.current()) return out;
  out.push_back(build(CurrentPage{pages_.currentId()}));
  // The board's factor, which every page's picture shows at, as peers get it.
  const uint32_t code = scaleCodeOf(backgrounds_.factor());
  if (scaleFactorOf(code) != 1.0f) out.push_back(build(BackgroundScale{pages_.currentId(), code}));
  return out;
}

}  // namespace scribly
