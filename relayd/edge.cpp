#include "relayd/edge.h"

#include <cstdio>

#include "relayd/edge_impl.h"

namespace scribly {

using namespace edge;

namespace {

constexpr size_t kMaxInFlight = 64;
constexpr size_t kMaxLingerBytes = 64 * 1024;
constexpr auto kTick = std::chrono::milliseconds(100);
constexpr auto kEnsureEvery = std::chrono::seconds(2);
constexpr auto kHeartbeatEvery = std::chrono::seconds(3);
constexpr const char* kHeartbeatTtlMs = "10000";
constexpr size_t kFirstSessionWorker = 2;  // before it: the heartbeat's, the owner checks'
constexpr auto kLeaveRetry = std::chrono::seconds(1);
constexpr int kLeaveTries = 60;

}  // namespace

Edge::Impl::Impl(asio::io_context& io, EdgeOptions options, const TokenVerifier& tokens,
                 std::function<void(const std::string&)> ensureOwner)
    : io(io),
      options(std::move(options)),
      tokens(tokens),
      ensureOwner(std::move(ensureOwner)),
      acceptor(io),
      ticker(io) {
  const size_t threads = std::max<size_t>(1, this->options.redisThreads);
  for (size_t i = 0; i < kFirstSessionWorker + threads; ++i) {
    workers.push_back(
        std::make_unique<RedisWorker>(this->options.redisHost, this->options.redisPort));
    appendQueues.push_back(std::make_unique<AppendQueue>());
  }
}

Edge::Impl::~Impl() {
  {
    std::lock_guard lock(feedMutex);
    feedStop = true;
  }
  feedWake.notify_all();
  if (reader.joinable()) reader.join();
  workers.clear();
}

void Edge::Impl::accept() {
  acceptor.async_accept([self = shared_from_this()](std::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !self->acceptor.is_open()) return;
    if (!ec) self->admit(std::move(socket));
    self->accept();
  });
}

void Edge::Impl::admit(tcp::socket socket) {
  std::error_code ec;
  socket.set_option(tcp::no_delay(true), ec);
  socket.set_option(asio::socket_base::keep_alive(true), ec);
  auto s = std::make_shared<Session>(std::move(socket));
  s->id = ++lastSessionId;
  s->started = s->lastReceived = s->lastSent = s->lastPing = Clock::now();
  if (sessions.size() >= options.maxSessions) {
    return fail(s, kErrorFull, "node full", Exit::kQuiet);
  }
  sessions[s->id] = s;
  startRead(s);
}

void Edge::Impl::tick() {
  ticker.expires_after(kTick);
  ticker.async_wait([self = shared_from_this()](std::error_code ec) {
    if (!ec && !self->stopped) self->onTick();
  });
}

void Edge::Impl::onTick() {
  const auto now = Clock::now();
  std::vector<SessionPtr> all;
  for (auto& [id, s] : sessions) all.push_back(s);
  for (const SessionPtr& s : all) {
    if (s->state != Session::State::kLive) {
      if (now - s->started > options.helloTimeout) close(s, Exit::kQuiet);
    } else if (now - s->lastReceived > options.silenceIsDead) {
      close(s, Exit::kGrace);
    } else if (now - s->lastSent >= options.idleBeforePing ||
               (now - s->lastReceived >= options.idleBeforePing &&
                now - s->lastPing >= options.idleBeforePing)) {
      s->lastPing = now;
      send(s, net::Ping{++pingNonce});
    }
  }
  while (!leaves.empty() && leaves.begin()->first <= now) {
    const PendingLeave l = leaves.begin()->second;
    leaves.erase(leaves.begin());
    leave(l.conference, l.user, l.epoch, l.tries);
  }
  for (auto& [name, c] : conferences) {
    if (now - c.ensuredAt >= kEnsureEvery) requestEnsure(name, c);
  }
  if (now - heartbeatAt >= kHeartbeatEvery) {
    heartbeatAt = now;
    workers[0]->post([key = "node:" + options.node](Links* l) {
      if (l && !l->redis->call({"SET", key, "alive", "PX", kHeartbeatTtlMs}).ok) l->broken = true;
    });
  }
  tick();
}

