#include "uiengine/script_interpreter.h"

#include <cstdlib>
#include <lua.hpp>

#include "base/file_bytes.h"
#include "base/xml_document.h"

// Lua is built as C: an error unwinds with longjmp. So every function below
// that Lua calls, or that runs inside a protected call, keeps only trivially
// destructible values in its frame, and C++ code calls into Lua only through
// ScriptInterpreter::enter.

namespace scribly {

struct ScriptInterpreter::Guard {
  size_t used = 0;
  size_t cap = 0;
  uint64_t executed = 0;
  uint64_t budget = 0;
  lua_State* state = nullptr;  // once made
  const ScriptLog* log = nullptr;
  // The last result of a ScriptFunction, kept here so the Lua-side frame that
  // pushes it holds nothing with a destructor.
  ScriptValue result;
};

namespace {

using Guard = ScriptInterpreter::Guard;

constexpr int kHookInterval = 1000;
constexpr size_t kMaxArguments = 16;
constexpr size_t kMaxNatives = 256;
// The collector's work is invisible to the instruction count, so it is
// charged in instructions: one per this many bytes a script allocates, and
// for every full collection one per this many bytes in use. Churning through
// memory under the cap, or collecting in a loop, ends like any other loop.
constexpr size_t kAllocatedBytesPerInstruction = 64;
constexpr size_t kCollectedBytesPerInstruction = 16;

Guard* guardOf(lua_State* L) { return *static_cast<Guard**>(lua_getextraspace(L)); }

void countHook(lua_State* L, lua_Debug*);

// Adds work done outside the instruction count; past the budget the next
// instruction stops the script (setting a hook is safe at any moment).
void charge(Guard* guard, uint64_t instructions) {
  guard->executed += instructions;
  if (guard->executed > guard->budget && guard->state)
    lua_sethook(guard->state, countHook, LUA_MASKCOUNT, 1);
}

void chargeCollection(Guard* guard) { charge(guard, guard->used / kCollectedBytesPerInstruction); }

void emitLog(const Guard* guard, const char* text, size_t length) noexcept {
  try {
    if (guard->log && *guard->log) (*guard->log)(std::string_view(text, length));
  } catch (...) {
  }
}

void* limitedAlloc(void* ud, void* block, size_t oldSize, size_t newSize) {
  Guard* guard = static_cast<Guard*>(ud);
  const size_t had = block ? oldSize : 0;
  if (newSize == 0) {
    std::free(block);
    guard->used -= had;
    return nullptr;
  }
  // Lua relies on shrinking never failing, so only growth is refused; Lua
  // answers a refusal with a full collection.
  if (newSize > had && newSize - had > guard->cap - guard->used) {
    chargeCollection(guard);
    return nullptr;
  }
  void* grown = std::realloc(block, newSize);
  if (!grown) return nullptr;
  if (newSize > had) charge(guard, (newSize - had) / kAllocatedBytesPerInstruction);
  guard->used = guard->used - had + newSize;
  return grown;
}

int stopScript(lua_State* L) {
  // From now on every instruction fails, so a script's own pcall cannot
  // swallow the stop and loop on.
  lua_sethook(L, countHook, LUA_MASKCOUNT, 1);
  return luaL_error(L, "script stopped after %I instructions",
                    static_cast<lua_Integer>(guardOf(L)->budget));
}

void countHook(lua_State* L, lua_Debug*) {
  Guard* guard = guardOf(L);
  guard->executed += kHookInterval;
  if (guard->executed > guard->budget) stopScript(L);
}

// collectgarbage without the options that change the collector's mode or
// pace: those could make every allocation a full collection. "step" collects
// fully, as "collect" does.
int scriptCollectGarbage(lua_State* L) {
  static const char* const kOptions[] = {"collect", "step", "count", "isrunning", nullptr};
  const int option = luaL_checkoption(L, 1, "collect", kOptions);
  switch (option) {
    case 2:
      lua_pushnumber(L, lua_gc(L, LUA_GCCOUNT, 0) + lua_gc(L, LUA_GCCOUNTB, 0) / 1024.0);
      return 1;
    case 3:
      lua_pushboolean(L, 1);
      return 1;
    default: {
      Guard* guard = guardOf(L);
      chargeCollection(guard);
      if (guard->executed > guard->budget) return stopScript(L);
      lua_gc(L, LUA_GCCOLLECT, 0);
      if (option == 1)
        lua_pushboolean(L, 1);  // a cycle has ended
      else
        lua_pushinteger(L, 0);
      return 1;
    }
  }
}

// setmetatable without finalizers: Lua runs a "__gc" function with every
// hook switched off, so a looping one could never be stopped.
int scriptSetMetatable(lua_State* L) {
  const int type = lua_type(L, 2);
  luaL_checktype(L, 1, LUA_TTABLE);
  luaL_argexpected(L, type == LUA_TNIL || type == LUA_TTABLE, 2, "nil or table");
  if (luaL_getmetafield(L, 1, "__metatable") != LUA_TNIL)
    return luaL_error(L, "cannot change a protected metatable");
  if (type == LUA_TTABLE) {
    lua_pushliteral(L, "__gc");
    if (lua_rawget(L, 2) != LUA_TNIL) return luaL_error(L, "finalizers (__gc) are not available");
    lua_pop(L, 1);
  }
  lua_settop(L, 2);
  lua_setmetatable(L, 1);
  return 1;
}

int traceback(lua_State* L) {
  const char* message = lua_tostring(L, 1);
  if (!message) {
    if (luaL_callmeta(L, 1, "__tostring") && lua_type(L, -1) == LUA_TSTRING) return 1;
    message = lua_pushfstring(L, "(error object is a %s value)", luaL_typename(L, 1));
  }
  luaL_traceback(L, L, message, 1);
  return 1;
}

// print writes to the engine's log.
int scriptPrint(lua_State* L) {
  const int count = lua_gettop(L);
  luaL_Buffer line;
  luaL_buffinit(L, &line);
  for (int i = 1; i <= count; ++i) {
    if (i > 1) luaL_addchar(&line, '\t');
    luaL_tolstring(L, i, nullptr);
    luaL_addvalue(&line);
  }
  luaL_pushresult(&line);
  size_t length = 0;
  const char* text = lua_tolstring(L, -1, &length);
  emitLog(guardOf(L), text, length);
  return 0;
}

int openWorld(lua_State* L) {
  static const luaL_Reg kLibraries[] = {
      {LUA_GNAME, luaopen_base},       {LUA_STRLIBNAME, luaopen_string},
      {LUA_TABLIBNAME, luaopen_table}, {LUA_MATHLIBNAME, luaopen_math},
      {LUA_UTF8LIBNAME, luaopen_utf8},
  };
  for (const luaL_Reg& library : kLibraries) {
    luaL_requiref(L, library.name, library.func, 1);
    lua_pop(L, 1);
  }
  lua_pushglobaltable(L);
  // Files and binary chunks stay out of reach; a binary chunk can crash Lua.
  for (const char* name : {"dofile", "loadfile", "load"}) {
    lua_pushnil(L);
    lua_setfield(L, -2, name);
  }
  lua_pushcfunction(L, scriptPrint);
  lua_setfield(L, -2, "print");
  lua_pushcfunction(L, scriptCollectGarbage);
  lua_setfield(L, -2, "collectgarbage");
  lua_pushcfunction(L, scriptSetMetatable);
  lua_setfield(L, -2, "setmetatable");
  return 0;
}

struct ChunkRequest {
  const char* text;
  size_t length;
  const char* chunkName;
};

int runChunk(lua_State* L) {
  const auto* request = static_cast<const ChunkRequest*>(lua_touserdata(L, 1));
  if (luaL_loadbufferx(L, request->text, request->length, request->chunkName, "t") != LUA_OK)
    return lua_error(L);
  lua_call(L, 0, 0);
  return 0;
}

struct CallRequest {
  const char* name;
  size_t nameLength;
  const ScriptArgument* arguments;
  size_t count;
};

int callGlobal(lua_State* L) {
  const auto* request = static_cast<const CallRequest*>(lua_touserdata(L, 1));
  lua_pushglobaltable(L);
  const char* name = lua_pushlstring(L, request->name, request->nameLength);
  if (lua_gettable(L, -2) != LUA_TFUNCTION) return luaL_error(L, "no script function '%s'", name);
  for (size_t i = 0; i < request->count; ++i) lua_pushinteger(L, request->arguments[i].value);
  lua_call(L, static_cast<int>(request->count), 0);
  return 0;
}

bool callNative(const ScriptNative& native, int64_t* result) noexcept {
  try {
    *result = native();
    return true;
  } catch (...) {
    return false;
  }
}

int nativeTrampoline(lua_State* L) {
  const auto* native = static_cast<const ScriptNative*>(lua_touserdata(L, lua_upvalueindex(1)));
  int64_t result = 0;
  if (!callNative(*native, &result)) return luaL_error(L, "native function failed");
  lua_pushinteger(L, result);
  return 1;
}

// Outside any frame a Lua error can cross: builds the arguments, calls, and
// leaves the result in the guard. False when the function threw.
bool callFunctionNative(const ScriptFunction& function, lua_State* L, int count,
                        Guard* guard) noexcept {
  try {
    std::vector<ScriptValue> arguments(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      ScriptValue& value = arguments[static_cast<size_t>(i)];
      switch (lua_type(L, i + 1)) {
        case LUA_TBOOLEAN:
          value = ScriptValue::of(lua_toboolean(L, i + 1) ? 1 : 0);
          break;
        case LUA_TNUMBER:
          value = ScriptValue::of(static_cast<int64_t>(lua_tointeger(L, i + 1)));
          break;
        case LUA_TSTRING: {
          size_t length = 0;
          const char* text = lua_tolstring(L, i + 1, &length);
          value = ScriptValue::of(std::string(text, length));
          break;
        }
        default:
          break;
      }
    }
    guard->result = function(arguments);
    return true;
  } catch (...) {
    return false;
  }
}

int functionTrampoline(lua_State* L) {
  const auto* function = static_cast<const ScriptFunction*>(lua_touserdata(L, lua_upvalueindex(1)));
  const int count = lua_gettop(L);
  if (count > static_cast<int>(kMaxArguments)) return luaL_error(L, "too many arguments");
  Guard* guard = guardOf(L);
  if (!callFunctionNative(*function, L, count, guard))
    return luaL_error(L, "engine function failed");
  switch (guard->result.kind) {
    case ScriptValue::Kind::Integer:
      lua_pushinteger(L, guard->result.integer);
      break;
    case ScriptValue::Kind::Text:
      lua_pushlstring(L, guard->result.text.data(), guard->result.text.size());
      break;
    case ScriptValue::Kind::Nil:
      lua_pushnil(L);
      break;
  }
  return 1;
}

struct FunctionRequest {
  std::string_view table;
  std::string_view name;
  ScriptFunction* function;
};

int registerTableFunction(lua_State* L) {
  const auto* request = static_cast<const FunctionRequest*>(lua_touserdata(L, 1));
  lua_pushglobaltable(L);
  if (!request->table.empty()) {
    lua_pushlstring(L, request->table.data(), request->table.size());
    if (lua_rawget(L, -2) != LUA_TTABLE) {
      lua_pop(L, 1);
      lua_newtable(L);
      lua_pushlstring(L, request->table.data(), request->table.size());
      lua_pushvalue(L, -2);
      lua_rawset(L, -4);
    }
  }
  lua_pushlstring(L, request->name.data(), request->name.size());
  lua_pushlightuserdata(L, request->function);
  lua_pushcclosure(L, functionTrampoline, 1);
  lua_rawset(L, -3);
  return 0;
}

struct NativeRequest {
  const char* name;
  size_t nameLength;
  ScriptNative* native;
};

int registerGlobal(lua_State* L) {
  const auto* request = static_cast<const NativeRequest*>(lua_touserdata(L, 1));
  lua_pushglobaltable(L);
  lua_pushlstring(L, request->name, request->nameLength);
  lua_pushlightuserdata(L, request->native);
  lua_pushcclosure(L, nativeTrampoline, 1);
  // Raw, so a script's metatable on the globals cannot intercept it.
  lua_rawset(L, -3);
  return 0;
}

}  // namespace

ScriptInterpreter::ScriptInterpreter(ScriptLog log, ScriptLimits limits)
    : log_(std::move(log)), limits_(limits), guard_(std::make_unique<Guard>()) {
  guard_->cap = limits_.memoryBytes;
  guard_->budget = limits_.instructionsPerEntry;
  guard_->log = &log_;
}

ScriptInterpreter::~ScriptInterpreter() {
  if (state_) lua_close(state_);
}

bool ScriptInterpreter::ensureState() {
  if (state_) return true;
  state_ = lua_newstate(limitedAlloc, guard_.get());
  if (!state_) {
    const std::string_view message = "scripts cannot start: not enough memory";
    emitLog(guard_.get(), message.data(), message.size());
    return false;
  }
  *static_cast<Guard**>(lua_getextraspace(state_)) = guard_.get();
  guard_->state = state_;
  if (!enter(openWorld, nullptr)) {
    guard_->state = nullptr;
    lua_close(state_);
    state_ = nullptr;
    return false;
  }
  return true;
}

bool ScriptInterpreter::enter(int (*body)(lua_State*), void* request) {
  if (!state_ && !ensureState()) return false;
  lua_State* L = state_;
  // A script whose call into the engine runs scripts again (a command that
  // raises an event whose handler gives the command again) stops here.
  if (depth_ >= limits_.maxNesting) {
    const std::string_view message = "scripts nested too deep: the inner call is refused";
    emitLog(guard_.get(), message.data(), message.size());
    return false;
  }
  if (!lua_checkstack(L, 3)) return false;
  if (depth_ == 0) {
    guard_->executed = 0;
    lua_sethook(L, countHook, LUA_MASKCOUNT, kHookInterval);
  }
  ++depth_;
  const int top = lua_gettop(L);
  lua_pushcfunction(L, traceback);
  lua_pushcfunction(L, body);
  lua_pushlightuserdata(L, request);
  const int status = lua_pcall(L, 1, 0, top + 1);
  --depth_;
  if (status != LUA_OK) {
    size_t length = 0;
    const char* message = lua_type(L, -1) == LUA_TSTRING ? lua_tolstring(L, -1, &length) : nullptr;
    const std::string_view text = message ? std::string_view(message, length) : "script error";
    emitLog(guard_.get(), text.data(), text.size());
  }
  lua_settop(L, top);
  return status == LUA_OK;
}

bool ScriptInterpreter::loadScriptFile(const std::string& path) {
  FileReadResult file = readFileBytes(path, limits_.scriptFileBytes);
  if (!file.ok()) {
    const std::string message = "cannot read script file " + path;
    emitLog(guard_.get(), message.data(), message.size());
    return false;
  }
  std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
  const std::string_view bom(reinterpret_cast<const char*>(kUtf8Bom), sizeof kUtf8Bom);
  if (text.substr(0, bom.size()) == bom) text.remove_prefix(bom.size());
  const std::string chunkName = "@" + path;
  ChunkRequest request{text.data(), text.size(), chunkName.c_str()};
  return enter(runChunk, &request);
}

bool ScriptInterpreter::runSource(std::string_view source) {
  ChunkRequest request{source.data(), source.size(), "=skin script"};
  return enter(runChunk, &request);
}

bool ScriptInterpreter::callFunction(std::string_view name,
                                     std::span<const ScriptArgument> arguments) {
  bool supported = arguments.size() <= kMaxArguments;
  for (const ScriptArgument& argument : arguments) supported &= argument.type == kScriptInteger;
  if (!supported) {
    const std::string message = "call of " + std::string(name) + ": unsupported arguments";
    emitLog(guard_.get(), message.data(), message.size());
    return false;
  }
  CallRequest request{name.data(), name.size(), arguments.data(), arguments.size()};
  return enter(callGlobal, &request);
}

bool ScriptInterpreter::registerNative(std::string_view name, uint32_t resultType,
                                       ScriptNative native) {
  if (resultType != kScriptInteger || !native || natives_.size() >= kMaxNatives) return false;
  // Kept until finish(): a script may hold the function after it is replaced.
  natives_.push_back(std::make_unique<ScriptNative>(std::move(native)));
  NativeRequest request{name.data(), name.size(), natives_.back().get()};
  return enter(registerGlobal, &request);
}

bool ScriptInterpreter::registerFunction(std::string_view table, std::string_view name,
                                         ScriptFunction function) {
  if (!function || functions_.size() >= kMaxNatives) return false;
  functions_.push_back(std::make_unique<ScriptFunction>(std::move(function)));
  FunctionRequest request{table, name, functions_.back().get()};
  return enter(registerTableFunction, &request);
}

bool ScriptInterpreter::finish() {
  if (depth_ > 0) return false;
  guard_->state = nullptr;
  if (state_) lua_close(state_);
  state_ = nullptr;
  natives_.clear();
  functions_.clear();
  return true;
}

size_t ScriptInterpreter::memoryInUse() const { return guard_->used; }

}  // namespace scribly
