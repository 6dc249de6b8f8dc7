#pragma once
// The host behind the board's conference channel: IClientSink's calls for
// messages, mirrored content, user information and notifications.
#include <cstdint>
#include <span>
#include <string>

#include "collab/conference_channel.h"
#include "win/handles.h"

struct IClientSink;

namespace scribly {

class HostChannel final : public HostLink {
 public:
  explicit HostChannel(IClientSink* sink);
  ~HostChannel() override;
  HostChannel(const HostChannel&) = delete;
  HostChannel& operator=(const HostChannel&) = delete;

  void sendTo(uint32_t type, uint32_t target, std::span<const uint8_t> message,
              uint32_t level) override;
  void hostMessage(uint32_t command, std::span<const uint8_t> message) override;

  // The host's XML text about a user; empty when the host has none.
  std::string userInfo(uint32_t userId);
  // Screen-capture notifications (100 begins, 101 ends).
  void notify(uintptr_t code);

  static constexpr size_t kUserInfoBytes = 8192;

 private:
  ComPtr<IClientSink> sink_;
};

}  // namespace scribly
