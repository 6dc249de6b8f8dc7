#include "net/relay_link.h"

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <charconv>
#include <deque>
#include <random>

#include "collab/message_codec.h"

namespace scribly::net {
namespace {

using Clock = std::chrono::steady_clock;
using asio::ip::tcp;

constexpr uint16_t kLinkVersion = 1;

// A decimal number of 1 to maxDigits digits without a leading zero.
std::optional<uint32_t> decimal(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits || (text.size() > 1 && text[0] == '0')) {
    return std::nullopt;
  }
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<RelayAddress> parseRelayAddress(std::string_view text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view host = text.substr(0, colon);
  const auto port = decimal(text.substr(colon + 1), 5);
  if (!port || *port == 0 || *port > 65535) return std::nullopt;
  std::string_view rest = host;
  for (int part = 0; part < 4; ++part) {
    const size_t dot = part < 3 ? rest.find('.') : rest.size();
    if (dot == std::string_view::npos) return std::nullopt;
    const auto byte = decimal(rest.substr(0, dot), 3);
    if (!byte || *byte > 255) return std::nullopt;
    rest = part < 3 ? rest.substr(dot + 1) : std::string_view{};
  }
  return RelayAddress{std::string(host), static_cast<uint16_t>(*port)};
}

// The link's state lives here, shared with every pending handler: a handler
// may run after the RelayLink is gone (the io_context still holds it), and
// then finds `destroyed` set and does nothing, while the buffers an operation
// in flight writes to stay valid until it completes.
struct LinkCore : std::enable_shared_from_this<LinkCore> {
  enum class Phase : uint8_t { kIdle, kJoining, kLive, kWaiting, kLeaving, kEnded };

  struct Pending {
    uint64_t seq = 0;
    std::vector<uint8_t> message;
    bool written = false;
    bool acknowledged = false;  // the plug-in had its acknowledgement early
  };

  LinkCore(asio::io_context& io, RelayLinkOptions options, RelayLink::Events events)
      : io(io),
        options(std::move(options)),
        events(std::move(events)),
        socket(io),
        timer(io),
        backoff(this->options.firstBackoff),
        random(std::random_device{}()) {}

  asio::io_context& io;
  const RelayLinkOptions options;
  RelayLink::Events events;
  tcp::socket socket;
  asio::steady_timer timer;
  Phase phase = Phase::kIdle;
  bool destroyed = false;
  // Bumped for every connection and every timer arming: a handler of an
  // older one finds it changed and does nothing.
  uint64_t connection = 0;
  uint64_t timerArm = 0;

  std::optional<SessionSecret> session;
  bool joinedOnce = false;
  size_t relayIndex = 0;
  std::chrono::milliseconds backoff;
  std::minstd_rand random;

  std::deque<Pending> unconfirmed;  // by seq, ascending
  uint64_t nextSeq = 1;
  RelayLink::Stats stats;

  FrameDecoder decoder;
  std::array<uint8_t, 16384> readBuffer{};
  // Handed to the socket; its handler holds it too, for a write may still
  // read it after a reconnection dropped it here.
  std::shared_ptr<std::vector<uint8_t>> writing;
  std::vector<uint8_t> queued;  // waits for the write in progress
  Clock::time_point lastHeard;
  Clock::time_point lastPing;
  uint64_t pingNonce = 0;

  bool gone() const { return destroyed || phase == Phase::kEnded; }

  void start() {
    if (phase != Phase::kIdle) return;
    if (options.relays.empty()) return end(LinkEnd::kRefused, "no relay address");
    // A name or token no relay would take: trying relay after relay is futile.
    if (encode(Hello{kLinkVersion, options.conference, options.user, options.token, {}}).empty()) {
      return end(LinkEnd::kRefused, "conference name or token out of bounds");
    }
    connect();
  }

