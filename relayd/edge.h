#pragma once
// The edge role of a relay node: the hosts' sessions. It checks each join's
// token, appends what a host sends to its conference's input log, and sends
// every local session its deliveries from the output log, in log order.
//
// Sockets and session state live on one io_context thread. Redis is reached
// synchronously from a few threads of the edge's own, each with its own
// connection, that post every answer back to that thread: this reuses the
// conference log's checked client as it is, where an asynchronous one would
// need its own event-loop adapter. A conference's steps always go to the
// same thread, so a session's appends reach the log in seq order. The output
// logs are read by one more thread with a blocking XREAD over every
// conference that has sessions here.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "relayd/conference_log.h"
#include "relayd/join_token.h"

namespace asio {
class io_context;
}

namespace scribly {

// The HELLO version this edge speaks.
constexpr uint16_t kRelayWireVersion = 1;

// ERROR codes an edge sends before it closes a link.
enum EdgeError : uint16_t {
  kErrorVersion = 1,
  kErrorToken = 2,
  kErrorNoSession = 3,    // a resume with an unknown session or secret
  kErrorFull = 4,         // the node or the conference takes no more
  kErrorUnavailable = 5,  // Redis cannot be reached
  kErrorProtocol = 6,     // a frame out of place or broken
  kErrorRefused = 7,      // the conference refused the join
};

struct EdgeOptions {
  std::string node;  // no ':'; names this node in sessions and its heartbeat
  std::string redisHost = "127.0.0.1";
  int redisPort = 6379;
  // A lost link leaves the conference only after this, unless it resumed.
  std::chrono::milliseconds grace{30000};
  std::chrono::milliseconds helloTimeout{5000};
  std::chrono::milliseconds idleBeforePing{5000};
  std::chrono::milliseconds silenceIsDead{15000};
  size_t maxSessions = 10000;
  size_t redisThreads = 2;
  ConferenceLogLimits log;
};

class Edge {
 public:
  // `ensureOwner(conference)` is called, from an edge thread, when an append
  // finds no owner and every 2 s for each conference with sessions here.
  // The verifier must outlive the edge.
  Edge(asio::io_context& io, EdgeOptions options, const TokenVerifier& tokens,
       std::function<void(const std::string&)> ensureOwner);
  ~Edge();
  Edge(const Edge&) = delete;
  Edge& operator=(const Edge&) = delete;

  // Binds (port 0: any free one) and accepts; the bound port, or 0 with
  // *error set.
  uint16_t listen(const std::string& address, uint16_t port, std::string* error);
  // Closes the listener and every session without leaving, as a node that
  // goes away: their hosts resume elsewhere. Call on the io_context's thread.
  void stop();

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace scribly
