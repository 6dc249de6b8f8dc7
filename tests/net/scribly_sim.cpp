// scribly-sim: boards of one or more server-mode conferences in one process,
// each behind its own link to the relay nodes (or, with --in-process, an
// in-process relay server as the baseline), all on one Asio thread. It plays
// operations that follow from (seed, board, index) at a nominal rate, lets
// late joiners in, optionally kills a relay node at a log position, then
// waits until everything is delivered and checks that every board holds the
// same as a cold rebuild of the conference from its log, that nothing was
// lost or delivered twice, and that the logs stayed within their bounds.
// Prints "figure" lines (latency, throughput, failover, catch-up) and
// "check" lines; exits 1 when a check failed, 2 on a usage error.
#include <signal.h>

#include <algorithm>
#include <asio.hpp>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "net/relay_link.h"
#include "relay/relay_server.h"
#include "relayd/conference_log.h"
#include "relayd/edge_streams.h"
#include "relayd/join_token.h"
#include "relayd/output_entry.h"
#include "tests/native/board_test_support.h"

namespace scribly::sim {
namespace {

using Clock = std::chrono::steady_clock;
using testing::BoardSnapshot;
using testing::TestBoard;

constexpr auto kWaitBound = std::chrono::seconds(30);

struct Options {
  bool inProcess = false;
  std::vector<std::string> relays;  // HOST:PORT
  std::string keyFile;
  uint32_t keyId = 1;
  std::string redis;
  std::vector<std::pair<std::string, pid_t>> nodes;  // in the order of the relays
  size_t conferences = 1;
  size_t participants = 4;  // per conference, from the start
  size_t late = 0;          // per conference, joining after lateAfter operations
  size_t operations = 1000;
  size_t lateAfter = 0;
  double rate = 500;  // operations per second, over all boards
  size_t pageObjects = 2000;
  size_t sharedPages = 4;
  uint32_t seed = 1;
  size_t killOwnerAt = 0;  // input log lengths
  size_t killEdgeAt = 0;
  size_t restartRedisAt = 0;
  std::string restartRedis;  // a command that kills Redis and starts it again
};

const char* kUsage =
    "usage: scribly-sim [--in-process | --relay HOST:PORT... --redis HOST:PORT --key PRIVATE.pem\n"
    "         [--kid N] [--node NAME=PID...] [--kill-owner-at K | --kill-edge-at K]\n"
    "         [--restart-redis-at K --restart-redis COMMAND]]\n"
    "       [--conferences N] [--participants N] [--late N] [--late-after OPS]\n"
    "       [--operations N] [--rate OPS_PER_S] [--page-objects N] [--seed N]\n";

bool parseOptions(int argc, char** argv, Options& o) {
  const std::map<std::string_view, size_t*> counts{{"--conferences", &o.conferences},
                                                   {"--participants", &o.participants},
                                                   {"--late", &o.late},
                                                   {"--late-after", &o.lateAfter},
                                                   {"--operations", &o.operations},
                                                   {"--page-objects", &o.pageObjects},
                                                   {"--kill-owner-at", &o.killOwnerAt},
                                                   {"--kill-edge-at", &o.killEdgeAt},
                                                   {"--restart-redis-at", &o.restartRedisAt}};
  const std::map<std::string_view, std::string*> texts{
      {"--redis", &o.redis}, {"--key", &o.keyFile}, {"--restart-redis", &o.restartRedis}};
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--in-process") {
      o.inProcess = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string v = argv[++i];
    const auto count = static_cast<size_t>(std::strtoull(v.c_str(), nullptr, 10));
    const size_t eq = v.find('=');
    if (counts.contains(a)) {
      *counts.at(a) = count;
    } else if (texts.contains(a)) {
      *texts.at(a) = v;
    } else if (a == "--relay") {
      o.relays.push_back(v);
    } else if (a == "--kid" || a == "--seed") {
      (a == "--kid" ? o.keyId : o.seed) = static_cast<uint32_t>(count);
    } else if (a == "--rate") {
      o.rate = std::atof(v.c_str());
    } else if (a == "--node" && eq != std::string::npos) {
      o.nodes.push_back({v.substr(0, eq), static_cast<pid_t>(std::atol(v.c_str() + eq + 1))});
    } else {
      return false;
    }
  }
  const bool network = !o.relays.empty() && !o.redis.empty() && !o.keyFile.empty();
  return o.conferences > 0 && o.participants > 0 && o.rate > 0 && o.inProcess != network &&
         (o.killOwnerAt != 0) + (o.killEdgeAt != 0) + (o.restartRedisAt != 0) <= 1 &&
         (o.restartRedisAt == 0) == o.restartRedis.empty() &&
         (o.nodes.empty() || o.nodes.size() == o.relays.size());
}

// --- What the simulator reads back from Redis ---------------------------------

// The conferences' input and output logs entry by entry, and a few figures of
// the server, read between the simulator's own steps, on loopback.
struct StreamEntry {
  net::OutId id;
  std::map<std::string, std::string> fields;
  // A field's text; empty when absent.
  std::string text(const char* name) const {
    const auto it = fields.find(name);
    return it == fields.end() ? "" : it->second;
  }
};

template <class T>
bool number(const std::string& s, T& out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc{} && end == s.data() + s.size() && !s.empty();
}

std::optional<uint32_t> field(const StreamEntry& e, const char* name) {
  const auto it = e.fields.find(name);
  uint32_t value = 0;
  if (it == e.fields.end() || !number(it->second, value)) return std::nullopt;
  return value;
}

std::string confKey(const std::string& conference, const char* name) {
  return "conf:{" + conference + "}:" + name;
}

class RedisReader {
 public:
  static std::unique_ptr<RedisReader> open(const std::string& address, std::string* error) {
    auto reader = std::make_unique<RedisReader>();
    const size_t colon = address.rfind(':');
    if (colon == std::string::npos || !number(address.substr(colon + 1), reader->port_)) {
      *error = "not HOST:PORT: " + address;
      return nullptr;
    }
    reader->host_ = address.substr(0, colon);
    reader->connection_ = RedisConnection::open(reader->host_, reader->port_, error);
    return reader->connection_ ? std::move(reader) : nullptr;
  }