  void connect() {
    ++connection;
    decoder = FrameDecoder{};
    writing.reset();
    queued.clear();
    phase = Phase::kJoining;
    const RelayAddress& relay = options.relays[relayIndex % options.relays.size()];
    asio::error_code ec;
    const asio::ip::address_v4 address = asio::ip::make_address_v4(relay.host, ec);
    if (ec) return fail();
    arm(options.helloTimeout);
    socket.async_connect(tcp::endpoint(address, relay.port),
                         [self = shared_from_this(), id = connection](const asio::error_code& ec) {
                           self->connected(id, ec);
                         });
  }

  void connected(uint64_t id, const asio::error_code& ec) {
    if (gone() || id != connection) return;
    if (ec) return fail();
    asio::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    socket.set_option(asio::socket_base::keep_alive(true), ignored);
    Hello hello{kLinkVersion, options.conference, options.user, options.token, std::nullopt};
    if (session) hello.resume = Resume{*session, stats.lastOut, nextSeq};
    write(hello);
    read();
  }

  void read() {
    socket.async_read_some(asio::buffer(readBuffer), [self = shared_from_this(), id = connection](
                                                         const asio::error_code& ec, size_t n) {
      self->received(id, ec, n);
    });
  }

  void received(uint64_t id, const asio::error_code& ec, size_t n) {
    if (gone() || id != connection) return;
    if (ec) return phase == Phase::kLeaving ? finishLeaving() : fail();
    lastHeard = Clock::now();
    std::span<const uint8_t> input(readBuffer.data(), n);
    while (auto frame = decoder.next(input)) {
      if (!handle(*frame)) return fail();
      if (gone() || id != connection) return;
    }
    if (decoder.error() != FrameError::kNone) return fail();
    read();
  }

  // False for a frame that breaks the conversation: the connection is then
  // dropped and the link resumes elsewhere.
  bool handle(const Frame& frame) {
    const bool live = phase == Phase::kLive || phase == Phase::kLeaving;
    if (const auto* welcome = std::get_if<Welcome>(&frame)) {
      return phase == Phase::kJoining && welcomed(*welcome);
    }
    if (const auto* ack = std::get_if<UpAck>(&frame)) {
      return live && confirm(ack->seq, ack->queued);
    }
    if (const auto* down = std::get_if<Down>(&frame)) {
      if (!live) return false;
      ++stats.downs;
      // A replay after a resume: already applied.
      if (down->outId <= stats.lastOut) return true;
      for (const auto& message : down->messages) {
        if (destroyed) return true;
        if (events.deliver) events.deliver(message);
      }
      stats.lastOut = down->outId;
      return true;
    }
    if (const auto* ping = std::get_if<Ping>(&frame)) {
      write(Pong{ping->nonce});
      return true;
    }
    if (std::holds_alternative<Pong>(frame)) return true;
    if (const auto* reset = std::get_if<Reset>(&frame)) {
      end(LinkEnd::kReset, "reset by the relay, reason " + std::to_string(reset->reason));
      return true;
    }
    if (const auto* error = std::get_if<Error>(&frame)) {
      end(LinkEnd::kRefused, std::to_string(error->code) + " " + error->text);
      return true;
    }
    return false;  // a frame only a host sends
  }

  bool welcomed(const Welcome& welcome) {
    if (welcome.upThrough >= nextSeq) return false;  // seqs this link never sent
    session = welcome.session;
    backoff = options.firstBackoff;
    if (joinedOnce) ++stats.reconnects;
    joinedOnce = true;
    // What the relay already holds was appended before the last link died,
    // its UPACK perhaps lost with it. Still joining here, so that a message
    // the plug-in sends on its acknowledgement waits behind the resends.
    const uint64_t id = connection;
    if (!confirm(welcome.upThrough, false)) return false;
    if (gone() || id != connection) return true;
    for (Pending& pending : unconfirmed) writeUp(pending);
    phase = Phase::kLive;
    stats.up = true;
    lastPing = Clock::now();
    arm(std::min(options.idleBeforePing, options.silenceIsDead));
    if (events.state) events.state(true);
    return true;
  }

