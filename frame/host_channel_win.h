#pragma once
// The board's way out to the host: whiteboard messages, user information and
// notifications, all through the host's IClientSink.
#include <cstdint>
#include <span>
#include <string>

struct IClientSink;

namespace scribly {

class HostChannel {
 public:
  HostChannel(IClientSink* sink, bool peerToPeer);
  ~HostChannel();
  HostChannel(const HostChannel&) = delete;
  HostChannel& operator=(const HostChannel&) = delete;

  void setPeer(uint32_t peerId) { peerId_ = peerId; }
  // One whiteboard message to the peer (peer-to-peer) or the conference (0).
  void sendNow(std::span<const uint8_t> message, uint32_t level);
  // The host's XML text about a user; empty when the host has none.
  std::string userInfo(uint32_t userId);
  // Notifications: 121 mirrored message, 100/101 screen capture begins/ends.
  void notify(uintptr_t wParam, intptr_t lParam, const void* info);

  static constexpr size_t kUserInfoBytes = 8192;

 private:
  IClientSink* sink_;
  bool peerToPeer_;
  uint32_t peerId_ = 0;
};

}  // namespace scribly