  // Entries after `after` (all from the start when null), at most `count`.
  std::vector<StreamEntry> range(const std::string& key, std::optional<net::OutId> after,
                                 size_t count = 4096) {
    const std::string from = after ? "(" + formatOutId(*after) : "-", n = std::to_string(count);
    std::vector<StreamEntry> out;
    for (const RedisConnection::Node& e : items({"XRANGE", key, from, "+", "COUNT", n})) {
      const auto id = e.items.size() == 2 ? parseOutId(e.items[0].value) : std::nullopt;
      if (!id) continue;
      StreamEntry& entry = out.emplace_back(StreamEntry{*id, {}});
      const auto& f = e.items[1].items;
      for (size_t k = 0; k + 1 < f.size(); k += 2) entry.fields[f[k].value] = f[k + 1].value;
    }
    return out;
  }
  std::vector<StreamEntry> all(const std::string& key) {
    std::vector<StreamEntry> out;
    for (;;) {
      auto more = range(key, out.empty() ? std::nullopt : std::optional(out.back().id));
      if (more.empty()) return out;
      std::move(more.begin(), more.end(), std::back_inserter(out));
    }
  }
  long long length(const std::string& key) {
    long long n = -1;
    return number(query({"XLEN", key}).root.value, n) ? n : -1;
  }
  std::optional<std::string> get(const std::string& key) {
    const RedisConnection::Tree t = query({"GET", key});
    return t.ok && !t.root.nil ? std::optional(t.root.value) : std::nullopt;
  }
  std::map<std::string, std::string> hash(const std::string& key) {
    const auto pairs = items({"HGETALL", key});
    std::map<std::string, std::string> out;
    for (size_t k = 0; k + 1 < pairs.size(); k += 2) out[pairs[k].value] = pairs[k + 1].value;
    return out;
  }
  // A list's items, joined.
  std::string joined(const std::string& key) {
    std::string out;
    for (const RedisConnection::Node& n : items({"LRANGE", key, "0", "-1"})) out += n.value;
    return out;
  }
  // One field of INFO or CONFIG GET, as text; empty when absent.
  std::string info(const std::string& name) {
    const std::string all = query({"INFO"}).root.value;
    const size_t at = all.find("\r\n" + name + ":");
    if (at == std::string::npos) return {};
    const size_t from = at + name.size() + 3;
    return all.substr(from, all.find('\r', from) - from);
  }
  std::string config(const std::string& name) {
    const auto v = items({"CONFIG", "GET", name});
    return v.size() == 2 ? v[1].value : "";
  }

 private:
  // A failure drops the connection, opened again by the next query (Redis
  // restarted); what fails meanwhile reads as empty.
  RedisConnection::Tree query(const std::vector<std::string_view>& args) {
    std::string error;
    if (!connection_) connection_ = RedisConnection::open(host_, port_, &error);
    if (!connection_) return {};
    RedisConnection::Tree t = connection_->query(args);
    if (!t.ok) connection_.reset();
    return t;
  }
  std::vector<RedisConnection::Node> items(const std::vector<std::string_view>& args) {
    RedisConnection::Tree t = query(args);
    return t.root.array ? std::move(t.root.items) : std::vector<RedisConnection::Node>{};
  }

  std::string host_;
  int port_ = 0;
  std::unique_ptr<RedisConnection> connection_;
};

// The faults found in a conference's input log: a user's seqs not 1, 2, 3...
// (from where the log still holds them), grant ranges that overlap or leave
// the bounds.
std::vector<std::string> checkInputLog(const std::vector<StreamEntry>& in) {
  const RelayServerLimits limits;
  std::vector<std::string> faults;
  // The seq each user's session sends next; unknown for a session whose join
  // was trimmed away with the log's head.
  std::map<uint32_t, std::optional<uint64_t>> next;
  std::vector<std::pair<uint32_t, uint32_t>> ranges;
  for (const StreamEntry& e : in) {
    const auto user = field(e, "u");
    if (!user) {
      faults.push_back("entry " + formatOutId(e.id) + " names no user");
      continue;
    }
    const std::string type = e.text("t");
    auto& expected = next[*user];
    if (type == "j") {
      expected = 1;
    } else if (type == "g") {
      // A range request takes a seq of its own; its entry does not carry it.
      if (expected) ++*expected;
      const auto a = field(e, "a"), b = field(e, "b");
      if (a && b) ranges.push_back({*a, *b});
      if (!a || !b || *a >= *b || *a < limits.firstGrantedId ||
          uint64_t{*b} > uint64_t{limits.lastGrantedId} + 1) {
        faults.push_back("grant " + formatOutId(e.id) + " out of bounds");
      }
    } else if (type.empty()) {
      uint64_t q = 0;
      if (!number(e.text("q"), q)) {
        faults.push_back("message " + formatOutId(e.id) + " without a seq");
      } else if (expected && q != *expected) {
        faults.push_back("user " + std::to_string(*user) + " seq " + std::to_string(q) + " where " +
                         std::to_string(*expected) + " was next (" + formatOutId(e.id) + ")");
      }
      expected = q + 1;
    }
  }
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].first < ranges[i - 1].second) {
      faults.push_back("grants " + std::to_string(ranges[i - 1].first) + " and " +
                       std::to_string(ranges[i].first) + " overlap");
    }
  }
  return faults;
}

