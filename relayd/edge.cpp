#include "relayd/edge.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <asio.hpp>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <variant>

#include "collab/message_header.h"
#include "net/frame.h"
#include "relayd/edge_streams.h"
#include "relayd/output_entry.h"

namespace scribly {

namespace {

using Clock = std::chrono::steady_clock;
using asio::ip::tcp;

constexpr size_t kMaxInFlight = 64;
constexpr size_t kMaxQueuedBytes = size_t{4} << 20;
// A session that fell behind reads on once its queue drained to this.
constexpr size_t kCatchUpBelowBytes = size_t{1} << 20;
constexpr size_t kMaxLingerBytes = 64 * 1024;
constexpr size_t kRangeCount = 128;
constexpr size_t kReadBytes = 64 * 1024;
constexpr int kReadBlockMs = 250;
constexpr auto kTick = std::chrono::milliseconds(100);
constexpr auto kEnsureEvery = std::chrono::seconds(2);
constexpr auto kHeartbeatEvery = std::chrono::seconds(3);
constexpr const char* kHeartbeatTtlMs = "10000";
constexpr size_t kFirstSessionWorker = 2;  // before it: the heartbeat's, the owner checks'
constexpr auto kLeaveRetry = std::chrono::seconds(1);
constexpr int kLeaveTries = 60;
constexpr auto kReconnectAfter = std::chrono::milliseconds(500);
constexpr uint8_t kResetTooOld = 1;
constexpr uint8_t kResetTooLarge = 2;

std::string outKey(const std::string& conference) { return "conf:{" + conference + "}:out"; }
std::string joinsKey(const std::string& conference) { return "conf:{" + conference + "}:joins"; }

std::string sha256Hex(const net::SessionSecret& secret) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(secret.data(), secret.size(), digest, &length, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

// The Redis connection of one edge thread, opened again after a failure.
struct Links {
  RedisConnection* redis = nullptr;
  bool broken = false;  // a call failed on the link: reopen before the next job
};

// One thread that runs jobs in the order they were posted.
class RedisWorker {
 public:
  using Job = std::function<void(Links*)>;  // null Links: Redis is unreachable
  RedisWorker(std::string host, int port) : host_(std::move(host)), port_(port) {
    thread_ = std::thread([this] { run(); });
  }
  ~RedisWorker() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  void post(Job job) {
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
  }

 private:
  void run() {
    std::unique_ptr<RedisConnection> redis;
    Clock::time_point retryAt;
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
        if (stop_) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      if (!redis && Clock::now() >= retryAt) {
        std::string error;
        redis = RedisConnection::open(host_, port_, &error);
        if (!redis) {
          std::fprintf(stderr, "redis %s:%d: %s\n", host_.c_str(), port_, error.c_str());
          retryAt = Clock::now() + kReconnectAfter;
        }
      }
      Links links{redis.get()};
      job(redis ? &links : nullptr);
      if (links.broken) redis.reset();
    }
  }

  std::string host_;
  int port_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stop_ = false;
  std::thread thread_;
};

bool brokenLink(const Failed& f) {
  // Redis's own refusals start with an error word in capitals; the rest are
  // the link's.
  return f.error.empty() || !(f.error[0] >= 'A' && f.error[0] <= 'Z');
}

enum class Exit : uint8_t {
  kQuiet,  // no leave: fenced, refused before joining, or the node stops
  kGrace,  // the link was lost: leave unless it resumes in time
  kNow,    // BYE or a session that cannot go on
};

struct Session {
  explicit Session(tcp::socket s) : socket(std::move(s)) {}
  enum class State : uint8_t { kHello, kJoining, kLive, kClosed };

  tcp::socket socket;
  uint64_t id = 0;
  State state = State::kHello;
  Clock::time_point started, lastReceived, lastSent, lastPing;

  net::FrameDecoder decoder;
  std::vector<uint8_t> in = std::vector<uint8_t>(kReadBytes);
  size_t inPos = 0;
  size_t inEnd = 0;
  bool reading = false;
  std::vector<uint8_t> pending;  // frames not yet handed to the socket
  std::vector<uint8_t> writing;  // frames the socket is writing
  bool closing = false;          // close once the last frames are written