// One call at a time per conference, however many appends find no owner.
void Edge::Impl::requestEnsure(const std::string& name, Conference& c) {
  c.ensuredAt = Clock::now();
  if (!ensureOwner || c.ensuring) return;
  c.ensuring = true;
  workers[1]->post([self = shared_from_this(), name](Links*) {
    self->ensureOwner(name);
    asio::post(self->io, [self, name] {
      auto c = self->conferences.find(name);
      if (c != self->conferences.end()) c->second.ensuring = false;
    });
  });
}

void Edge::Impl::startRead(const SessionPtr& s) {
  if (s->reading || s->state == Session::State::kClosed) return;
  s->reading = true;
  s->socket.async_read_some(asio::buffer(s->in),
                            [self = shared_from_this(), s](std::error_code ec, size_t n) {
                              s->reading = false;
                              if (s->state == Session::State::kClosed) return;
                              if (ec) return self->close(s, Exit::kGrace);
                              s->lastReceived = Clock::now();
                              s->inPos = 0;
                              s->inEnd = n;
                              self->processInput(s);
                            });
}

// Decodes and handles frames until the buffer is used up, then reads on;
// stops early while a join is under way or the session has its fill of
// appends in flight (the host then waits on TCP).
void Edge::Impl::processInput(const SessionPtr& s) {
  using State = Session::State;
  while (s->state == State::kHello || (s->state == State::kLive && s->inFlight < kMaxInFlight)) {
    std::span<const uint8_t> rest(s->in.data() + s->inPos, s->inEnd - s->inPos);
    auto frame = s->decoder.next(rest);
    s->inPos = s->inEnd - rest.size();
    if (!frame) {
      if (s->decoder.error() != net::FrameError::kNone) {
        return fail(s, kErrorProtocol, "unreadable frame", Exit::kGrace);
      }
      return startRead(s);
    }
    handle(s, std::move(*frame));
  }
}

void Edge::Impl::handle(const SessionPtr& s, net::Frame frame) {
  if (s->state == Session::State::kHello) {
    if (auto* hello = std::get_if<net::Hello>(&frame)) return onHello(s, std::move(*hello));
    return fail(s, kErrorProtocol, "HELLO first", Exit::kQuiet);
  }
  if (auto* up = std::get_if<net::Up>(&frame)) return onUp(s, std::move(*up));
  if (auto* ping = std::get_if<net::Ping>(&frame)) {
    send(s, net::Pong{ping->nonce});
    return;
  }
  if (std::holds_alternative<net::Pong>(frame)) return;
  if (std::holds_alternative<net::Bye>(frame)) return close(s, Exit::kNow);
  fail(s, kErrorProtocol, "unexpected frame", Exit::kGrace);
}

// False when the frame breaks the wire's bounds and was not sent.
bool Edge::Impl::send(const SessionPtr& s, const net::Frame& frame) {
  if (s->state == Session::State::kClosed && !s->closing) return true;
  const std::vector<uint8_t> bytes = net::encode(frame);
  if (bytes.empty()) return false;
  s->pending.insert(s->pending.end(), bytes.begin(), bytes.end());
  flush(s);
  return true;
}

void Edge::Impl::flush(const SessionPtr& s) {
  if (!s->writing.empty()) return;
  if (s->pending.empty()) {
    if (s->closing) shut(s);
    return;
  }
  s->writing.swap(s->pending);
  s->lastSent = Clock::now();
  asio::async_write(s->socket, asio::buffer(s->writing),
                    [self = shared_from_this(), s](std::error_code ec, size_t) {
                      s->writing.clear();
                      if (ec) {
                        s->pending.clear();
                        if (s->closing) return self->shut(s);
                        return self->close(s, Exit::kGrace);
                      }
                      self->flush(s);
                      if (!s->following) self->catchUp(s);
                    });
}

void Edge::Impl::shut(const SessionPtr& s) {
  s->closing = false;
  std::error_code ec;
  s->socket.shutdown(tcp::socket::shutdown_both, ec);
  s->socket.close(ec);
}

void Edge::Impl::fail(const SessionPtr& s, uint16_t code, const std::string& why, Exit exit) {
  send(s, net::Error{code, why});
  close(s, exit);
}