// The conference rebuilt cold: a fresh relay server restored from the
// snapshot, if there is one, and fed every input entry after it, as a new
// owner would. Null with *error when the snapshot or an entry is unreadable.
std::unique_ptr<RelayServer> rebuild(RedisReader& redis, const std::string& conference,
                                     std::string* error) {
  auto server = std::make_unique<RelayServer>([](uint32_t, std::span<const uint8_t>) {},
                                              RelayServerLimits{.grantsFromOutside = true});
  std::optional<net::OutId> after;
  const auto header = redis.hash(confKey(conference, "snap"));
  if (!header.empty()) {
    const auto n = header.find("n");
    const auto at = header.find("in_id");
    const std::string state =
        n == header.end() ? "" : redis.joined(confKey(conference, "snap:") + n->second);
    after = at == header.end() ? std::nullopt : parseOutId(at->second);
    if (!after ||
        !server->restoreState({reinterpret_cast<const uint8_t*>(state.data()), state.size()})) {
      *error = "the snapshot does not restore";
      return nullptr;
    }
  }
  for (const StreamEntry& e : redis.all(confKey(conference, "in"))) {
    if (after && e.id <= *after) continue;
    const auto user = field(e, "u");
    const std::string t = e.text("t"), m = e.text("m");
    if (!user) continue;
    if (t.empty()) {
      if (!m.empty())
        server->receive(*user, {reinterpret_cast<const uint8_t*>(m.data()), m.size()});
    } else if (t == "j") {
      // A newer session of a user replaces the one still in.
      if (server->connected(*user)) server->disconnect(*user);
      server->connect(*user);
    } else if (t == "l") {
      server->disconnect(*user);
    } else if (t == "g") {
      const auto a = field(e, "a"), b = field(e, "b");
      if (a && b) server->adoptGrant(*user, *a, *b);
    }
  }
  return server;
}

// --- How the boards reach their conference ------------------------------------

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
    uint64_t resent = 0;
    net::OutId lastOut;
  };
  virtual LinkFigures figures(size_t index) const = 0;
  // The in-process relay server of a conference; null over links.
  virtual const RelayServer* server(const std::string&) const { return nullptr; }
};

// One relay server per conference, its deliveries posted to the same loop
// the links would use, so both modes pay for the same scheduling.
class InProcess final : public Transport {
 public:
  explicit InProcess(asio::io_context& io) : io_(io) {}

  void join(const Endpoint& e) override {
    auto& conference = conferences_[e.conference];
    if (!conference) {
      conference = std::make_unique<Conference>();
      Conference* c = conference.get();
      c->server = std::make_unique<RelayServer>([this, c](uint32_t to, std::span<const uint8_t> m) {
        const auto it = c->users.find(to);
        if (it != c->users.end()) post(it->second, {m.begin(), m.end()});
      });
    }
    conference->users[e.user] = e.index;
    if (endpoints_.size() <= e.index) endpoints_.resize(e.index + 1);
    endpoints_[e.index] = {e, conference.get()};
    conference->server->connect(e.user);
    if (e.state) e.state(true);
  }

  void send(size_t index, std::span<const uint8_t> message) override {
    ++pending_;
    asio::post(io_, [this, index, m = std::vector<uint8_t>(message.begin(), message.end())] {
      --pending_;
      auto& [endpoint, conference] = endpoints_[index];
      conference->server->receive(endpoint.user, m);
    });
  }

  bool settled() const override { return pending_ == 0; }
  LinkFigures figures(size_t) const override { return {}; }
  const RelayServer* server(const std::string& conference) const override {
    const auto it = conferences_.find(conference);
    return it == conferences_.end() ? nullptr : it->second->server.get();
  }

 private:
  struct Conference {
    std::unique_ptr<RelayServer> server;
    std::map<uint32_t, size_t> users;
  };
  void post(size_t index, std::vector<uint8_t> m) {
    ++pending_;
    asio::post(io_, [this, index, m = std::move(m)] {
      --pending_;
      endpoints_[index].first.deliver(m);
    });
  }

  asio::io_context& io_;
  std::map<std::string, std::unique_ptr<Conference>> conferences_;
  std::vector<std::pair<Endpoint, Conference*>> endpoints_;
  size_t pending_ = 0;
};

// Each participant behind a link of its own.
class Links final : public Transport {
 public:
  Links(asio::io_context& io, std::vector<net::RelayAddress> relays,
        std::unique_ptr<TokenSigner> signer)
      : io_(io), relays_(std::move(relays)), signer_(std::move(signer)) {}

  void join(const Endpoint& e) override {
    net::RelayLinkOptions options;
    // Its own relay first, then the others in turn.
    for (size_t k = 0; k < relays_.size(); ++k)
      options.relays.push_back(relays_[(e.relay + k) % relays_.size()]);
    options.conference = e.conference;
    options.user = e.user;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    options.token = signer_->issue(
        e.conference, e.user, std::chrono::duration_cast<std::chrono::seconds>(now).count() + 3600,
        e.index);
    if (links_.size() <= e.index) links_.resize(e.index + 1);
    links_[e.index] = std::make_unique<net::RelayLink>(
        io_, std::move(options),
        net::RelayLink::Events{
            e.deliver, [ended = e.ended](net::LinkEnd, std::string_view why) { ended(why); },
            e.state});
    links_[e.index]->start();
  }

