#include <cstdio>

#include "relayd/edge_impl.h"
#include "relayd/output_entry.h"

namespace scribly {

using namespace edge;

namespace {

constexpr size_t kMaxQueuedBytes = size_t{4} << 20;
// A session that fell behind reads on once its queue drained to this.
constexpr size_t kCatchUpBelowBytes = size_t{1} << 20;
constexpr size_t kRangeCount = 128;
constexpr int kReadBlockMs = 250;
constexpr uint8_t kResetTooLarge = 2;

}  // namespace

// Gives the session one output entry; false once that ended the session.
bool Edge::Impl::deliver(const SessionPtr& s, const EdgeEntry& e) {
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
void Edge::Impl::catchUp(const SessionPtr& s) {
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

void Edge::Impl::onRange(const SessionPtr& s, bool ok, const std::vector<EdgeEntry>& entries) {
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
void Edge::Impl::follow(const std::string& conference, net::OutId from) {
  {
    std::lock_guard lock(feedMutex);
    feed[conference] = from;
  }
  feedWake.notify_all();
  if (!reader.joinable()) reader = std::thread([this] { readFeed(); });
}

void Edge::Impl::readFeed() {
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

void Edge::Impl::onFeed(const std::map<std::string, std::vector<EdgeEntry>>& batch) {
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
}  // namespace scribly
