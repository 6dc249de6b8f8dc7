#pragma once
// Replies to peers' requests (missing items, state items, transfer progress,
// pages shown) that the send queue had no room for, in order, sent as the
// queue drains. The queue's cap guards against a peer that floods; this keeps
// what the cap held back instead of losing it, up to its own bound.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace scribly {

class ReplyBacklog {
 public:
  explicit ReplyBacklog(size_t maxMessages) : maxMessages_(maxMessages) {}

  bool empty() const { return messages_.empty(); }
  // False when the backlog is full: the reply is lost.
  bool push(std::span<const uint8_t> message, uint32_t level);
  // The send level of the oldest reply; the backlog must not be empty.
  uint32_t nextLevel() const { return messages_.front().level; }
  // The oldest reply, taken out; the backlog must not be empty.
  std::vector<uint8_t> pop();
  void clear() { messages_.clear(); }

 private:
  struct Reply {
    std::vector<uint8_t> bytes;
    uint32_t level;
  };
  size_t maxMessages_;
  std::deque<Reply> messages_;
};

}  // namespace scribly
