#include "collab/message_header.h"
#include "relayd/edge_impl.h"

namespace scribly {

using namespace edge;

namespace {

// The most appends sent to Redis in one round trip.
constexpr size_t kAppendBatch = 256;

void judge(const WriteResult& answer, Links& l, AppendDone& done) {
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

}  // namespace

void Edge::Impl::onUp(const SessionPtr& s, net::Up up) {
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
void Edge::Impl::writeAppends(size_t w, Links* l) {
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
    while (j < jobs.size() && j - i < kAppendBatch && jobs[j].conference == jobs[i].conference) ++j;
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

void Edge::Impl::onAppended(const SessionPtr& s, uint64_t seq, AppendOutcome outcome,
                            bool ownerMissing) {
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
}  // namespace scribly