  // Everything through `seq` is in the relay's log. Every queued message
  // leaving the buffer gets its one acknowledgement, as does the one the
  // relay says it queued; a repeated UPACK finds nothing left to confirm.
  bool confirm(uint64_t seq, bool queuedAck) {
    if (seq >= nextSeq) return false;
    stats.confirmed = std::max(stats.confirmed, seq);
    static const std::vector<uint8_t> acknowledgement = build(Acknowledgement{});
    while (!unconfirmed.empty() && unconfirmed.front().seq <= seq) {
      const Pending pending = std::move(unconfirmed.front());
      unconfirmed.pop_front();
      stats.resendBytes -= pending.message.size();
      const bool wasQueued = isQueued(pending.message[0]) || (queuedAck && pending.seq == seq);
      if (wasQueued && !pending.acknowledged && !destroyed && events.deliver)
        events.deliver(acknowledgement);
    }
    acknowledgeEarly();
    return true;
  }

  // The board sends its next queued message only once the last one is
  // acknowledged. Waiting for the relay would cost a round trip per message
  // (a joiner's catch-up asks for every object so); while the unconfirmed
  // bytes stay within the window, the resend buffer vouches for them instead.
  void acknowledgeEarly() {
    static const std::vector<uint8_t> acknowledgement = build(Acknowledgement{});
    size_t bytes = 0, due = 0;
    for (Pending& pending : unconfirmed) {
      bytes += pending.message.size();
      if (bytes > options.ackWindowBytes) break;
      if (!isQueued(pending.message[0]) || pending.acknowledged) continue;
      pending.acknowledged = true;
      ++due;
    }
    // Outside the walk: the plug-in may send again from within deliver.
    for (; due > 0 && !gone(); --due) {
      if (events.deliver) events.deliver(acknowledgement);
    }
  }

  bool send(std::span<const uint8_t> message) {
    if (gone() || phase == Phase::kLeaving || message.empty() ||
        message.size() > kMaxBoardMessageBytes) {
      return false;
    }
    if (stats.resendBytes + message.size() > options.maxResendBytes) {
      end(LinkEnd::kOverflow, "resend buffer full");
      return false;
    }
    unconfirmed.push_back({nextSeq++, {message.begin(), message.end()}, false});
    stats.resendBytes += message.size();
    if (phase == Phase::kLive) writeUp(unconfirmed.back());
    // Never from inside send(): the board would re-enter its own sending.
    if (isQueued(message[0]) && options.ackWindowBytes > 0) {
      asio::post(io, [self = shared_from_this()] {
        if (!self->destroyed) self->acknowledgeEarly();
      });
    }
    return true;
  }

  void writeUp(Pending& pending) {
    ++(pending.written ? stats.resent : stats.sent);
    pending.written = true;
    write(Up{pending.seq, pending.message});
  }

  void write(const Frame& frame) {
    const std::vector<uint8_t> bytes = encode(frame);
    queued.insert(queued.end(), bytes.begin(), bytes.end());
    flush();
  }

  void flush() {
    if (writing || queued.empty()) return;
    writing = std::make_shared<std::vector<uint8_t>>(std::move(queued));
    queued.clear();
    asio::async_write(socket, asio::buffer(*writing),
                      [self = shared_from_this(), id = connection, bytes = writing](
                          const asio::error_code& ec, size_t) { self->written(id, ec); });
  }

  void written(uint64_t id, const asio::error_code& ec) {
    if (gone() || id != connection) return;
    if (ec) return phase == Phase::kLeaving ? finishLeaving() : fail();
    writing.reset();
    if (phase == Phase::kLeaving && queued.empty()) return finishLeaving();
    flush();
  }

