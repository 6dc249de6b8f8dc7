#pragma once
// The skin engine's script interpreter: Lua 5.4 with what skin scripts need
// and nothing that reaches outside (no io, os, package, debug, coroutine, no
// file or binary-chunk loading, no finalizers, no say over the collector).
// Every entry runs protected: a script error is reported to the log and leaves
// the interpreter working. Memory is capped, each entry may execute a bounded
// number of instructions (what it allocates and collects counts too), and
// entries nest only so deep, so a looping or recursing script cannot hang the
// host.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct lua_State;

namespace scribly {

// The type code of an integer argument or result.
inline constexpr uint32_t kScriptInteger = 0x110;

struct ScriptArgument {
  uint32_t type = kScriptInteger;
  int32_t value = 0;
};

struct ScriptLimits {
  size_t memoryBytes = 32 * 1024 * 1024;
  uint64_t instructionsPerEntry = 20'000'000;
  size_t scriptFileBytes = 1024 * 1024;
  // Entries that may run inside one another (a script calls the engine,
  // which calls a script).
  int maxNesting = 8;
};

// Receives each error (with its traceback) and each line a script prints.
using ScriptLog = std::function<void(std::string_view)>;
// A native a script calls without arguments; what it returns reaches the
// script as an integer (objects travel as their addresses). Must not throw.
using ScriptNative = std::function<int64_t()>;

// A value passed between scripts and the engine's own functions: nil, an
// integer (booleans arrive as 0 and 1) or a text. Texts handed to a function
// live only for the call.
struct ScriptValue {
  enum class Kind { Nil, Integer, Text } kind = Kind::Nil;
  int64_t integer = 0;
  std::string text;
  static ScriptValue of(int64_t value) { return {Kind::Integer, value, {}}; }
  static ScriptValue of(std::string value) { return {Kind::Text, 0, std::move(value)}; }
};
// A function scripts call with arguments; it returns one value. Must not throw.
using ScriptFunction = std::function<ScriptValue(std::span<const ScriptValue>)>;

class ScriptInterpreter {
 public:
  explicit ScriptInterpreter(ScriptLog log = {}, ScriptLimits limits = {});
  ~ScriptInterpreter();
  ScriptInterpreter(const ScriptInterpreter&) = delete;
  ScriptInterpreter& operator=(const ScriptInterpreter&) = delete;

  // Each returns false when the script failed, was stopped or could not start;
  // the log has said why.
  bool loadScriptFile(const std::string& path);
  bool runSource(std::string_view source);
  // Calls the global function `name`; only integer arguments are accepted.
  bool callFunction(std::string_view name, std::span<const ScriptArgument> arguments);
  // A global function `name` calling `native`; only kScriptInteger results.
  bool registerNative(std::string_view name, uint32_t resultType, ScriptNative native);
  // `table.name` (or the global `name` when `table` is empty) calling
  // `function` with at most 16 arguments.
  bool registerFunction(std::string_view table, std::string_view name, ScriptFunction function);

  // Closes the scripts' world: globals and natives are gone, and the next
  // entry starts a fresh one. Refused while a script is running.
  bool finish();

  size_t memoryInUse() const;

  struct Guard;  // the allocator's and the instruction hook's bookkeeping

 private:
  bool ensureState();
  bool enter(int (*body)(lua_State*), void* request);

  ScriptLog log_;
  ScriptLimits limits_;
  std::unique_ptr<Guard> guard_;
  lua_State* state_ = nullptr;
  int depth_ = 0;
  std::vector<std::unique_ptr<ScriptNative>> natives_;
  std::vector<std::unique_ptr<ScriptFunction>> functions_;
};

}  // namespace scribly
