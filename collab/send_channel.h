#pragma once
// The board's way out, as the send queue sees it.
#include <cstdint>
#include <span>

namespace scribly {

// Levels a message is handed to the host with.
constexpr uint32_t kHostLevelQueued = 1;  // a level-1 message released by a pump
constexpr uint32_t kHostLevelDirect = 3;  // everything else

class SendChannel {
 public:
  virtual ~SendChannel() = default;
  // One message to the conference now.
  virtual void sendNow(std::span<const uint8_t> message, uint32_t hostLevel) = 0;
  // Every message sent or received passes here first, so the host can record
  // the board's content; `force` is set when a page reports its whole content.
  virtual void mirror(std::span<const uint8_t> message, bool force) = 0;
};

}  // namespace scribly
