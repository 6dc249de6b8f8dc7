#include <openssl/evp.h>
#include <openssl/rand.h>

#include "relayd/edge_impl.h"

namespace scribly {

using namespace edge;

namespace {

constexpr uint8_t kResetTooOld = 1;

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

// Runs on a worker: the join, and where the session's output starts.
JoinOutcome join(Links& l, const std::string& conference, uint32_t user, const std::string& node,
                 const net::SessionSecret& secret, const std::optional<net::Resume>& resume,
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

}  // namespace

void Edge::Impl::onHello(const SessionPtr& s, net::Hello hello) {
  if (hello.version != kRelayWireVersion) {
    return fail(s, kErrorVersion, "unsupported version", Exit::kQuiet);
  }
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch());
  const TokenVerdict verdict =
      tokens.check(hello.token, hello.conference, hello.user, static_cast<uint64_t>(now.count()));
  if (verdict != TokenVerdict::kValid) return fail(s, kErrorToken, describe(verdict), Exit::kQuiet);
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

void Edge::Impl::onJoined(const SessionPtr& s, const net::SessionSecret& secret,
                          const JoinOutcome& o, bool resumed) {
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
}  // namespace scribly