  void send(size_t index, std::span<const uint8_t> message) override {
    links_[index]->send(message);
  }

  bool settled() const override {
    for (const auto& link : links_) {
      if (link && link->stats().resendBytes != 0) return false;
    }
    return true;
  }

  LinkFigures figures(size_t index) const override {
    const auto s = links_[index]->stats();
    return {s.up, s.resent, s.lastOut};
  }

 private:
  asio::io_context& io_;
  std::vector<net::RelayAddress> relays_;
  std::unique_ptr<TokenSigner> signer_;
  std::vector<std::unique_ptr<net::RelayLink>> links_;
};

// Null with *error when the key or an address cannot be used.
std::unique_ptr<Transport> linkTransport(asio::io_context& io, const Options& o,
                                         std::string* error) {
  std::vector<net::RelayAddress> relays;
  for (const std::string& text : o.relays) {
    const auto address = net::parseRelayAddress(text);
    if (!address) {
      *error = "not a relay address: " + text;
      return nullptr;
    }
    relays.push_back(*address);
  }
  auto signer = TokenSigner::fromPrivateKeyFile(o.keyFile, o.keyId, error);
  if (!signer) return nullptr;
  return std::make_unique<Links>(io, std::move(relays), std::move(signer));
}

// --- The simulator -----------------------------------------------------------

struct Participant {
  size_t index = 0;
  size_t conference = 0;
  uint32_t user = 0;
  bool late = false;
  std::unique_ptr<TestBoard> board;
  Clock::time_point joinedAt;
  std::optional<double> caughtUpMs;
  net::OutId seenOut;
  bool up = false;
  size_t ops = 0;
  std::vector<uint32_t> pages;                         // its own
  std::vector<std::pair<uint32_t, uint32_t>> objects;  // its own: (page, id)
};

struct Conference {
  std::string name;
  std::vector<size_t> members;
  uint32_t catchUpPage = 0;
  std::vector<uint32_t> sharedPages;
  // What the logs say each member must have got, read as they grow.
  std::optional<net::OutId> inCursor, outCursor;
  std::map<uint32_t, net::OutId> joinEntry;
  std::map<uint32_t, net::OutId> due;
  long long inLength = -1;
  std::optional<net::OutId> lastOut;
};

// A message as a board handed it over, to be matched with its receipts.
struct Sent {
  Clock::time_point at;
  size_t sender;
  std::vector<bool> gotBy;
};

bool hasIds(TestBoard& b) {
  return b->idAllocator().remaining() > 0 || b->idAllocator().rangePending();
}

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

void figure(const char* what, double value, const char* unit) {
  std::printf("figure\t%s\t%.4g\t%s\n", what, value, unit);
}

class Simulator {
 public:
  explicit Simulator(Options o) : o_(std::move(o)) {}
  ~Simulator() {
    if (restart_.joinable()) restart_.join();
  }

  int run() {
    std::string error;
    transport_ = o_.inProcess ? std::make_unique<InProcess>(io_) : linkTransport(io_, o_, &error);
    if (!transport_) return usageError(error);
    if (!o_.inProcess && !(redis_ = RedisReader::open(o_.redis, &error))) return usageError(error);

    const size_t total = o_.conferences * (o_.participants + o_.late);
    for (size_t c = 0; c < o_.conferences; ++c) {
      conferences_.push_back({});
      conferences_.back().name = "s" + std::to_string(o_.seed) + "-" + std::to_string(c);
    }
    participants_.reserve(total);
    for (size_t k = 0; k < o_.participants; ++k)
      for (size_t c = 0; c < o_.conferences; ++c) join(c, false);
    bool ok = waitFor("every board has its ids", [&] {
      return std::all_of(participants_.begin(), participants_.end(),
                         [](const Participant& p) { return p.up && hasIds(*p.board); });
    });
    ok = ok && prepare() && quiesce("the prepared pages");
    if (!ok) return report(false);

    runOperations();
    const bool quiet = quiesce("the operations");
    opsEnd_ = Clock::now();
    check("quiesced after the operations", quiet, "");
    visitPagesOnJoiners();
    return report(quiet);
  }

 private:
  int usageError(const std::string& error) {
    std::fprintf(stderr, "scribly-sim: %s\n", error.c_str());
    return 2;
  }

  void join(size_t c, bool late) {
    Conference& conference = conferences_[c];
    Participant& p = participants_.emplace_back();
    p.index = participants_.size() - 1;
    p.conference = c;
    p.user = static_cast<uint32_t>(11 + conference.members.size());
    p.late = late;
    p.board = std::make_unique<TestBoard>(false);
    p.board->info.infos[p.user] = testing::userInfoXml("User" + std::to_string(p.user));
    p.joinedAt = Clock::now();
    conference.members.push_back(p.index);
    const size_t index = p.index;
    p.board->host.onSend = [this, index](uint32_t, const testing::Bytes& m) { sent(index, m); };
    Endpoint e{index,
               conference.name,
               p.user,
               index % std::max<size_t>(1, o_.relays.size()),
               [this, index](std::span<const uint8_t> m) { received(index, m); },
               [this, index](bool up) { participants_[index].up = up; },
               [this, index](std::string_view why) {
                 if (linksEnded_++ == 0)
                   firstEnd_ = "link " + std::to_string(index) + ": " + std::string(why);
               }};
    transport_->join(e);
    p.board->board->initialize(p.user, 77);
  }

