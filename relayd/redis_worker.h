#pragma once
// The edge's Redis threads: each runs its jobs in the order they were posted,
// over a connection of its own that it opens again after a failure.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "relayd/conference_log.h"

namespace scribly::edge {

// How long a thread waits before it opens a failed connection again.
constexpr auto kReconnectAfter = std::chrono::milliseconds(500);

// The Redis connection of one edge thread, opened again after a failure.
struct Links {
  RedisConnection* redis = nullptr;
  bool broken = false;  // a call failed on the link: reopen before the next job
};

// Whether a failed call lost the link, rather than being refused by Redis.
bool brokenLink(const Failed& f);

class RedisWorker {
 public:
  using Job = std::function<void(Links*)>;  // null Links: Redis is unreachable
  RedisWorker(std::string host, int port);
  ~RedisWorker();
  RedisWorker(const RedisWorker&) = delete;
  RedisWorker& operator=(const RedisWorker&) = delete;

  void post(Job job);

 private:
  void run();

  std::string host_;
  int port_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace scribly::edge