  void leave() {
    if (gone() || phase == Phase::kLeaving) return;
    if (phase != Phase::kLive) return finishLeaving();
    phase = Phase::kLeaving;
    arm(options.helloTimeout);
    write(Bye{});
  }

  void finishLeaving() { end(LinkEnd::kLeft, "left"); }

  void arm(std::chrono::milliseconds after) {
    timer.expires_after(after);
    timer.async_wait([self = shared_from_this(), id = ++timerArm](const asio::error_code& ec) {
      if (!ec && !self->gone() && id == self->timerArm) self->timerFired();
    });
  }

  void timerFired() {
    const auto now = Clock::now();
    switch (phase) {
      case Phase::kJoining:
        return fail();  // no WELCOME in time
      case Phase::kWaiting:
        return connect();
      case Phase::kLeaving:
        return finishLeaving();
      case Phase::kLive: {
        if (now - lastHeard >= options.silenceIsDead) return fail();
        if (now - lastHeard >= options.idleBeforePing && now - lastPing >= options.idleBeforePing) {
          lastPing = now;
          write(Ping{++pingNonce});
        }
        const auto nextPing = std::max(lastHeard, lastPing) + options.idleBeforePing;
        const auto dead = lastHeard + options.silenceIsDead;
        const auto wait =
            std::chrono::ceil<std::chrono::milliseconds>(std::min(nextPing, dead) - now);
        return arm(std::max(wait, std::chrono::milliseconds{1}));
      }
      default:
        return;
    }
  }

  void closeSocket() {
    ++connection;
    asio::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
  }

  // The connection is lost or useless: wait, then resume on the next relay.
  void fail() {
    const bool wasUp = phase == Phase::kLive;
    closeSocket();
    phase = Phase::kWaiting;
    stats.up = false;
    ++relayIndex;
    const auto full = backoff.count();
    backoff = std::min(backoff * 2, options.lastBackoff);
    std::uniform_int_distribution<long long> jitter(full / 2, std::max<long long>(full, 0));
    arm(std::chrono::milliseconds{jitter(random)});
    if (wasUp && events.state) events.state(false);
  }

  // Once, whatever asked for it. The callback comes from a handler of its
  // own, never from inside the caller's send() or leave().
  void end(LinkEnd why, std::string text) {
    if (gone()) return;
    const bool wasUp = phase == Phase::kLive || phase == Phase::kLeaving;
    phase = Phase::kEnded;
    stats.up = false;
    closeSocket();
    ++timerArm;
    asio::error_code ignored;
    timer.cancel(ignored);
    asio::post(io, [self = shared_from_this(), why, wasUp, text = std::move(text)] {
      if (self->destroyed) return;
      if (wasUp && self->events.state) self->events.state(false);
      if (self->destroyed) return;
      if (self->events.ended) self->events.ended(why, text);
    });
  }

  // The events stay: destroy() may run inside one of them.
  void destroy() {
    destroyed = true;
    closeSocket();
    asio::error_code ignored;
    timer.cancel(ignored);
  }
};

struct RelayLink::Impl {
  std::shared_ptr<LinkCore> core;
};

RelayLink::RelayLink(asio::io_context& io, RelayLinkOptions options, Events events)
    : impl_(std::make_unique<Impl>(
          Impl{std::make_shared<LinkCore>(io, std::move(options), std::move(events))})) {}

RelayLink::~RelayLink() { impl_->core->destroy(); }

void RelayLink::start() { impl_->core->start(); }

bool RelayLink::send(std::span<const uint8_t> message) { return impl_->core->send(message); }

void RelayLink::leave() { impl_->core->leave(); }

void RelayLink::dropConnection() {
  LinkCore& core = *impl_->core;
  if (core.phase == LinkCore::Phase::kJoining || core.phase == LinkCore::Phase::kLive) core.fail();
}

RelayLink::Stats RelayLink::stats() const { return impl_->core->stats; }

}  // namespace scribly::net