  // Same bytes in two conferences are two different messages.
  uint64_t hashOf(size_t conference, std::span<const uint8_t> m) const {
    const std::string_view bytes(reinterpret_cast<const char*>(m.data()), m.size());
    return std::hash<std::string_view>{}(bytes) ^ (conference * 0x9E3779B97F4A7C15ull);
  }

  static bool acknowledgement(std::span<const uint8_t> m) {
    return codeOf(m[0]) == toByte(MessageCode::kAcknowledgement);
  }

  void sent(size_t index, const testing::Bytes& m) {
    ++inputMessages_;
    if (!m.empty() && !acknowledgement(m)) {
      byHash_[hashOf(participants_[index].conference, m)].push_back(sentLog_.size());
      sentLog_.push_back({Clock::now(), index, std::vector<bool>(participants_.capacity())});
    }
    transport_->send(index, m);
  }

  void received(size_t index, std::span<const uint8_t> m) {
    const auto now = Clock::now();
    Participant& p = participants_[index];
    ++deliveries_;
    if (!m.empty() && !acknowledgement(m)) match(p, m, now);
    p.board->board->dispatch(m);
    if (!o_.inProcess) {
      const net::OutId last = transport_->figures(index).lastOut;
      if (last < p.seenOut) ++outIdsBack_;
      p.seenOut = std::max(p.seenOut, last);
    }
    if (p.late && !p.caughtUpMs) {
      const Page* page = p.board->board->findPage(conferences_[p.conference].catchUpPage);
      if (page && page->objects().size() >= o_.pageObjects)
        p.caughtUpMs = msBetween(p.joinedAt, now);
    }
  }

  // Finds the message among those others sent and the receiver has not had yet.
  void match(Participant& p, std::span<const uint8_t> m, Clock::time_point now) {
    const auto it = byHash_.find(hashOf(p.conference, m));
    if (it == byHash_.end()) return;
    bool again = false;
    for (const size_t serial : it->second) {
      Sent& s = sentLog_[serial];
      if (s.sender == p.index) continue;
      if (s.gotBy[p.index]) {
        // A joiner may get an older object's very bytes while catching up.
        again = again || s.at >= p.joinedAt;
        continue;
      }
      s.gotBy[p.index] = true;
      if (s.at >= p.joinedAt) latencies_.push_back(msBetween(s.at, now));
      if (killedAt_ && s.at > *killedAt_ && !failoverMs_) failoverMs_ = msBetween(*killedAt_, now);
      return;
    }
    if (again) ++duplicates_;
  }

  // Runs the loop until `done`, at most kWaitBound.
  template <class Done>
  bool waitFor(const char* what, Done done) {
    const auto until = Clock::now() + kWaitBound;
    while (!done()) {
      if (Clock::now() > until) {
        std::printf("timeout: %s\n", what);
        return false;
      }
      io_.run_for(std::chrono::milliseconds(2));
      housekeeping();
    }
    return true;
  }

  // The first board of each conference makes the pages everyone works on,
  // and the page late joiners catch up, which everyone shows.
  bool prepare() {
    for (Conference& c : conferences_) {
      Board& lead = *participants_[c.members[0]].board->board;
      if (o_.late > 0) {
        c.catchUpPage = lead.addUserPage("catch-up");
        lead.goToPage(c.catchUpPage, true);
      }
      for (size_t k = 0; k < o_.sharedPages; ++k)
        c.sharedPages.push_back(lead.addUserPage("shared " + std::to_string(k)));
    }
    std::mt19937 rng(o_.seed);
    for (size_t n = 0; n < o_.pageObjects && o_.late > 0; ++n) {
      for (Conference& c : conferences_) {
        TestBoard& lead = *participants_[c.members[0]].board;
        if (!waitFor("ids for the catch-up page", [&] { return hasIds(lead); })) return false;
        lead->commitObject(testing::makeObject(n % 3 ? 11 : 10, rng, lead->myUserId()),
                           c.catchUpPage);
      }
      if (n % 64 == 0) io_.poll();
    }
    return true;
  }

  void runOperations() {
    if (redis_) {
      std::printf("operations start at input length %lld\n",
                  redis_->length(confKey(conferences_[0].name, "in")));
    }
    opsStart_ = Clock::now();
    size_t issued = 0;
    while (issued < o_.operations) {
      const double seconds = std::chrono::duration<double>(Clock::now() - opsStart_).count();
      const size_t due = std::min(o_.operations, static_cast<size_t>(seconds * o_.rate) + 1);
      for (; issued < due; ++issued) {
        if (issued == o_.lateAfter && o_.late > 0 && !lateJoined_) joinLate();
        operate(participants_[issued % participants_.size()]);
      }
      io_.run_for(std::chrono::milliseconds(1));
      housekeeping();
    }
    if (o_.late > 0 && !lateJoined_) joinLate();
  }

  void joinLate() {
    lateJoined_ = true;
    for (size_t k = 0; k < o_.late; ++k)
      for (size_t c = 0; c < o_.conferences; ++c) join(c, true);
  }

