#pragma once
// Transfers in progress: picture bulk data and page background files that
// arrive as a begin message, chunks and an end message. Every number in them
// comes from a peer, so the table bounds what it holds: the announced length
// of one transfer, the bytes all open transfers may announce together, and
// the number of open transfers (the oldest gives way to a new one).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "collab/envelope.h"

namespace scribly {

struct TransferLimits {
  // A background travels as an envelope around a format code and a file.
  size_t maxTransferBytes = kEnvelopeHeaderBytes + kMaxPayloadBytes;
  // What all open transfers may announce together.
  size_t maxOpenBytes = size_t{256} << 20;
  size_t maxOpenTransfers = 64;
};

// A transfer whose bytes all arrived.
struct CompletedTransfer {
  uint32_t key = 0;
  uint32_t page = 0;
  std::vector<uint8_t> data;
};

class TransferTable {
 public:
  enum class BeginResult { Started, Duplicate, Refused };
  enum class ChunkResult { Appended, Unknown, Overflow };

  explicit TransferTable(TransferLimits limits = {}) : limits_(limits) {}

  // Opens a transfer. A key already open, an empty or over-long total is
  // refused; to make room, the oldest open transfers are dropped.
  BeginResult begin(uint32_t key, uint32_t senderUserId, uint32_t page, uint32_t totalLength);
  // Appends a chunk. A chunk longer than the space left drops the transfer.
  // `chunksSoFar` receives the counter after the chunk (it starts at 1).
  ChunkResult chunk(uint32_t key, std::span<const uint8_t> bytes, uint32_t* chunksSoFar = nullptr);
  // Closes a transfer: its data when every byte arrived, else nullopt (a
  // missing key also gives nullopt). The record is gone either way.
  std::optional<CompletedTransfer> end(uint32_t key);

  // Drops one transfer, or every transfer of a page but the one keyed `except`.
  void drop(uint32_t key);
  void dropPage(uint32_t page, uint32_t except = 0);
  void clear();

  bool contains(uint32_t key) const;
  // The sender field of an open transfer: 0 asks for progress messages.
  std::optional<uint32_t> senderOf(uint32_t key) const;
  std::optional<uint32_t> pageOf(uint32_t key) const;
  size_t size() const { return open_.size(); }
  size_t announcedBytes() const { return announced_; }
  // Bytes the buffers actually hold (grown as chunks arrive).
  size_t heldBytes() const;
  const TransferLimits& limits() const { return limits_; }
  // Each open transfer, oldest first: f(key, sender, page, total, received bytes).
  template <class F>
  void forEachOpen(F&& f) const {
    for (const Open& o : open_) f(o.key, o.sender, o.page, o.total, std::span(o.buffer));
  }

 private:
  struct Open {
    uint32_t key = 0;
    uint32_t sender = 0;
    uint32_t page = 0;
    uint32_t total = 0;
    uint32_t chunks = 1;
    std::vector<uint8_t> buffer;
  };
  std::deque<Open>::iterator find(uint32_t key);
  std::deque<Open>::const_iterator find(uint32_t key) const;
  void erase(std::deque<Open>::iterator it);

  TransferLimits limits_;
  // Oldest first.
  std::deque<Open> open_;
  size_t announced_ = 0;
};

}  // namespace scribly
