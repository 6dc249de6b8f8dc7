// Fuzzes the send queue's purge rules with arbitrary queued messages and
// sequences of sends, pumps and clears (messages here come from board code,
// but a purge reads their ids, so short and odd ones must be safe).
#include <cstdlib>

#include "base/byte_io.h"
#include "collab/message_header.h"
#include "collab/send_queue.h"

namespace {

class CountingChannel : public scribly::SendChannel {
 public:
  void sendNow(std::span<const uint8_t> message, uint32_t hostLevel) override {
    if (message.empty() || message.size() > scribly::kMaxMessageBytes) std::abort();
    if (hostLevel != scribly::kHostLevelQueued && hostLevel != scribly::kHostLevelDirect) {
      std::abort();
    }
    lastFlag = scribly::isQueued(message[0]);
    ++sent;
  }
  void mirror(std::span<const uint8_t>, bool) override {}
  size_t sent = 0;
  bool lastFlag = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CountingChannel channel;
  scribly::SendQueue queue(channel);
  scribly::ByteReader in(data, size);
  while (in.ok() && !in.atEnd()) {
    const uint8_t op = in.u8();
    const size_t before = channel.sent;
    const size_t waitingBefore =
        queue.waiting(scribly::kLevelFirst) + queue.waiting(scribly::kLevelSecond);
    if (op == 0) {
      queue.pump();
      if (channel.sent - before != (waitingBefore > 0 ? 1u : 0u)) std::abort();
    } else if (op == 1) {
      queue.clear();
      if (!queue.ready()) std::abort();
    } else {
      const uint32_t level = op % 4;
      std::span<const uint8_t> message = in.bytes(std::min<size_t>(in.u8() % 24, in.remaining()));
      queue.send(message, level);
      if (channel.sent - before > 1) std::abort();
      if (level == 0 && !message.empty() && (channel.sent != before + 1 || channel.lastFlag)) {
        std::abort();
      }
    }
  }
  return 0;
}
