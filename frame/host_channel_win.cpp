#include "frame/host_channel_win.h"

#include <scribly.h>

#include <cstring>
#include <vector>

namespace scribly {

HostChannel::HostChannel(IClientSink* sink) : sink_(sink) {}

HostChannel::~HostChannel() = default;

void HostChannel::sendTo(uint32_t type, uint32_t target, std::span<const uint8_t> message,
                         uint32_t level) {
  if (!sink_ || message.empty()) return;
  // The host may not keep the buffer; it is ours again when SendTo returns.
  sink_->SendTo(type, target, const_cast<BYTE*>(message.data()), static_cast<ULONG>(message.size()),
                level);
}

void HostChannel::hostMessage(uint32_t command, std::span<const uint8_t> message) {
  if (!sink_) return;
  sink_->GetMessageA(command, static_cast<LONG_PTR>(message.size()),
                     reinterpret_cast<UINT_PTR*>(const_cast<uint8_t*>(message.data())));
}

std::string HostChannel::userInfo(uint32_t userId) {
  if (!sink_) return {};
  // The host writes at most this many bytes; one more keeps a terminator even
  // when it fills the buffer.
  std::vector<BYTE> buffer(kUserInfoBytes + 1, 0);
  sink_->GetUserInfo(userId, buffer.data());
  const char* text = reinterpret_cast<const char*>(buffer.data());
  return std::string(text, strnlen(text, kUserInfoBytes));
}

void HostChannel::notify(uintptr_t code) {
  if (!sink_) return;
  UINT_PTR zero = 0;
  sink_->GetMessageA(code, 0, &zero);
}

}  // namespace scribly
