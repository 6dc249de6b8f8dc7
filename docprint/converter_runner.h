#pragma once
// Runs one converter program for docprint.dll where the system cannot wait
// for it or kill it (a Linux program started by Wine): scribly-convert
// STATUSFILE STOPFILE SECONDS PROGRAM ARGS... POSIX only.
#include <string>
#include <vector>

namespace scribly {

// Status codes besides the program's own exit code.
inline constexpr int kRunnerTimedOut = 124;
inline constexpr int kRunnerStopped = 125;
inline constexpr int kRunnerCannotStart = 127;

struct RunnerRequest {
  std::string statusFile;
  std::string stopFile;
  unsigned seconds = 0;
  // The program (looked up on PATH) and its arguments, passed one by one.
  std::vector<std::string> arguments;
};

// Parsed from a runner's command line; false when it is malformed.
bool parseRunnerArguments(int argc, const char* const* argv, RunnerRequest& request);

// Starts the program in a process group of its own, with no shell, and waits
// until it exits, the time runs out or the stop file appears; the group is
// then killed. The status (the exit code, 128 + a signal, or one of the codes
// above) is written to the status file whole (a temporary file renamed) and
// returned.
int runConverter(const RunnerRequest& request);

}  // namespace scribly