  std::string conference;
  uint32_t user = 0;
  uint64_t epoch = 0;  // nonzero once joined
  size_t worker = 0;
  size_t inFlight = 0;
  std::deque<bool> queuedFlags;  // of the appends in flight, oldest first

  net::OutId pos;          // the last output entry this session was given
  net::OutId joinSource;   // no output of earlier input entries reaches it
  bool following = false;  // takes entries from the conference's shared read
  bool ranging = false;    // an XRANGE of its own is under way
  int emptyRanges = 0;

  size_t queued() const { return pending.size() + writing.size(); }
};
using SessionPtr = std::shared_ptr<Session>;

struct Conference {
  std::set<SessionPtr> sessions;
  net::OutId feedPos;       // the shared read's position
  bool dispatched = false;  // feedPos is an entry the shared read handed out
  Clock::time_point ensuredAt;
  bool ensuring = false;  // an ensureOwner call is under way
};

struct PendingLeave {
  std::string conference;
  uint32_t user;
  uint64_t epoch;
  int tries = 0;
};

struct JoinOutcome {
  enum Kind : uint8_t { kJoined, kNoSession, kFull, kUnavailable, kReset } kind = kUnavailable;
  Joined joined;
  net::OutId start;       // where its output begins (exclusive)
  net::OutId joinSource;  // no output of earlier input entries
  net::OutId feedStart;   // the log's last id before the join
};

enum class AppendOutcome : uint8_t { kAck, kFenced, kGap, kFailed };

struct AppendJob {
  SessionPtr s;
  std::string conference;
  uint32_t user = 0;
  uint64_t epoch = 0;
  uint64_t seq = 0;
  std::vector<uint8_t> message;
};
struct AppendQueue {
  std::mutex mutex;
  std::vector<AppendJob> jobs;
  bool posted = false;  // a batch job is on its way to the worker
};
struct AppendDone {
  SessionPtr s;
  uint64_t seq = 0;
  AppendOutcome outcome = AppendOutcome::kFailed;
  bool ownerMissing = false;
};
// The most appends sent to Redis in one round trip.
constexpr size_t kAppendBatch = 256;

}  // namespace

struct Edge::Impl : std::enable_shared_from_this<Impl> {
  Impl(asio::io_context& io, EdgeOptions options, const TokenVerifier& tokens,
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
  ~Impl() {
    {
      std::lock_guard lock(feedMutex);
      feedStop = true;
    }
    feedWake.notify_all();
    if (reader.joinable()) reader.join();
    workers.clear();
  }

  // ---- accepting and the periodic checks ----

  void accept() {
    acceptor.async_accept([self = shared_from_this()](std::error_code ec, tcp::socket socket) {
      if (ec == asio::error::operation_aborted || !self->acceptor.is_open()) return;
      if (!ec) self->admit(std::move(socket));
      self->accept();
    });
  }

  void admit(tcp::socket socket) {
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

  void tick() {
    ticker.expires_after(kTick);
    ticker.async_wait([self = shared_from_this()](std::error_code ec) {
      if (!ec && !self->stopped) self->onTick();
    });
  }

  void onTick() {
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
  void requestEnsure(const std::string& name, Conference& c) {
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

  // ---- reading and writing ----

  void startRead(const SessionPtr& s) {
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
  void processInput(const SessionPtr& s) {
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

  void handle(const SessionPtr& s, net::Frame frame) {
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
  bool send(const SessionPtr& s, const net::Frame& frame) {
    if (s->state == Session::State::kClosed && !s->closing) return true;
    const std::vector<uint8_t> bytes = net::encode(frame);
    if (bytes.empty()) return false;
    s->pending.insert(s->pending.end(), bytes.begin(), bytes.end());
    flush(s);
    return true;
  }

  void flush(const SessionPtr& s) {
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

  void shut(const SessionPtr& s) {
    s->closing = false;
    std::error_code ec;
    s->socket.shutdown(tcp::socket::shutdown_both, ec);
    s->socket.close(ec);
  }

  // ---- ending sessions ----

  void fail(const SessionPtr& s, uint16_t code, const std::string& why, Exit exit) {
    send(s, net::Error{code, why});
    close(s, exit);
  }

  void close(const SessionPtr& s, Exit exit) {
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
  void leave(const std::string& conference, uint32_t user, uint64_t epoch, int tries = 0) {
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

  size_t workerIndex(const std::string& conference) const {
    return kFirstSessionWorker +
           std::hash<std::string>{}(conference) % (workers.size() - kFirstSessionWorker);
  }
  RedisWorker& workerFor(const std::string& conference) {
    return *workers[workerIndex(conference)];
  }

  // ---- joining ----

  void onHello(const SessionPtr& s, net::Hello hello) {
    if (hello.version != kRelayWireVersion) {
      return fail(s, kErrorVersion, "unsupported version", Exit::kQuiet);
    }
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch());
    const TokenVerdict verdict =
        tokens.check(hello.token, hello.conference, hello.user, static_cast<uint64_t>(now.count()));
    if (verdict != TokenVerdict::kValid)
      return fail(s, kErrorToken, describe(verdict), Exit::kQuiet);
    s->state = Session::State::kJoining;
    s->conference = hello.conference;
    s->user = hello.user;
    net::SessionSecret secret{};
    if (hello.resume) {
      secret = hello.resume->session;
    } else if (RAND_bytes(secret.data(), static_cast<int>(secret.size())) != 1) {
      return fail(s, kErrorUnavailable, "no randomness", Exit::kQuiet);
    }
    auto self = shared_from_this();
    workerFor(s->conference)
        .post([self, s, secret, resume = hello.resume, conference = s->conference, user = s->user,
               node = options.node, limits = options.log](Links* l) {
          JoinOutcome o =
              l ? join(*l, conference, user, node, secret, resume, limits) : JoinOutcome{};
          asio::post(self->io, [self, s, secret, o, resumed = resume.has_value()] {
            self->onJoined(s, secret, o, resumed);
          });
        });
  }

  // Runs on a worker: the join, and where the session's output starts.
  static JoinOutcome join(Links& l, const std::string& conference, uint32_t user,
                          const std::string& node, const net::SessionSecret& secret,
                          const std::optional<net::Resume>& resume,
                          const ConferenceLogLimits& limits) {
    JoinOutcome o;
    // Taken before the join: every entry answering an input after the join
    // comes later in the output log.
    const auto out = streamState(*l.redis, outKey(conference));
    if (!out) {
      l.broken = true;
      return o;
    }
    o.feedStart = out->last;
    ConferenceLog log(*l.redis, conference, limits);
    const JoinResult r = log.join(user, node, sha256Hex(secret), resume.has_value());
    if (const auto* f = std::get_if<Failed>(&r)) {
      l.broken = brokenLink(*f);
      return o;
    }
    if (std::holds_alternative<Refused>(r)) {
      o.kind = resume ? JoinOutcome::kNoSession : JoinOutcome::kFull;
      return o;
    }
    o.joined = std::get<Joined>(r);
    const std::string field = std::to_string(user);
    if (!resume) {
      // Where this session's output starts, so that a resume before its first
      // delivery does not reach back before the join.
      o.start = out->last;
      o.joinSource = parseOutId(o.joined.id).value_or(net::OutId{});
      const std::string joinPoint = formatOutId(o.start) + " " + o.joined.id;
      if (!l.redis->call({"HSET", joinsKey(conference), field, joinPoint}).ok) {
        l.broken = true;
        return o;
      }
      o.kind = JoinOutcome::kJoined;
      return o;
    }
    o.start = resume->lastOut;
    const auto stored = l.redis->call({"HGET", joinsKey(conference), field});
    if (stored.ok && stored.values.size() == 1) {
      const std::string& v = stored.values[0];
      const size_t space = v.find(' ');
      const auto start = parseOutId(v.substr(0, space));
      const auto source = parseOutId(v.substr(space == std::string::npos ? v.size() : space + 1));
      if (start && source) {
        o.start = std::max(o.start, *start);
        o.joinSource = *source;
      }
    }
    o.kind = out->lostEntries && o.start < out->first ? JoinOutcome::kReset : JoinOutcome::kJoined;
    return o;
  }

  void onJoined(const SessionPtr& s, const net::SessionSecret& secret, const JoinOutcome& o,
                bool resumed) {
    if (s->state != Session::State::kJoining) {
      // The link died while joining: the session exists in the log now.
      if (o.kind == JoinOutcome::kJoined || o.kind == JoinOutcome::kReset) {
        leaves.insert({Clock::now() + options.grace, {s->conference, s->user, o.joined.epoch}});
      }
      return;
    }
    s->epoch = o.joined.epoch;
    switch (o.kind) {
      case JoinOutcome::kNoSession:
        return fail(s, kErrorNoSession, "no such session", Exit::kQuiet);
      case JoinOutcome::kFull:
        return fail(s, kErrorFull, "conference full", Exit::kQuiet);
      case JoinOutcome::kUnavailable:
        // A join that went through, but not its last step, is undone. Redis
        // being away refuses nobody: no ERROR, which would end the host's
        // link for good; the dropped connection makes it try again.
        if (s->epoch != 0) s->state = Session::State::kLive;
        return close(s, Exit::kNow);
      case JoinOutcome::kReset:
        // The host starts afresh; this session ends for good.
        s->state = Session::State::kLive;
        send(s, net::Reset{kResetTooOld});
        return close(s, Exit::kNow);
      case JoinOutcome::kJoined:
        break;
    }
    s->state = Session::State::kLive;
    s->pos = o.start;
    s->joinSource = o.joinSource;
    send(s, net::Welcome{secret, static_cast<uint32_t>(o.joined.epoch), o.joined.lastSeq,
                         resumed ? net::WelcomeMode::kResumed : net::WelcomeMode::kFresh});
    auto [it, created] = conferences.try_emplace(s->conference);
    it->second.sessions.insert(s);
    if (created) {
      // The first session here: its joins and range requests want an owner
      // before any append could find none.
      it->second.feedPos = o.feedStart;
      requestEnsure(it->first, it->second);
      follow(s->conference, o.feedStart);
    }
    catchUp(s);
    processInput(s);
  }

  // ---- appending ----

  void onUp(const SessionPtr& s, net::Up up) {
    ++s->inFlight;
    s->queuedFlags.push_back(isQueued(up.message[0]));
    const size_t w = workerIndex(s->conference);
    AppendQueue& q = *appendQueues[w];
    bool post = false;
    {
      std::lock_guard lock(q.mutex);
      q.jobs.push_back({s, s->conference, s->user, s->epoch, up.seq, std::move(up.message)});
      post = !q.posted;
      q.posted = true;
    }
    if (post) {
      workers[w]->post([self = shared_from_this(), w](Links* l) { self->writeAppends(w, l); });
    }
  }

  // On the worker: every append that waits, in order, one round trip for
  // each run of one conference's. Redis still takes them one by one.
  void writeAppends(size_t w, Links* l) {
    std::vector<AppendJob> jobs;
    {
      AppendQueue& q = *appendQueues[w];
      std::lock_guard lock(q.mutex);
      jobs.swap(q.jobs);
      q.posted = false;
    }
    auto results = std::make_shared<std::vector<AppendDone>>();
    for (size_t i = 0; i < jobs.size();) {
      size_t j = i;
      while (j < jobs.size() && j - i < kAppendBatch && jobs[j].conference == jobs[i].conference)
        ++j;
      std::vector<WriteResult> answers;
      if (l) {
        std::vector<LogWrite> writes;
        for (size_t k = i; k < j; ++k)
          writes.push_back({jobs[k].user, jobs[k].epoch, jobs[k].seq, jobs[k].message});
        ConferenceLog log(*l->redis, jobs[i].conference, options.log);
        answers = log.writeAll(writes);
      }
      for (size_t k = i; k < j; ++k) {
        AppendDone done{jobs[k].s, jobs[k].seq, AppendOutcome::kFailed, false};
        if (l) judge(answers[k - i], *l, done);
        results->push_back(std::move(done));
      }
      i = j;
    }
    asio::post(io, [self = shared_from_this(), results] {
      for (const AppendDone& d : *results) self->onAppended(d.s, d.seq, d.outcome, d.ownerMissing);
    });
  }

  static void judge(const WriteResult& answer, Links& l, AppendDone& done) {
    std::visit(
        [&](const auto& r) {
          std::visit(
              [&](const auto& v) {
                using V = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<V, Fenced>) done.outcome = AppendOutcome::kFenced;
                if constexpr (std::is_same_v<V, Gap>) done.outcome = AppendOutcome::kGap;
                // A range request past the allowance still took its seq.
                if constexpr (std::is_same_v<V, Dup> || std::is_same_v<V, Granted> ||
                              std::is_same_v<V, NoRange>) {
                  done.outcome = AppendOutcome::kAck;
                }
                if constexpr (std::is_same_v<V, Appended>) {
                  done.outcome = AppendOutcome::kAck;
                  done.ownerMissing = !v.ownerExists;
                }
                if constexpr (std::is_same_v<V, Failed>) l.broken = l.broken || brokenLink(v);
              },
              r);
        },
        answer);
  }

  void onAppended(const SessionPtr& s, uint64_t seq, AppendOutcome outcome, bool ownerMissing) {
    --s->inFlight;
    const bool queued = s->queuedFlags.front();
    s->queuedFlags.pop_front();
    if (ownerMissing) {
      auto c = conferences.find(s->conference);
      if (c != conferences.end()) requestEnsure(c->first, c->second);
    }
    if (s->state != Session::State::kLive) return;
    switch (outcome) {
      case AppendOutcome::kAck:
        send(s, net::UpAck{seq, queued});
        return processInput(s);
      case AppendOutcome::kFenced:  // a newer session of the user took over
        return close(s, Exit::kQuiet);
      case AppendOutcome::kGap:
        return fail(s, kErrorProtocol, "seq skipped", Exit::kGrace);
      case AppendOutcome::kFailed:  // unacknowledged: the host resends after a resume
        return close(s, Exit::kGrace);
    }
  }

  // ---- fan-out ----

  // Gives the session one output entry; false once that ended the session.
  bool deliver(const SessionPtr& s, const EdgeEntry& e) {
    if (e.id <= s->pos) return true;
    s->pos = e.id;
    if (e.source < s->joinSource) return true;  // its own join's answer (a refusal) counts
    std::vector<Delivery> deliveries;
    if (!decodeDeliveries(e.d, deliveries)) {
      std::fprintf(stderr, "%s: output entry %s is damaged\n", s->conference.c_str(),
                   formatOutId(e.id).c_str());
      return true;
    }
    net::Down down{e.id, {}};
    for (Delivery& d : deliveries) {
      if (d.from == kRefusalSender) {
        if (d.to != s->user) continue;
        const std::string why(d.message.begin(), d.message.end());
        fail(s, kErrorRefused, why.substr(0, net::kMaxErrorTextBytes), Exit::kNow);
        return false;
      }
      if (d.to == s->user || (d.to == 0 && d.from != s->user)) {
        down.messages.push_back(std::move(d.message));
      }
    }
    if (down.messages.empty()) return true;
    if (!send(s, down)) {
      // More than one frame holds: the host cannot have this entry, so it
      // starts afresh rather than miss it.
      std::fprintf(stderr, "%s: output entry %s is too large for user %u\n", s->conference.c_str(),
                   formatOutId(e.id).c_str(), s->user);
      send(s, net::Reset{kResetTooLarge});
      close(s, Exit::kNow);
      return false;
    }
    if (s->following && s->queued() > kMaxQueuedBytes) s->following = false;
    return true;
  }

  // Reads the session's own way from its position until it meets the shared read.
  void catchUp(const SessionPtr& s) {
    if (s->following || s->ranging || s->state != Session::State::kLive ||
        s->queued() > kCatchUpBelowBytes) {
      return;
    }
    s->ranging = true;
    auto self = shared_from_this();
    workerFor(s->conference).post([self, s, key = outKey(s->conference), pos = s->pos](Links* l) {
      auto entries = std::make_shared<std::vector<EdgeEntry>>();
      const bool ok = l && readRange(*l->redis, key, pos, kRangeCount, *entries);
      if (l && !ok) l->broken = true;
      asio::post(self->io, [self, s, ok, entries] { self->onRange(s, ok, *entries); });
    });
  }

  void onRange(const SessionPtr& s, bool ok, const std::vector<EdgeEntry>& entries) {
    s->ranging = false;
    if (s->state != Session::State::kLive) return;
    if (!ok) return close(s, Exit::kGrace);
    size_t taken = 0;  // the rest is read again once the queue drained
    for (; taken < entries.size() && s->queued() <= kMaxQueuedBytes; ++taken) {
      if (!deliver(s, entries[taken])) return;
    }
    const auto found = conferences.find(s->conference);
    if (found == conferences.end()) return;
    const Conference& c = found->second;
    s->emptyRanges = entries.empty() ? s->emptyRanges + 1 : 0;
    // An empty answer below the shared position means entries came after the
    // range was read; a few such rounds, and the rest were trimmed meanwhile.
    if (taken == entries.size() && entries.size() < kRangeCount &&
        (!c.dispatched || s->pos >= c.feedPos || s->emptyRanges > 3)) {
      s->following = s->queued() <= kMaxQueuedBytes;
    }
    catchUp(s);
  }

  // The shared read: one XREAD over every conference with sessions here.
  void follow(const std::string& conference, net::OutId from) {
    {
      std::lock_guard lock(feedMutex);
      feed[conference] = from;
    }
    feedWake.notify_all();
    if (!reader.joinable()) reader = std::thread([this] { readFeed(); });
  }

  void readFeed() {
    std::unique_ptr<RedisConnection> client;
    for (;;) {
      std::vector<std::string> names, keys;
      std::vector<net::OutId> from;
      {
        std::unique_lock lock(feedMutex);
        feedWake.wait(lock, [&] { return feedStop || (!feed.empty() && !batchOut); });
        if (feedStop) return;
        for (auto& [name, pos] : feed) {
          names.push_back(name);
          keys.push_back(outKey(name));
          from.push_back(pos);
        }
      }
      std::string error = "the reply was broken";
      if (!client) client = RedisConnection::open(options.redisHost, options.redisPort, &error);
      std::vector<std::vector<EdgeEntry>> got;
      if (!client || !readStreams(*client, keys, from, kRangeCount, kReadBlockMs, got)) {
        std::fprintf(stderr, "reading the output: %s\n", error.c_str());
        client.reset();
        std::unique_lock lock(feedMutex);
        feedWake.wait_for(lock, kReconnectAfter, [&] { return feedStop; });
        continue;
      }
      auto batch = std::make_shared<std::map<std::string, std::vector<EdgeEntry>>>();
      {
        std::lock_guard lock(feedMutex);
        for (size_t i = 0; i < names.size(); ++i) {
          auto it = feed.find(names[i]);
          if (got[i].empty() || it == feed.end() || it->second != from[i]) continue;
          it->second = got[i].back().id;
          (*batch)[names[i]] = std::move(got[i]);
        }
        batchOut = !batch->empty();
      }
      if (batchOut) {
        asio::post(io, [self = shared_from_this(), batch] { self->onFeed(*batch); });
      }
    }
  }

  void onFeed(const std::map<std::string, std::vector<EdgeEntry>>& batch) {
    for (const auto& [name, entries] : batch) {
      auto c = conferences.find(name);
      if (c == conferences.end()) continue;
      c->second.feedPos = std::max(c->second.feedPos, entries.back().id);
      c->second.dispatched = true;
      const std::vector<SessionPtr> local(c->second.sessions.begin(), c->second.sessions.end());
      for (const SessionPtr& s : local) {
        if (!s->following) continue;
        for (const EdgeEntry& e : entries) {
          if (!deliver(s, e) || !s->following) break;
        }
      }
    }
    {
      std::lock_guard lock(feedMutex);
      batchOut = false;
    }
    feedWake.notify_all();
  }

  asio::io_context& io;
  EdgeOptions options;
  const TokenVerifier& tokens;
  std::function<void(const std::string&)> ensureOwner;
  tcp::acceptor acceptor;
  asio::steady_timer ticker;
  bool stopped = false;
  // [0] the heartbeat, [1] owner checks (which may take a while), then sessions.
  std::vector<std::unique_ptr<RedisWorker>> workers;
  // Appends wait here, one queue per worker, for the worker's next batch.
  std::vector<std::unique_ptr<AppendQueue>> appendQueues;

  std::map<uint64_t, SessionPtr> sessions;
  std::map<std::string, Conference> conferences;
  std::multimap<Clock::time_point, PendingLeave> leaves;
  uint64_t lastSessionId = 0;
  uint64_t pingNonce = 0;
  Clock::time_point heartbeatAt;

  std::mutex feedMutex;
  std::condition_variable feedWake;
  std::map<std::string, net::OutId> feed;  // conference -> shared read position
  bool batchOut = false;                   // a read waits for the io thread
  bool feedStop = false;
  std::thread reader;
};

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
