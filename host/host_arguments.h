#pragma once
// The host's command line, read strictly: an option it does not know, a
// missing or malformed value, or options that do not fit together refuse the
// whole command line with a reason, rather than running a conference nobody
// asked for.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "net/relay_link.h"

namespace scribly {

struct HostArguments {
  int participants = 2;  // 1..4
  bool server = false;
  bool lateJoiner = false;
  bool verify = false;
  bool exit = false;
  // Paths as given (UTF-8).
  std::string script, hand, screenshot, record;
  // Relay mode: the participants join through these relay nodes, in turn,
  // instead of an in-process relay. One token per participant, in order;
  // their users are firstUser, firstUser + 1, ...
  std::vector<net::RelayAddress> relays;
  std::string conference;
  std::vector<std::vector<uint8_t>> tokens;
  uint32_t firstUser = 1;
};

// The arguments after the program's name; false with `error` set on any fault.
bool parseHostArguments(std::span<const std::string> args, HostArguments& out, std::string& error);

}  // namespace scribly
