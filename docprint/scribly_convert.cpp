// scribly-convert STATUSFILE STOPFILE SECONDS PROGRAM ARGS...
#include <cstdio>

#include "docprint/converter_runner.h"

int main(int argc, char** argv) {
  scribly::RunnerRequest request;
  if (!scribly::parseRunnerArguments(argc, argv, request)) {
    std::fprintf(stderr, "usage: scribly-convert STATUSFILE STOPFILE SECONDS PROGRAM ARGS...\n");
    return 2;
  }
  return scribly::runConverter(request);
}
