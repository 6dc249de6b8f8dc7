// Asio comes first: it includes winsock2.h, which must precede windows.h.
#include "host/relay_links.h"

#include <asio.hpp>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace scribly {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kByeGrace = std::chrono::seconds(1);

}  // namespace

struct RelayLinks::Impl {
  asio::io_context io;
  asio::executor_work_guard<asio::io_context::executor_type> work = asio::make_work_guard(io);
  std::vector<std::unique_ptr<net::RelayLink>> links;
  std::vector<bool> started, ended;  // the links' thread only
  std::function<void()> wake;
  std::promise<void> stopped;
  std::thread thread;

  std::mutex mutex;  // guards what follows
  std::deque<Event> queue;
  Clock::time_point lastActivity = Clock::now();
  uint64_t sendsApplied = 0;
  bool idle = false;  // as of sendsApplied
  uint64_t idleAsOf = 0;

  uint64_t sendsPosted = 0;  // the host's thread only

  void push(Event event) {
    bool wasEmpty;
    {
      const std::lock_guard lock(mutex);
      wasEmpty = queue.empty();
      queue.push_back(std::move(event));
      lastActivity = Clock::now();
    }
    if (wasEmpty) wake();
  }

  // On the links' thread.
  void refresh() {
    bool all = true;
    for (size_t i = 0; i < links.size(); ++i) {
      // An ended link has nothing more to do; its end is queued.
      if (!started[i] || ended[i]) continue;
      const net::RelayLink::Stats s = links[i]->stats();
      all = all && s.up && s.resendBytes == 0;
    }
    const std::lock_guard lock(mutex);
    idle = all;
    idleAsOf = sendsApplied;
  }
};

RelayLinks::RelayLinks(std::vector<net::RelayLinkOptions> links, std::function<void()> wake)
    : impl_(std::make_unique<Impl>()) {
  Impl& m = *impl_;
  m.wake = std::move(wake);
  m.started.assign(links.size(), false);
  m.ended.assign(links.size(), false);
  for (size_t i = 0; i < links.size(); ++i) {
    net::RelayLink::Events events;
    events.deliver = [&m, i](std::span<const uint8_t> message) {
      m.push({i, std::vector<uint8_t>(message.begin(), message.end()), std::nullopt, {}});
    };
    events.ended = [&m, i](net::LinkEnd end, std::string_view why) {
      m.ended[i] = true;
      if (end != net::LinkEnd::kLeft) m.push({i, {}, end, std::string(why)});
    };
    m.links.push_back(std::make_unique<net::RelayLink>(m.io, std::move(links[i]), events));
  }
  m.thread = std::thread([&m] {
    m.io.run();
    m.stopped.set_value();
  });
}

RelayLinks::~RelayLinks() {
  Impl& m = *impl_;
  asio::post(m.io, [&m] {
    for (size_t i = 0; i < m.links.size(); ++i)
      if (m.started[i]) m.links[i]->leave();
  });
  m.work.reset();
  if (m.stopped.get_future().wait_for(kByeGrace) != std::future_status::ready) m.io.stop();
  m.thread.join();
}

void RelayLinks::start(size_t participant) {
  Impl& m = *impl_;
  if (participant >= m.links.size()) return;
  asio::post(m.io, [&m, participant] {
    if (m.started[participant]) return;
    m.started[participant] = true;
    m.links[participant]->start();
  });
}

void RelayLinks::send(size_t participant, std::span<const uint8_t> message) {
  Impl& m = *impl_;
  if (participant >= m.links.size()) return;
  ++m.sendsPosted;
  asio::post(m.io, [&m, participant, bytes = std::vector<uint8_t>(message.begin(), message.end())] {
    // A link that has ended refuses it; its end is already queued.
    m.links[participant]->send(bytes);
    const std::lock_guard lock(m.mutex);
    ++m.sendsApplied;
    m.lastActivity = Clock::now();
  });
}

std::optional<RelayLinks::Event> RelayLinks::next() {
  Impl& m = *impl_;
  const std::lock_guard lock(m.mutex);
  if (m.queue.empty()) return std::nullopt;
  Event event = std::move(m.queue.front());
  m.queue.pop_front();
  return event;
}

bool RelayLinks::settled(std::chrono::milliseconds quiet) {
  Impl& m = *impl_;
  asio::post(m.io, [&m] { m.refresh(); });
  const std::lock_guard lock(m.mutex);
  return m.idle && m.idleAsOf == m.sendsPosted && m.queue.empty() &&
         Clock::now() - m.lastActivity >= quiet;
}

}  // namespace scribly
