#include "relayd/redis_worker.h"

#include <cstdio>

namespace scribly::edge {

bool brokenLink(const Failed& f) {
  // Redis's own refusals start with an error word in capitals; the rest are
  // the link's.
  return f.error.empty() || !(f.error[0] >= 'A' && f.error[0] <= 'Z');
}

RedisWorker::RedisWorker(std::string host, int port) : host_(std::move(host)), port_(port) {
  thread_ = std::thread([this] { run(); });
}

RedisWorker::~RedisWorker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void RedisWorker::post(Job job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void RedisWorker::run() {
  using Clock = std::chrono::steady_clock;
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

}  // namespace scribly::edge
