#include "docprint/converter_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace scribly {

namespace {

using Clock = std::chrono::steady_clock;
// Short: the printer's report waits for the converter's end to be seen.
constexpr auto kPollInterval = std::chrono::milliseconds(5);
// How long a converter may take to end after SIGTERM before SIGKILL.
constexpr auto kTermGrace = std::chrono::seconds(2);

bool exists(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

void writeStatus(const std::string& path, int status) {
  const std::string temporary = path + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "w");
  if (!file) return;
  const bool written = std::fprintf(file, "%d\n", status) > 0;
  if (std::fclose(file) == 0 && written) std::rename(temporary.c_str(), path.c_str());
}

int exitStatus(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return kRunnerCannotStart;
}

// Ends the whole group (soffice starts a process of its own) and reaps the
// program.
void killGroup(pid_t child) {
  kill(-child, SIGTERM);
  const auto deadline = Clock::now() + kTermGrace;
  int waitStatus = 0;
  while (Clock::now() < deadline) {
    if (waitpid(child, &waitStatus, WNOHANG) == child) break;
    std::this_thread::sleep_for(kPollInterval);
  }
  kill(-child, SIGKILL);
  waitpid(child, &waitStatus, 0);
}

int run(const RunnerRequest& request) {
  if (request.arguments.empty()) return kRunnerCannotStart;
  std::vector<char*> argv;
  for (const std::string& argument : request.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) return kRunnerCannotStart;
  if (child == 0) {
    setpgid(0, 0);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    execvp(argv[0], argv.data());
    _exit(kRunnerCannotStart);
  }
  setpgid(child, child);
  const auto deadline = Clock::now() + std::chrono::seconds(request.seconds);
  for (;;) {
    int waitStatus = 0;
    if (waitpid(child, &waitStatus, WNOHANG) == child) {
      // Anything the program left running in its group goes with it.
      kill(-child, SIGKILL);
      return exitStatus(waitStatus);
    }
    // Wine starts us detached (no handle to wait on or kill), so the stop
    // file is how the printer ends a job early.
    if (exists(request.stopFile)) {
      killGroup(child);
      return kRunnerStopped;
    }
    if (Clock::now() >= deadline) {
      killGroup(child);
      return kRunnerTimedOut;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

}  // namespace

bool parseRunnerArguments(int argc, const char* const* argv, RunnerRequest& request) {
  if (argc < 5) return false;
  char* end = nullptr;
  const unsigned long seconds = std::strtoul(argv[3], &end, 10);
  if (*argv[3] == '\0' || *end != '\0' || seconds > 24 * 3600) return false;
  request.statusFile = argv[1];
  request.stopFile = argv[2];
  request.seconds = static_cast<unsigned>(seconds);
  request.arguments.assign(argv + 4, argv + argc);
  return !request.statusFile.empty();
}

int runConverter(const RunnerRequest& request) {
  const int status = run(request);
  writeStatus(request.statusFile, status);
  return status;
}

}  // namespace scribly
