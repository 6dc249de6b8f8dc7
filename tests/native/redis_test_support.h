#pragma once
// A redis-server of a test suite's own, on a free loopback port, started once
// per suite and stopped by its pid; and free ports for the relay's own tests.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <variant>

#include "relayd/conference_log.h"

namespace scribly {

// A free loopback port: the kernel picks one for a socket bound to port 0.
inline int freePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t len = sizeof a;
  auto* any = reinterpret_cast<sockaddr*>(&a);
  const bool ok = bind(s, any, len) == 0 && getsockname(s, any, &len) == 0;
  close(s);
  return ok ? ntohs(a.sin_port) : 0;
}

// Waits up to 5 s for `done`.
inline bool eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// The answer when it is a T, else a failure and an empty T.
template <class T, class Result>
T got(const Result& r) {
  EXPECT_TRUE(std::holds_alternative<T>(r)) << "answer " << r.index();
  return std::holds_alternative<T>(r) ? std::get<T>(r) : T{};
}

// One redis-server for the suite, on its own port, stopped by its pid.
class RedisTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    port_ = freePort();
    const std::string port = std::to_string(port_);
    const char* argv[] = {"redis-server", "--port",    port.c_str(), "--save",    "",
                          "--appendonly", "no",        "--bind",     "127.0.0.1", "--loglevel",
                          "warning",      "--logfile", "/dev/null",  nullptr};
    pid_ = port_ ? fork() : -1;
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // ends with this program, even one that crashed
      execvp(argv[0], const_cast<char**>(argv));
      _exit(127);
    }
    int status = 0;
    for (int i = 0; i < 100 && pid_ > 0; ++i) {
      std::string error;
      if (RedisConnection::open("127.0.0.1", port_, &error)) return;
      if (waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    absent_ = WIFEXITED(status) && WEXITSTATUS(status) == 127;
    TearDownTestSuite();
  }
  static void TearDownTestSuite() {
    if (pid_ > 0 && kill(pid_, SIGTERM) == 0) waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  void SetUp() override {
    if (absent_) GTEST_SKIP() << "redis-server is not installed (scripts/setup installs it)";
    ASSERT_GT(pid_, 0) << "redis-server did not start on port " << port_;
    std::string error;
    redis = RedisConnection::open("127.0.0.1", port_, &error);
    ASSERT_TRUE(redis) << error;
    ASSERT_TRUE(redis->call({"FLUSHALL"}).ok);
  }
  // A command's one answer, as text; "?" when it failed or answered more.
  std::string value(const std::vector<std::string_view>& command) {
    const auto v = redis->call(command);
    return v.ok && v.values.size() == 1 ? v.values[0] : "?";
  }

  static inline pid_t pid_ = -1;
  static inline int port_ = 0;
  static inline bool absent_ = false;
  std::unique_ptr<RedisConnection> redis;
};

}  // namespace scribly
