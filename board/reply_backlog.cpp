#include "board/reply_backlog.h"

namespace scribly {

bool ReplyBacklog::push(std::span<const uint8_t> message, uint32_t level) {
  if (messages_.size() >= maxMessages_) return false;
  messages_.push_back(Reply{std::vector<uint8_t>(message.begin(), message.end()), level});
  return true;
}

std::vector<uint8_t> ReplyBacklog::pop() {
  std::vector<uint8_t> message = std::move(messages_.front().bytes);
  messages_.pop_front();
  return message;
}

}  // namespace scribly
