#include "board/picture_turn_replay.h"

#include <algorithm>

#include "objects/object_factory.h"

namespace scribly {
namespace {

constexpr size_t kMaxReplayedChanges = 256;

}  // namespace

void PictureTurnReplay::keep(uint32_t pageId, const PageObject& entry, bool turn,
                             std::span<const uint8_t> message) {
  if (!entry.object->hasBulkData() || !entry.bulk.empty()) return;
  auto it = pending_.find(entry.id);
  if (it == pending_.end()) {
    if (!turn) return;
    std::vector<uint8_t> record = saveRecord(*entry.object);
    if (record.size() > room()) return;
    bytes_ += record.size();
    const size_t size = record.size();
    it = pending_.emplace(entry.id, Pending{pageId, std::move(record), {}, size}).first;
  }
  Pending& pending = it->second;
  if (pending.changes.size() >= kMaxReplayedChanges || message.size() > room()) {
    forget(pageId, entry.id);
    return;
  }
  pending.changes.emplace_back(message.begin(), message.end());
  pending.bytes += message.size();
  bytes_ += message.size();
}

void PictureTurnReplay::forget(uint32_t pageId, uint32_t objectId) {
  for (auto it = objectId != 0 ? pending_.find(objectId) : pending_.begin();
       it != pending_.end();) {
    if (it->second.page != pageId) {
      if (objectId != 0) return;
      ++it;
      continue;
    }
    bytes_ -= it->second.bytes;
    it = pending_.erase(it);
    if (objectId != 0) return;
  }
}

std::optional<PictureTurnReplay::Pending> PictureTurnReplay::take(uint32_t pageId,
                                                                  uint32_t objectId) {
  auto it = pending_.find(objectId);
  if (it == pending_.end() || it->second.page != pageId) return std::nullopt;
  bytes_ -= it->second.bytes;
  Pending pending = std::move(it->second);
  pending_.erase(it);
  return pending;
}

void PictureTurnReplay::putBack(uint32_t objectId, Pending pending) {
  bytes_ += pending.bytes;
  pending_.emplace(objectId, std::move(pending));
}

void PictureTurnReplay::clear() {
  pending_.clear();
  bytes_ = 0;
}

}  // namespace scribly
