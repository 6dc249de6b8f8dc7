#pragma once
// The participants' links to the relay nodes, run on a thread of their own so
// that a window busy painting or inside a dialog never holds up the wire
// (confirmations, pings, resumes). What comes down waits in a queue that only
// the host's own thread drains, in order.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/relay_link.h"

namespace scribly {

class RelayLinks {
 public:
  struct Event {
    size_t participant = 0;
    // A message for the participant's DataIn from sender 0, unless `end` is set.
    std::vector<uint8_t> message;
    std::optional<net::LinkEnd> end;
    std::string why;
  };

  // One link per participant, in order. `wake` runs on the links' thread
  // whenever the queue was empty and is no longer; it must only signal.
  RelayLinks(std::vector<net::RelayLinkOptions> links, std::function<void()> wake);
  // Says BYE on every started link, gives that a moment to go out, and stops.
  ~RelayLinks();
  RelayLinks(const RelayLinks&) = delete;
  RelayLinks& operator=(const RelayLinks&) = delete;

  // Connects and joins the participant.
  void start(size_t participant);
  void send(size_t participant, std::span<const uint8_t> message);
  // The oldest event queued, if any. One at a time: applying one may run a
  // nested message loop that takes the next ones, and the order must hold.
  std::optional<Event> next();
  // Every started link that has not ended is up with nothing left
  // unconfirmed, and nothing was sent or received for `quiet`. Asks the links' thread for fresh
  // figures, so a caller polls it.
  bool settled(std::chrono::milliseconds quiet);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace scribly
