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
  std::string statusText() {
    std::ifstream in(request_.statusFile);
    std::string text;
    std::getline(in, text);
    return text;
  }
  double secondsToRun() {
    const auto t0 = std::chrono::steady_clock::now();
    status_ = runConverter(request_);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }

  std::string folder_;
  RunnerRequest request_;
  int status_ = -1;
};

TEST_F(ConverterRunner, PassesArgumentsUnreadByAShellAndReportsTheExitCode) {
  const std::string out = folder_ + "/out";
  request_.arguments = {"sh", "-c", "printf %s \"$1\" > \"$2\"; exit 3", "sh", "a b; $(false)",
                        out};
  secondsToRun();
  EXPECT_EQ(status_, 3);
  EXPECT_EQ(statusText(), "3");
  std::ifstream in(out);
  std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, "a b; $(false)");

  request_.arguments = {"scribly-no-such-converter", "x"};
  secondsToRun();
  EXPECT_EQ(status_, kRunnerCannotStart);
  EXPECT_EQ(statusText(), std::to_string(kRunnerCannotStart));
}

TEST_F(ConverterRunner, StopFileAndTimeLimitEndTheProgramPromptly) {
  request_.arguments = {"sleep", "30"};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::ofstream(request_.stopFile) << "";
  });
  EXPECT_LT(secondsToRun(), 5.0);
  stopper.join();
  EXPECT_EQ(status_, kRunnerStopped);
  unlink(request_.stopFile.c_str());

  request_.seconds = 1;
  EXPECT_LT(secondsToRun(), 5.0);
  EXPECT_EQ(status_, kRunnerTimedOut);
  EXPECT_EQ(statusText(), std::to_string(kRunnerTimedOut));
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
