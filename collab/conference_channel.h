#pragma once
// The send channel of a board in a conference: "send now" addresses the host's
// SendTo, the mirror hook its recording call. The host itself sits behind the
// HostLink seam, implemented over IClientSink by the Win32 layer.
#include <atomic>
#include <cstdint>
#include <span>

#include "collab/send_channel.h"

namespace scribly {

// The plug-in's type number: GetType and every SendTo.
constexpr uint32_t kWhiteboardType = 13049;  // 0x32F9
// The host's commands (ExecuteCMD ids). Mirrored messages are handed over
// under the mirror command too.
constexpr uint32_t kMirrorCommand = 121;
constexpr uint32_t kCommandEnableEditing = 124;

class HostLink {
 public:
  virtual ~HostLink() = default;
  // IClientSink::SendTo(nType, nTargetID, data, length, nLevel).
  virtual void sendTo(uint32_t type, uint32_t target, std::span<const uint8_t> message,
                      uint32_t level) = 0;
  // IClientSink::GetMessageA(command, length, data).
  virtual void hostMessage(uint32_t command, std::span<const uint8_t> message) = 0;
};

// Codes the host records: object creations and changes and the page messages
// that shape the board's content.
bool isMirroredCode(uint8_t code);

class ConferenceChannel final : public SendChannel {
 public:
  ConferenceChannel(HostLink& host, bool peerToPeer) : host_(host), peerToPeer_(peerToPeer) {}

  // The peer given to Initialize; only a peer-to-peer conference addresses it.
  void setPeer(uint32_t peerId) { peerId_ = peerId; }
  // Mirroring is switched by a host command that may arrive on another thread.
  void setMirroring(bool on) { mirroring_.store(on); }
  bool mirroring() const { return mirroring_.load(); }

  void sendNow(std::span<const uint8_t> message, uint32_t hostLevel) override;
  void mirror(std::span<const uint8_t> message, bool force) override;

 private:
  HostLink& host_;
  bool peerToPeer_;
  uint32_t peerId_ = 0;
  std::atomic<bool> mirroring_{false};
};

}  // namespace scribly
