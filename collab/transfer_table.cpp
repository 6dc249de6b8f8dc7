#include "collab/transfer_table.h"

#include <algorithm>

namespace scribly {

std::deque<TransferTable::Open>::iterator TransferTable::find(uint32_t key) {
  return std::find_if(open_.begin(), open_.end(), [key](const Open& o) { return o.key == key; });
}

std::deque<TransferTable::Open>::const_iterator TransferTable::find(uint32_t key) const {
  return std::find_if(open_.begin(), open_.end(), [key](const Open& o) { return o.key == key; });
}

void TransferTable::erase(std::deque<Open>::iterator it) {
  announced_ -= it->total;
  open_.erase(it);
}

TransferTable::BeginResult TransferTable::begin(uint32_t key, uint32_t senderUserId, uint32_t page,
                                                uint32_t totalLength) {
  if (find(key) != open_.end()) return BeginResult::Duplicate;
  if (totalLength == 0 || totalLength > limits_.maxTransferBytes ||
      totalLength > limits_.maxOpenBytes || limits_.maxOpenTransfers == 0) {
    return BeginResult::Refused;
  }
  // A sender that never ends its transfer must not keep the room forever.
  while (!open_.empty() && (open_.size() >= limits_.maxOpenTransfers ||
                            announced_ + totalLength > limits_.maxOpenBytes)) {
    erase(open_.begin());
  }
  Open o;
  o.key = key;
  o.sender = senderUserId;
  o.page = page;
  o.total = totalLength;
  open_.push_back(std::move(o));
  announced_ += totalLength;
  return BeginResult::Started;
}

TransferTable::ChunkResult TransferTable::chunk(uint32_t key, std::span<const uint8_t> bytes,
                                                uint32_t* chunksSoFar) {
  auto it = find(key);
  if (it == open_.end()) return ChunkResult::Unknown;
  const size_t left = it->total - it->buffer.size();
  if (bytes.size() > left) {
    erase(it);
    return ChunkResult::Overflow;
  }
  // Grow with what arrives rather than with what was announced, never past it.
  std::vector<uint8_t>& buffer = it->buffer;
  const size_t needed = buffer.size() + bytes.size();
  if (needed > buffer.capacity()) {
    buffer.reserve(std::min<size_t>(it->total, std::max(needed, buffer.capacity() * 2)));
  }
  buffer.insert(buffer.end(), bytes.begin(), bytes.end());
  ++it->chunks;
  if (chunksSoFar) *chunksSoFar = it->chunks;
  return ChunkResult::Appended;
}

std::optional<CompletedTransfer> TransferTable::end(uint32_t key) {
  auto it = find(key);
  if (it == open_.end()) return std::nullopt;
  std::optional<CompletedTransfer> done;
  if (it->buffer.size() == it->total) {
    done = CompletedTransfer{it->key, it->page, std::move(it->buffer)};
  }
  erase(it);
  return done;
}

void TransferTable::drop(uint32_t key) {
  auto it = find(key);
  if (it != open_.end()) erase(it);
}

void TransferTable::dropPage(uint32_t page, uint32_t except) {
  for (auto it = open_.begin(); it != open_.end();) {
    if (it->page == page && (except == 0 || it->key != except)) {
      announced_ -= it->total;
      it = open_.erase(it);
    } else {
      ++it;
    }
  }
}

void TransferTable::clear() {
  open_.clear();
  announced_ = 0;
}

bool TransferTable::contains(uint32_t key) const { return find(key) != open_.end(); }

std::optional<uint32_t> TransferTable::senderOf(uint32_t key) const {
  auto it = find(key);
  if (it == open_.end()) return std::nullopt;
  return it->sender;
}

std::optional<uint32_t> TransferTable::pageOf(uint32_t key) const {
  auto it = find(key);
  if (it == open_.end()) return std::nullopt;
  return it->page;
}

size_t TransferTable::heldBytes() const {
  size_t n = 0;
  for (const Open& o : open_) n += o.buffer.capacity();
  return n;
}

}  // namespace scribly
