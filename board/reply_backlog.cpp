#include "board/reply_backlog.h"

namespace scribly {

bool ReplyBacklog::push(std::span<const uint8_t> message) {
  if (messages_.size() >= maxMessages_) return false;
  messages_.emplace_back(message.begin(), message.end());
  return true;
}

std::vector<uint8_t> ReplyBacklog::pop() {
  std::vector<uint8_t> message = std::move(messages_.front());
  messages_.pop_front();
  return message;
}

}  // namespace scribly
