// scribly-relayd: one relay node. It serves the hosts' sessions (the edge)
// and decides for the conferences whose lease it holds (the owner).
//
//   scribly-relayd --listen IP:PORT --redis IP:PORT --node NAME
//                  --public-key KID:FILE.pem [--public-key ...] [--grace-ms 30000]
//
// Port 0 listens on any free port. Once ready it prints one line,
// "listening on IP:PORT"; logs go to stderr; SIGTERM ends it.
#include <algorithm>
#include <asio.hpp>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "relayd/edge.h"
#include "relayd/owner_role.h"

namespace {

template <class T>
bool number(std::string_view s, T& out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return !s.empty() && ec == std::errc{} && end == s.data() + s.size();
}

struct Endpoint {
  std::string host;
  uint16_t port = 0;
};

std::optional<Endpoint> endpoint(std::string_view text) {
  const size_t colon = text.rfind(':');
  Endpoint e;
  if (colon == std::string_view::npos || colon == 0 || !number(text.substr(colon + 1), e.port)) {
    return std::nullopt;
  }
  e.host = std::string(text.substr(0, colon));
  return e;
}

// Node names go into keys and "node:epoch" tokens.
bool validNode(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

int usage() {
  std::fprintf(stderr,
               "usage: scribly-relayd --listen IP:PORT --redis IP:PORT --node NAME\n"
               "                      --public-key KID:FILE.pem [--public-key ...] "
               "[--grace-ms 30000]\n"
               "                      [--snapshot-bytes 4194304]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Endpoint> listen, redis;
  scribly::EdgeOptions options;
  scribly::OwnerOptions owning;
  scribly::TokenVerifier tokens;
  bool anyKey = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view flag = argv[i];
    const std::string_view value = argv[i + 1];
    uint64_t graceMs = 0, snapshotBytes = 0;
    if (flag == "--listen") {
      listen = endpoint(value);
    } else if (flag == "--redis") {
      redis = endpoint(value);
    } else if (flag == "--node" && validNode(value)) {
      options.node = value;
    } else if (flag == "--grace-ms" && number(value, graceMs)) {
      options.grace = std::chrono::milliseconds(graceMs);
      // The owner lets a dead node's users go after the same grace.
      owning.graceMs = static_cast<uint32_t>(std::min<uint64_t>(graceMs, UINT32_MAX));
    } else if (flag == "--snapshot-bytes" && number(value, snapshotBytes) && snapshotBytes > 0) {
      owning.snapshotAfterBytes = snapshotBytes;
    } else if (flag == "--public-key") {
      const size_t colon = value.find(':');
      uint32_t kid = 0;
      std::string error;
      if (colon == std::string_view::npos || !number(value.substr(0, colon), kid)) return usage();
      if (!tokens.addPublicKeyFile(kid, std::string(value.substr(colon + 1)), &error)) {
        std::fprintf(stderr, "scribly-relayd: %s\n", error.c_str());
        return 1;
      }
      anyKey = true;
    } else {
      return usage();
    }
  }
  if (argc % 2 != 1 || !listen || !redis || options.node.empty() || !anyKey) return usage();
  options.redisHost = redis->host;
  options.redisPort = redis->port;

  std::signal(SIGPIPE, SIG_IGN);
  asio::io_context io;
  scribly::OwnerRole owner(redis->host, redis->port, options.node, owning);
  scribly::Edge edge(io, options, tokens,
                     [&owner](const std::string& conference) { owner.ensure(conference); });
  std::string error;
  const uint16_t port = edge.listen(listen->host, listen->port, &error);
  if (port == 0) {
    std::fprintf(stderr, "scribly-relayd: cannot listen on %s:%u: %s\n", listen->host.c_str(),
                 listen->port, error.c_str());
    return 1;
  }
  asio::signal_set signals(io, SIGTERM, SIGINT);
  signals.async_wait([&](std::error_code, int) {
    edge.stop();
    io.stop();
  });
  std::printf("listening on %s:%u\n", listen->host.c_str(), port);
  std::fflush(stdout);
  std::fprintf(stderr, "node %s ready\n", options.node.c_str());
  io.run();
  return 0;
}