void Edge::Impl::close(const SessionPtr& s, Exit exit) {
  if (s->state == Session::State::kClosed) return;
  const bool joined = s->state == Session::State::kLive;
  s->state = Session::State::kClosed;
  sessions.erase(s->id);
  s->closing = true;
  // The last ERROR or RESET goes out first, unless a backlog shows the
  // host is not reading: then waiting would only hold the socket open.
  if (s->queued() > kMaxLingerBytes) {
    shut(s);
  } else {
    flush(s);
  }
  if (joined) {
    auto c = conferences.find(s->conference);
    if (c != conferences.end()) {
      c->second.sessions.erase(s);
      if (c->second.sessions.empty()) {
        conferences.erase(c);
        std::lock_guard lock(feedMutex);
        feed.erase(s->conference);
      }
    }
  }
  if (!joined || exit == Exit::kQuiet) return;
  if (exit == Exit::kNow) return leave(s->conference, s->user, s->epoch);
  leaves.insert({Clock::now() + options.grace, {s->conference, s->user, s->epoch}});
}

// A leave whose epoch moved on (the host resumed) is fenced, as it should
// be. One that Redis did not take is tried again for a while: a user left
// in the session table would stay in the conference.
void Edge::Impl::leave(const std::string& conference, uint32_t user, uint64_t epoch, int tries) {
  workerFor(conference)
      .post([self = shared_from_this(), conference, user, epoch, tries,
             limits = options.log](Links* l) {
        LeaveResult r = Failed{"redis unreachable"};
        if (l) r = ConferenceLog(*l->redis, conference, limits).leave(user, epoch);
        if (const auto* f = std::get_if<Failed>(&r); f && l) l->broken = brokenLink(*f);
        if (std::holds_alternative<Written>(r) || std::holds_alternative<Fenced>(r)) return;
        if (tries + 1 >= kLeaveTries) {
          std::fprintf(stderr, "%s: user %u could not leave\n", conference.c_str(), user);
          return;
        }
        asio::post(self->io, [self, conference, user, epoch, tries] {
          self->leaves.insert({Clock::now() + kLeaveRetry, {conference, user, epoch, tries + 1}});
        });
      });
}

size_t Edge::Impl::workerIndex(const std::string& conference) const {
  return kFirstSessionWorker +
         std::hash<std::string>{}(conference) % (workers.size() - kFirstSessionWorker);
}

RedisWorker& Edge::Impl::workerFor(const std::string& conference) {
  return *workers[workerIndex(conference)];
}

Edge::Edge(asio::io_context& io, EdgeOptions options, const TokenVerifier& tokens,
           std::function<void(const std::string&)> ensureOwner)
    : impl_(std::make_shared<Impl>(io, std::move(options), tokens, std::move(ensureOwner))) {}

Edge::~Edge() {
  // Handlers still queued on the io_context hold the Impl; its threads must
  // end now, whoever lets go of it last.
  {
    std::lock_guard lock(impl_->feedMutex);
    impl_->feedStop = true;
  }
  impl_->feedWake.notify_all();
  if (impl_->reader.joinable()) impl_->reader.join();
  impl_->workers.clear();
}

uint16_t Edge::listen(const std::string& address, uint16_t port, std::string* error) {
  std::error_code ec;
  const auto ip = asio::ip::make_address(address, ec);
  tcp::endpoint endpoint(ip, port);
  if (!ec) impl_->acceptor.open(endpoint.protocol(), ec);
  if (!ec) impl_->acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) impl_->acceptor.bind(endpoint, ec);
  if (!ec) impl_->acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    *error = ec.message();
    return 0;
  }
  impl_->accept();
  impl_->tick();
  return impl_->acceptor.local_endpoint(ec).port();
}

void Edge::stop() {
  Impl& impl = *impl_;
  impl.stopped = true;
  std::error_code ec;
  impl.acceptor.close(ec);
  impl.ticker.cancel();
  std::vector<SessionPtr> all;
  for (auto& [id, s] : impl.sessions) all.push_back(s);
  for (const SessionPtr& s : all) impl.close(s, Exit::kQuiet);
  for (const SessionPtr& s : all) impl.shut(s);
}

}  // namespace scribly