  // One operation, a function of (seed, board, its index): a board adds to
  // the shared pages and its own, and changes only what it made itself, since
  // concurrent changes of one thing are not ordered by the protocol.
  void operate(Participant& p) {
    std::seed_seq seq{o_.seed, static_cast<uint32_t>(p.index), static_cast<uint32_t>(p.ops++)};
    std::mt19937 rng(seq);
    Board& board = *p.board->board;
    std::erase_if(p.objects, [&](const auto& o) {
      const Page* page = board.findPage(o.first);
      return !page || !page->findObject(o.second);
    });
    std::vector<uint32_t> pages = p.pages;
    for (uint32_t id : conferences_[p.conference].sharedPages)
      if (board.findPage(id)) pages.push_back(id);
    const int op = static_cast<int>(rng() % 100);
    const auto pick = [&](const auto& from) { return from[rng() % from.size()]; };
    bool done = false;
    if (op < 25 && !p.objects.empty()) {
      const auto [page, id] = pick(p.objects);
      done = board.changeObject(page, id, testing::randomObjectChange(rng));
    } else if (op < 33 && !p.objects.empty()) {
      const auto [page, id] = pick(p.objects);
      done = board.deleteObject(page, id);
    } else if (op < 35) {
      const uint32_t id = board.addUserPage("page " + std::to_string(rng() % 100));
      if (id) p.pages.push_back(id);
      done = id != 0;
    } else if (op < 39 && !p.pages.empty()) {
      done = board.renamePage(pick(p.pages), "renamed " + std::to_string(rng() % 1000));
    } else if (op < 41 && !p.pages.empty()) {
      const std::string path = "C:\\Pictures\\p" + std::to_string(p.ops) + ".bmp";
      testing::Bytes bytes(1 + rng() % 20000);
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i / 97 + rng() % 2);
      p.board->files.files[path] = bytes;
      done = board.setBackgroundFile(path, pick(p.pages));
    } else if (!pages.empty()) {
      const uint8_t kind =
          testing::kCommittableKinds[rng() % std::size(testing::kCommittableKinds)];
      const uint32_t page = pick(pages);
      const uint32_t id = board.commitObject(testing::makeObject(kind, rng, p.user), page);
      if (id) p.objects.push_back({page, id});
      done = id != 0;
    }
    skipped_ += !done;
  }

  // Everything sent has been confirmed and delivered, twice in a row. Over
  // links a calm log may also mean an owner that is gone, so `barrier` then
  // has each conference's first board rename the first shared page and waits
  // until every board shows the name: the owner reached the end of the log.
  bool quiesce(const char* what, bool barrier = true) {
    if (o_.inProcess) return waitFor(what, [&] { return transport_->settled(); });
    int calm = 0;
    auto lastPoll = Clock::now() - std::chrono::seconds(1);
    const auto quiet = [&] {
      if (Clock::now() - lastPoll < std::chrono::milliseconds(40)) return false;
      lastPoll = Clock::now();
      calm = caughtUp() ? calm + 1 : 0;
      return calm >= 2;
    };
    if (!waitFor(what, quiet)) return false;
    if (!barrier || o_.sharedPages == 0) return true;
    const std::string name = "quiet " + std::to_string(++barriers_);
    for (const Conference& c : conferences_)
      participants_[c.members[0]].board->board->renamePage(c.sharedPages[0], name);
    const bool renamed = waitFor(what, [&] {
      return std::all_of(participants_.begin(), participants_.end(), [&](const Participant& p) {
        const Page* page = p.board->board->findPage(conferences_[p.conference].sharedPages[0]);
        return page && page->name() == name;
      });
    });
    calm = 0;
    return renamed && waitFor(what, quiet);
  }

  // Reads what the logs grew by; true when nothing moved since the last call
  // and every board got all that is due to it.
  bool caughtUp() {
    bool still = transport_->settled();
    for (Conference& c : conferences_) {
      for (const StreamEntry& e : readNew(confKey(c.name, "in"), c.inCursor)) {
        if (const auto user = field(e, "u"); user && e.text("t") == "j") c.joinEntry[*user] = e.id;
      }
      for (const StreamEntry& e : readNew(confKey(c.name, "out"), c.outCursor)) noteDue(c, e);
      const long long inLength = redis_->length(confKey(c.name, "in"));
      still = still && inLength == c.inLength && c.lastOut == c.outCursor;
      c.inLength = inLength;
      c.lastOut = c.outCursor;
      for (size_t index : c.members) {
        const Participant& p = participants_[index];
        const auto due = c.due.find(p.user);
        const auto figures = transport_->figures(index);
        if (!figures.up || (due != c.due.end() && figures.lastOut < due->second)) still = false;
      }
    }
    return still;
  }

  std::vector<StreamEntry> readNew(const std::string& key, std::optional<net::OutId>& cursor) {
    auto entries = redis_->range(key, cursor, 100000);
    if (!entries.empty()) cursor = entries.back().id;
    return entries;
  }

  // Who an output entry is for: a delivery to one user, or to everyone but
  // its sender who joined before the entry's source.
  void noteDue(Conference& c, const StreamEntry& e) {
    const std::string d = e.text("d");
    const auto source = parseOutId(e.text("s"));
    std::vector<Delivery> deliveries;
    if (!e.fields.contains("d") || !source ||
        !decodeDeliveries({reinterpret_cast<const uint8_t*>(d.data()), d.size()}, deliveries)) {
      ++malformedOutput_;
      return;
    }
    for (const Delivery& delivery : deliveries) {
      if (delivery.to != 0) {
        c.due[delivery.to] = e.id;
        continue;
      }
      for (const auto& [user, joined] : c.joinEntry)
        if (user != delivery.from && joined < *source) c.due[user] = e.id;
    }
  }

  // Late joiners hold the objects of the pages they showed only: they show
  // every page that has any, in turn, before boards are compared.
  void visitPagesOnJoiners() {
    if (o_.late == 0) return;
    for (size_t step = 0;; ++step) {
      bool any = false;
      for (Participant& p : participants_) {
        if (!p.late) continue;
        const auto& pages = p.board->board->pages();
        if (step >= pages.size()) continue;
        any = true;
        p.board->board->goToPage(pages[step]->id(), false);
      }
      if (!any) return;
      if (!quiesce("a joiner showing a page", false)) return;
    }
  }

  // Between steps: the fault to inject, and the bounds to watch.
  void housekeeping() {
    if (o_.inProcess) return;
    const auto now = Clock::now();
    if (now - lastSample_ < std::chrono::milliseconds(50)) return;
    lastSample_ = now;
    const auto killAt =
        static_cast<long long>(std::max({o_.killOwnerAt, o_.killEdgeAt, o_.restartRedisAt}));
    if (killAt && !killedAt_ && redis_->length(confKey(conferences_[0].name, "in")) >= killAt) {
      if (o_.restartRedisAt) {
        // On a thread of its own: the links go on meanwhile.
        std::printf("restarting Redis at in length %lld\n", killAt);
        std::fflush(stdout);
        restart_ = std::thread([this] { restarted_ = std::system(o_.restartRedis.c_str()) == 0; });
        killedAt_ = Clock::now();
      } else {
        kill();
      }
    }
    if (killedAt_ && !resumedMs_) {
      const bool all = std::all_of(participants_.begin(), participants_.end(),
                                   [&](const Participant& p) { return p.up; });
      if (all && sawDown_) resumedMs_ = msBetween(*killedAt_, now);
      sawDown_ = sawDown_ || !all;
    }
    if (now - lastCaps_ < std::chrono::seconds(1)) return;
    lastCaps_ = now;
    peakMemory_ = std::max(peakMemory_, std::atoll(redis_->info("used_memory").c_str()));
    for (const Conference& c : conferences_) {
      peakIn_ = std::max(peakIn_, redis_->length(confKey(c.name, "in")));
      peakOut_ = std::max(peakOut_, redis_->length(confKey(c.name, "out")));
    }
    for (const auto& [name, pid] : o_.nodes) {
      std::ifstream status("/proc/" + std::to_string(pid) + "/status");
      for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
          peakRss_ = std::max(peakRss_, std::atoll(line.c_str() + 6));
      }
    }
  }

  // SIGKILLs the node that owns the first conference, or one that owns none
  // of it, by the pid it was given as.
  void kill() {
    const auto owner = redis_->get(confKey(conferences_[0].name, "owner"));
    if (!owner) return;  // a takeover is under way: try again next time
    const std::string ownerNode = owner->substr(0, owner->find(':'));
    for (const auto& [name, pid] : o_.nodes) {
      if ((name == ownerNode) != (o_.killOwnerAt != 0)) continue;
      std::printf("killing %s (pid %d) at in length %lld\n", name.c_str(), static_cast<int>(pid),
                  redis_->length(confKey(conferences_[0].name, "in")));
      std::fflush(stdout);
      ::kill(pid, SIGKILL);
      killedAt_ = Clock::now();
      return;
    }
    killedAt_ = Clock::now();
    check("a node to kill", false, "owner " + *owner);
  }

  void check(const std::string& what, bool ok, const std::string& detail) {
    std::printf("check\t%s\t%s%s%s\n", what.c_str(), ok ? "ok" : "FAILED",
                detail.empty() ? "" : "\t", detail.c_str());
    failed_ += !ok;
  }

  // Every board against the first of its conference, and that one against
  // the conference's replica: in process the server's own, over links a cold
  // rebuild from the log.
  void checkBoards() {
    size_t differing = 0, replicas = 0;
    std::string first, firstReplica;
    const auto note = [](size_t& count, std::string& text, std::string what) {
      if (count++ == 0) text = std::move(what);
    };
    for (const Conference& c : conferences_) {
      std::unique_ptr<RelayServer> rebuilt;
      const RelayServer* server = transport_->server(c.name);
      std::string error;
      if (!server) {
        rebuilt = rebuild(*redis_, c.name, &error);
        server = rebuilt.get();
        const auto snapshot = redis_->hash(confKey(c.name, "snap"));
        if (const auto size = snapshot.find("size"); size != snapshot.end())
          figure("snapshot the rebuild started from",
                 std::strtod(size->second.c_str(), nullptr) / 1024.0, "KiB");
      }
      const BoardSnapshot reference = BoardSnapshot::of(*participants_[c.members[0]].board);
      testing::FakeFiles none;
      const std::string replica =
          server ? testing::firstDifference(testing::withoutFiles(reference),
                                            BoardSnapshot::of(server->replica(), none))
                 : error;
      if (!replica.empty()) note(replicas, firstReplica, c.name + ": " + replica);
      for (size_t k = 1; k < c.members.size(); ++k) {
        const Participant& p = participants_[c.members[k]];
        const std::string difference =
            testing::firstDifference(reference, BoardSnapshot::of(*p.board));
        if (!difference.empty())
          note(differing, first, c.name + " user " + std::to_string(p.user) + ": " + difference);
      }
    }
    check("replicas hold what the boards hold", replicas == 0, firstReplica);
    check("all boards hold the same", differing == 0,
          differing ? std::to_string(differing) + " differ; " + first : "");
  }

  void checkLogs() {
    const ConferenceLogLimits caps;
    for (const Conference& c : conferences_) {
      const auto faults = checkInputLog(redis_->all(confKey(c.name, "in")));
      check("input log of " + c.name + " (seqs, grants)", faults.empty(),
            faults.empty() ? "" : std::to_string(faults.size()) + " faults, first: " + faults[0]);
    }
    check("output ids only grow on every board", outIdsBack_ == 0, std::to_string(outIdsBack_));
    check("output entries well formed", malformedOutput_ == 0, std::to_string(malformedOutput_));
    const long long maxMemory = std::atoll(redis_->config("maxmemory").c_str());
    check("logs within their caps",
          peakIn_ < static_cast<long long>(caps.maxInputEntries) &&
              peakOut_ < static_cast<long long>(caps.maxOutputEntries * 11 / 10) &&
              (maxMemory == 0 || peakMemory_ < maxMemory),
          "in " + std::to_string(peakIn_) + ", out " + std::to_string(peakOut_) + ", memory " +
              std::to_string(peakMemory_) + " of " + std::to_string(maxMemory));
    // Every queue of a node is capped per session; far below what those caps
    // allow, a node that holds on to what it passed on shows here.
    constexpr long long kNodeCapKiB = 256 << 10;
    check("nodes within their memory cap", peakRss_ < kNodeCapKiB,
          std::to_string(peakRss_) + " KiB of " + std::to_string(kNodeCapKiB));
  }

  int report(bool quiet) {
    if (quiet) {
      checkBoards();
      if (!o_.inProcess) checkLogs();
    }
    check("nothing delivered twice", duplicates_ == 0, std::to_string(duplicates_));
    check("no link ended", linksEnded_ == 0, firstEnd_);
    if (o_.late > 0) {
      std::vector<double> catchUp;
      for (const Participant& p : participants_)
        if (p.late && p.caughtUpMs) catchUp.push_back(*p.caughtUpMs);
      check("every joiner caught up the page", catchUp.size() == o_.late * o_.conferences,
            std::to_string(catchUp.size()));
      std::sort(catchUp.begin(), catchUp.end());
      if (!catchUp.empty()) {
        figure("catch-up of a page, median", catchUp[catchUp.size() / 2], "ms");
        figure("catch-up of a page, slowest", catchUp.back(), "ms");
      }
    }
    if (restart_.joinable()) restart_.join();
    if (o_.restartRedisAt) check("Redis was restarted", killedAt_ && restarted_, "");
    if (o_.killOwnerAt || o_.killEdgeAt) check("the node was killed", killedAt_.has_value(), "");
    if (killedAt_) {
      if (failoverMs_) figure("failover gap", *failoverMs_, "ms");
      if (resumedMs_) figure("every session resumed", *resumedMs_, "ms");
    }
    std::sort(latencies_.begin(), latencies_.end());
    for (const auto& [what, q] : {std::pair{"latency p50", 0.5},
                                  {"latency p90", 0.9},
                                  {"latency p99", 0.99},
                                  {"latency max", 1.0}}) {
      const size_t n = latencies_.size();
      if (n) figure(what, latencies_[std::min(n - 1, static_cast<size_t>(q * n))], "ms");
    }
    const double seconds = std::chrono::duration<double>(opsEnd_ - opsStart_).count();
    if (seconds > 0) {
      figure("input messages/s", inputMessages_ / seconds, "1/s");
      figure("deliveries/s", deliveries_ / seconds, "1/s");
    }
    uint64_t resent = 0;
    for (const Participant& p : participants_) resent += transport_->figures(p.index).resent;
    figure("resent UP frames", static_cast<double>(resent), "");
    figure("operations skipped", static_cast<double>(skipped_), "");
    if (!o_.inProcess) {
      figure("peak Redis used_memory", peakMemory_ / 1048576.0, "MiB");
      figure("peak input entries", static_cast<double>(peakIn_), "");
      figure("peak node RSS", peakRss_ / 1024.0, "MiB");
    }
    std::printf("%s\n", failed_ ? "FAILED" : "passed");
    return failed_ ? 1 : 0;
  }

  Options o_;
  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> work_ = asio::make_work_guard(io_);
  std::unique_ptr<Transport> transport_;
  std::unique_ptr<RedisReader> redis_;
  std::vector<Conference> conferences_;
  std::vector<Participant> participants_;
  bool lateJoined_ = false;
  int barriers_ = 0;

  std::vector<Sent> sentLog_;
  std::unordered_map<uint64_t, std::vector<size_t>> byHash_;
  std::vector<double> latencies_;
  size_t duplicates_ = 0;
  size_t linksEnded_ = 0;
  std::string firstEnd_;
  size_t outIdsBack_ = 0;
  size_t malformedOutput_ = 0;
  size_t skipped_ = 0;
  uint64_t inputMessages_ = 0;
  uint64_t deliveries_ = 0;
  Clock::time_point opsStart_, opsEnd_;

  Clock::time_point lastSample_, lastCaps_;
  std::optional<Clock::time_point> killedAt_;  // or Redis restarted
  std::thread restart_;
  std::atomic<bool> restarted_ = false;
  std::optional<double> failoverMs_, resumedMs_;
  bool sawDown_ = false;
  long long peakMemory_ = 0, peakIn_ = 0, peakOut_ = 0, peakRss_ = 0;
  int failed_ = 0;
};

}  // namespace
}  // namespace scribly::sim

int main(int argc, char** argv) {
  scribly::sim::Options options;
  if (!scribly::sim::parseOptions(argc, argv, options)) {
    std::fputs(scribly::sim::kUsage, stderr);
    return 2;
  }
  return scribly::sim::Simulator(std::move(options)).run();
}
