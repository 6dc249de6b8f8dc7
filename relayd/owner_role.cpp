#include "relayd/owner_role.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace scribly {
namespace {

using Clock = std::chrono::steady_clock;

// How long an owner waits for input before it looks at its lease again;
// also how long stopping it may take.
constexpr uint32_t kBlockMs = 250;
// After a claim that failed, or an owner that stopped, the next ensure for
// the conference waits this long: edges ask on every append that finds no
// owner.
constexpr auto kRetryAfter = std::chrono::milliseconds(500);
// Between two attempts to reach Redis again while holding the lease.
constexpr auto kReconnectAfter = std::chrono::milliseconds(200);

}  // namespace

struct OwnerRole::Impl {
  struct Worker {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> owning{false};
    std::atomic<bool> done{false};
    Clock::time_point ended;  // written before done
  };

  std::string host;
  int port;
  std::string node;
  OwnerOptions options;
  mutable std::mutex mutex;
  std::map<std::string, std::unique_ptr<Worker>> workers;

  void run(const std::string& conference, Worker& w);
};

// One owned conference: claim, take over, step until fenced or stopped.
// A broken link drops the state and takes over again on a new connection
// with the same lease; if the lease ran out meanwhile, the first renewal or
// emit says so.
void OwnerRole::Impl::run(const std::string& conference, Worker& w) {
  std::string token;
  while (!w.stop) {
    std::string error;
    auto redis = RedisConnection::open(host, port, &error);
    if (redis) {
      OwnerCore core(*redis, conference, node, options);
      if (token.empty()) {
        if (!core.claim()) break;
        token = core.token();
        w.owning = true;
        std::fprintf(stderr, "owner: %s: owning as %s\n", conference.c_str(), token.c_str());
      } else {
        core.adopt(token);
      }
      // Never blocked past the next renewal.
      const uint32_t block = std::max<uint32_t>(1, std::min(kBlockMs, options.renewMs / 2));
      OwnerCore::Status s = core.takeOver();
      while (s == OwnerCore::Status::Ok && !w.stop) s = core.step(block);
      if (s == OwnerCore::Status::Fenced) {
        std::fprintf(stderr, "owner: %s: another owner took over\n", conference.c_str());
        break;
      }
      if (s == OwnerCore::Status::Failed) {
        std::fprintf(stderr, "owner: %s: lost the log, taking over again\n", conference.c_str());
      }
    } else if (token.empty()) {
      break;
    }
    if (!w.stop) std::this_thread::sleep_for(kReconnectAfter);
  }
  w.owning = false;
  w.ended = Clock::now();
  w.done = true;
}

OwnerRole::OwnerRole(std::string redisHost, int redisPort, std::string node, OwnerOptions options)
    : impl_(std::make_unique<Impl>()) {
  impl_->host = std::move(redisHost);
  impl_->port = redisPort;
  impl_->node = std::move(node);
  impl_->options = std::move(options);
}

OwnerRole::~OwnerRole() {
  std::lock_guard lock(impl_->mutex);
  for (auto& [conference, w] : impl_->workers) w->stop = true;
  for (auto& [conference, w] : impl_->workers) w->thread.join();
}

void OwnerRole::ensure(const std::string& conference) {
  std::lock_guard lock(impl_->mutex);
  const auto now = Clock::now();
  // Workers that ended long enough ago go, so that the map stays the size
  // of what is owned and tried lately.
  std::erase_if(impl_->workers, [&](auto& e) {
    Impl::Worker& w = *e.second;
    if (!w.done || now - w.ended < kRetryAfter) return false;
    w.thread.join();
    return true;
  });
  if (impl_->workers.count(conference) != 0) return;
  auto worker = std::make_unique<Impl::Worker>();
  Impl::Worker* w = worker.get();
  impl_->workers.emplace(conference, std::move(worker));
  w->thread = std::thread([this, conference, w] { impl_->run(conference, *w); });
}

bool OwnerRole::owns(const std::string& conference) const {
  std::lock_guard lock(impl_->mutex);
  const auto it = impl_->workers.find(conference);
  return it != impl_->workers.end() && it->second->owning;
}

}  // namespace scribly
