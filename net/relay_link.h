#pragma once
// A participant's link to a relay node. It sends its board's messages up with
// sequence numbers, hands the board what comes down, and keeps every message
// the relay has not yet confirmed, so that nothing is lost when a relay dies
// and the link resumes on another. Portable (standalone Asio); it runs on the
// io_context it is given, and every callback comes from that context's thread;
// its methods are to be called from that thread too.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/frame.h"

namespace asio {
class io_context;
}

namespace scribly::net {

struct RelayAddress {
  std::string host;  // numeric IPv4: Wine's name lookup is not to be relied on
  uint16_t port = 0;
  bool operator==(const RelayAddress&) const = default;
};

// "HOST:PORT" with a dotted numeric IPv4 host and a port 1..65535.
std::optional<RelayAddress> parseRelayAddress(std::string_view text);

struct RelayLinkOptions {
  // Tried in turn after a failure, starting with the first.
  std::vector<RelayAddress> relays;
  std::string conference;
  uint32_t user = 0;
  std::vector<uint8_t> token;
  // Messages sent and not yet confirmed; past it the link ends (kOverflow).
  size_t maxResendBytes = size_t{16} << 20;
  // A queued message is acknowledged to the plug-in as soon as the
  // unconfirmed messages up to it fit in this; beyond, when the relay
  // confirms enough. 0: only the relay's confirmation acknowledges.
  size_t ackWindowBytes = size_t{256} << 10;
  std::chrono::milliseconds firstBackoff{100};
  std::chrono::milliseconds lastBackoff{5000};
  std::chrono::milliseconds idleBeforePing{5000};
  std::chrono::milliseconds silenceIsDead{15000};
  std::chrono::milliseconds helloTimeout{5000};
};

// Why a link stopped for good. The plug-in behind it must be re-created and
// join afresh, except after kLeft.
enum class LinkEnd : uint8_t {
  kLeft,      // leave() was called
  kReset,     // the relay cannot resume this session (too old, superseded)
  kRefused,   // the relay refused the join (token, full, version)
  kOverflow,  // more than maxResendBytes waited for confirmation
};

class RelayLink {
 public:
  struct Events {
    // A board message for the plug-in's DataIn from sender 0: a delivery, or
    // the acknowledgement (0xA0) of a queued message this link sent.
    std::function<void(std::span<const uint8_t> message)> deliver;
    std::function<void(LinkEnd end, std::string_view why)> ended;
    // Optional: the link came up (fresh or resumed) or went down.
    std::function<void(bool up)> state;
  };

  RelayLink(asio::io_context& io, RelayLinkOptions options, Events events);
  ~RelayLink();
  RelayLink(const RelayLink&) = delete;
  RelayLink& operator=(const RelayLink&) = delete;

  // Connects to the first relay and joins.
  void start();
  // One board message as SendTo(target 0) handed it over. It waits in the
  // resend buffer until confirmed. False once the link has ended, or for a
  // message out of bounds (empty, over kMaxBoardMessageBytes).
  bool send(std::span<const uint8_t> message);
  // Says BYE and closes: the relay lets the user go at once.
  void leave();
  // Closes the connection without BYE, as a dying relay would: the link then
  // resumes on the next relay. For tests and the simulator.
  void dropConnection();

  struct Stats {
    bool up = false;
    uint64_t sent = 0;        // UP frames handed over, resends excluded
    uint64_t confirmed = 0;   // highest seq the relay confirmed
    uint64_t resent = 0;      // UP frames sent again after a resume
    uint64_t reconnects = 0;  // successful joins after the first
    uint64_t downs = 0;       // DOWN frames received
    OutId lastOut;            // the last output position applied
    size_t resendBytes = 0;
  };
  Stats stats() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace scribly::net
