#include "host/host_arguments.h"

#include <charconv>

namespace scribly {
namespace {

constexpr int kMaxParticipants = 4;
constexpr size_t kMaxConferenceChars = 64;
constexpr size_t kMaxTokenBytes = 1024;
// User 0 stands for the whole conference; the last participant's id stays
// within the relay's signed range.
constexpr uint32_t kMaxUser = 0x7FFFFFFF - kMaxParticipants;

bool parseNumber(const std::string& text, uint32_t low, uint32_t high, uint32_t& out) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [at, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || at != end || value < low || value > high) return false;
  out = value;
  return true;
}

bool parseHex(const std::string& text, std::vector<uint8_t>& out) {
  if (text.empty() || text.size() % 2 != 0 || text.size() > 2 * kMaxTokenBytes) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    uint8_t byte = 0;
    const auto [at, ec] = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
    if (ec != std::errc() || at != text.data() + i + 2) return false;
    out.push_back(byte);
  }
  return true;
}

bool parseRelays(const std::string& text, std::vector<net::RelayAddress>& out) {
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const auto address = net::parseRelayAddress(
        std::string_view(text).substr(start, comma == std::string::npos ? comma : comma - start));
    if (!address) return false;
    out.push_back(*address);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool conferenceName(const std::string& text) {
  if (text.empty() || text.size() > kMaxConferenceChars) return false;
  for (const char c : text)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
          c == '-'))
      return false;
  return true;
}

}  // namespace

bool parseHostArguments(std::span<const std::string> args, HostArguments& out, std::string& error) {
  HostArguments a;
  bool participantsGiven = false, firstUserGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    const auto value = [&]() -> const std::string* {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return nullptr;
      }
      return &args[++i];
    };
    const auto bad = [&](const std::string& v) {
      error = "bad " + name + " value: " + v;
      return false;
    };
    const std::string* v = nullptr;
    if (name == "--server") {
      a.server = true;
    } else if (name == "--late-joiner") {
      a.lateJoiner = true;
    } else if (name == "--verify") {
      a.verify = true;
    } else if (name == "--exit") {
      a.exit = true;
    } else if (name == "--participants") {
      uint32_t n = 0;
      if (!(v = value())) return false;
      if (!parseNumber(*v, 1, kMaxParticipants, n)) return bad(*v);
      a.participants = static_cast<int>(n);
      participantsGiven = true;
    } else if (name == "--first-user") {
      if (!(v = value())) return false;
      if (!parseNumber(*v, 1, kMaxUser, a.firstUser)) return bad(*v);
      firstUserGiven = true;
    } else if (name == "--server-address") {
      if (!(v = value())) return false;
      if (!a.relays.empty() || !parseRelays(*v, a.relays)) return bad(*v);
    } else if (name == "--conference") {
      if (!(v = value())) return false;
      if (!a.conference.empty() || !conferenceName(*v)) return bad(*v);
      a.conference = *v;
    } else if (name == "--token") {
      if (!(v = value())) return false;
      if (!parseHex(*v, a.tokens.emplace_back())) return bad(*v);
    } else if (name == "--script" || name == "--hand" || name == "--screenshot" ||
               name == "--record") {
      if (!(v = value())) return false;
      std::string& path = name == "--script"       ? a.script
                          : name == "--hand"       ? a.hand
                          : name == "--screenshot" ? a.screenshot
                                                   : a.record;
      if (v->empty()) return bad(*v);
      path = *v;
    } else {
      error = "unknown option " + name;
      return false;
    }
  }
  if (a.relays.empty()) {
    if (!a.conference.empty() || !a.tokens.empty() || firstUserGiven) {
      error = "--conference, --token and --first-user need --server-address";
      return false;
    }
  } else {
    a.server = true;
    if (a.conference.empty()) {
      error = "--server-address needs --conference";
      return false;
    }
    // Without --participants, as many participants as tokens.
    if (!participantsGiven && a.tokens.size() >= 1 && a.tokens.size() <= kMaxParticipants)
      a.participants = static_cast<int>(a.tokens.size());
    if (a.tokens.size() != static_cast<size_t>(a.participants)) {
      error = "one --token for each of the " + std::to_string(a.participants) + " participants";
      return false;
    }
  }
  out = std::move(a);
  return true;
}

}  // namespace scribly
