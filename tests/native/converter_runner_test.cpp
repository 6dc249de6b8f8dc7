#ifndef _WIN32
#include "docprint/converter_runner.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace scribly {
namespace {

std::string firstLine(const std::string& path) {
  std::ifstream in(path);
  std::string text;
  std::getline(in, text);
  return text;
}

// A process that has ended, even one no parent reaped yet, runs no more.
bool running(const std::string& pid) {
  const std::string stat = firstLine("/proc/" + pid + "/stat");
  const size_t state = stat.rfind(')');
  return state != std::string::npos && state + 2 < stat.size() && stat[state + 2] != 'Z';
}

class ConverterRunner : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/scribly-runner-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    request_.statusFile = folder_ + "/status";
    request_.stopFile = folder_ + "/stop";
    request_.seconds = 30;
  }
  void TearDown() override {
    for (const char* name : {"/status", "/stop", "/out"}) unlink((folder_ + name).c_str());
    rmdir(folder_.c_str());
  }

  std::string folder_;
  RunnerRequest request_;
};

TEST_F(ConverterRunner, PassesArgumentsUnreadByAShellAndReportsTheExitCode) {
  const std::string out = folder_ + "/out";
  request_.arguments = {"sh", "-c", "printf %s \"$1\" > \"$2\"; exit 3", "sh", "a b; $(false)",
                        out};
  EXPECT_EQ(runConverter(request_), 3);
  EXPECT_EQ(firstLine(request_.statusFile), "3");
  EXPECT_EQ(firstLine(out), "a b; $(false)");

  request_.arguments = {"scribly-no-such-converter", "x"};
  EXPECT_EQ(runConverter(request_), kRunnerCannotStart);
  EXPECT_EQ(firstLine(request_.statusFile), std::to_string(kRunnerCannotStart));
}

// The program starts one of its own (as soffice does); the stop file and the
// time limit end both.
TEST_F(ConverterRunner, StopFileAndTimeLimitEndTheProgramAndWhatItStarted) {
  const std::string pidFile = folder_ + "/out";
  request_.arguments = {"sh", "-c", "sleep 30 & echo $! > \"$1\"; wait", "sh", pidFile};
  std::thread stopper([&] {
    for (int i = 0; i < 3000 && firstLine(pidFile).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ofstream(request_.stopFile) << "";
  });
  EXPECT_EQ(runConverter(request_), kRunnerStopped);
  stopper.join();
  ASSERT_FALSE(firstLine(pidFile).empty());
  EXPECT_FALSE(running(firstLine(pidFile)));
  unlink(request_.stopFile.c_str());
  unlink(pidFile.c_str());

  request_.seconds = 1;
  EXPECT_EQ(runConverter(request_), kRunnerTimedOut);
  EXPECT_EQ(firstLine(request_.statusFile), std::to_string(kRunnerTimedOut));
  ASSERT_FALSE(firstLine(pidFile).empty());
  EXPECT_FALSE(running(firstLine(pidFile)));
}

TEST(ConverterRunnerArguments, MalformedCommandLinesAreRefused) {
  RunnerRequest request;
  const char* good[] = {"scribly-convert", "/s", "/t", "60", "pdftoppm", "-r", "96"};
  ASSERT_TRUE(parseRunnerArguments(7, good, request));
  EXPECT_EQ(request.seconds, 60u);
  EXPECT_EQ(request.arguments.size(), 3u);
  const char* noProgram[] = {"scribly-convert", "/s", "/t", "60"};
  EXPECT_FALSE(parseRunnerArguments(4, noProgram, request));
  const char* badSeconds[] = {"scribly-convert", "/s", "/t", "6x", "p"};
  EXPECT_FALSE(parseRunnerArguments(5, badSeconds, request));
}

}  // namespace
}  // namespace scribly
#endif
