#pragma once
// How the simulator's boards reach their conference: through an in-process
// relay server (the baseline), or each through its own link to a relay node.
#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/frame.h"
#include "relay/relay_server.h"

namespace scribly::sim {

using Clock = std::chrono::steady_clock;

// What a transport needs to know of a participant, and tells back.
struct Endpoint {
  size_t index = 0;  // among all participants of the run
  std::string conference;
  uint32_t user = 0;
  size_t relay = 0;  // the relay it tries first
  std::function<void(std::span<const uint8_t>)> deliver;
  std::function<void(bool up)> state;
  // The link stopped for good (refused, reset, overflow).
  std::function<void(std::string_view why)> ended;
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Brings the participant into its conference; its board starts sending after.
  virtual void join(const Endpoint& endpoint) = 0;
  virtual void send(size_t index, std::span<const uint8_t> message) = 0;
  // In process: nothing is on its way. Over links: every message confirmed.
  virtual bool settled() const = 0;
  struct LinkFigures {
    bool up = true;
    uint64_t sent = 0, resent = 0, reconnects = 0;
    net::OutId lastOut;
  };
  virtual LinkFigures figures(size_t index) const = 0;
  // The in-process relay server of a conference; null over links.
  virtual const RelayServer* server(const std::string&) const { return nullptr; }
};

std::unique_ptr<Transport> inProcessTransport(asio::io_context& io);

struct LinkSettings {
  std::vector<std::string> relays;  // HOST:PORT
  std::string keyFile;
  uint32_t keyId = 1;
};
// Null with *error when the key or an address cannot be used.
std::unique_ptr<Transport> linkTransport(asio::io_context& io, const LinkSettings& settings,
                                         std::string* error);

}  // namespace scribly::sim
