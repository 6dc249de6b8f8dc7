#include "frame/host_channel_win.h"

#include <scribly.h>

#include <cstring>
#include <vector>

#include "frame/frame_messages.h"

namespace scribly {

HostChannel::HostChannel(IClientSink* sink, bool peerToPeer) : sink_(sink), peerToPeer_(peerToPeer) {
  if (sink_) sink_->AddRef();
}

HostChannel::~HostChannel() {
  if (sink_) sink_->Release();
}

void HostChannel::sendNow(std::span<const uint8_t> message, uint32_t level) {
  if (!sink_ || message.empty()) return;
  // The host may not keep the buffer; it is ours again when SendTo returns.
  sink_->SendTo(kPluginType, peerToPeer_ ? peerId_ : 0, const_cast<BYTE*>(message.data()),
                static_cast<ULONG>(message.size()), level);
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

void HostChannel::notify(uintptr_t wParam, intptr_t lParam, const void* info) {
  if (!sink_) return;
  sink_->GetMessageA(wParam, lParam, reinterpret_cast<UINT_PTR*>(const_cast<void*>(info)));
}

}  // namespace scribly
