#pragma once
// Flow control for outgoing messages: one flagged message in flight at a time,
// the rest waiting in two lists. An acknowledgement from the peer pumps.
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "collab/send_channel.h"

namespace scribly {

// Send levels: 0 leaves at once with the flag clear; 1 and 2 are queued with
// the flag set, level 1 always before level 2.
constexpr uint32_t kLevelDirect = 0;
constexpr uint32_t kLevelFirst = 1;
constexpr uint32_t kLevelSecond = 2;

class SendQueue {
 public:
  explicit SendQueue(SendChannel& channel) : channel_(channel) {}
  SendQueue(const SendQueue&) = delete;
  SendQueue& operator=(const SendQueue&) = delete;

  // The only way board code sends a message. Levels above 2 count as 2. The
  // message is copied when kept; empty or over-long messages are dropped.
  void send(std::span<const uint8_t> message, uint32_t level);
  // Releases the next waiting message, or marks the queue ready when none waits.
  void pump();
  // Drops everything waiting and makes the queue ready.
  void clear();

  bool ready() const { return ready_; }
  size_t waiting(uint32_t level) const { return listFor(level).size(); }

 private:
  using List = std::deque<std::vector<uint8_t>>;

  List& listFor(uint32_t level) { return level <= kLevelFirst ? first_ : second_; }
  const List& listFor(uint32_t level) const { return level <= kLevelFirst ? first_ : second_; }
  void purgeFor(std::span<const uint8_t> message);
  void sendWithFlag(std::span<const uint8_t> message, bool queued, uint32_t hostLevel);

  SendChannel& channel_;
  List first_;
  List second_;
  bool ready_ = true;
};

}  // namespace scribly
