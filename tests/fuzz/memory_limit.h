#pragma once
// The picture budget of the fuzzed boards. libFuzzer reads its flags after
// LLVMFuzzerInitialize: an allocation of four budgets is a finding, whatever
// limit the run was given.
#include <cstddef>
#include <vector>

inline constexpr size_t kBudget = size_t{8} << 20;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static std::vector<char*> args(*argv, *argv + *argc);
  static char limit[] = "-malloc_limit_mb=32";
  args.push_back(limit);
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size() - 1);
  *argv = args.data();
  return 0;
}
