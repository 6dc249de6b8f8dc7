// The skins' script interpreter: errors, runaway scripts and memory stay in
// the script, which reaches nothing outside; the engine's own functions take
// typed arguments, give results back, and one that fails leaves it working.
#include "uiengine/script_interpreter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace scribly {
namespace {

class ScriptInterpreterTest : public testing::Test {
 protected:
  ScriptInterpreter& make(ScriptLimits limits = {}) {
    scripts_.emplace([this](std::string_view line) { log_.emplace_back(line); }, limits);
    return *scripts_;
  }
  bool logged(std::string_view part) const {
    for (const std::string& line : log_)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  std::vector<std::string> log_;
  std::optional<ScriptInterpreter> scripts_;
};

TEST_F(ScriptInterpreterTest, ErrorsAreLoggedTheInterpreterGoesOnAndReachesNothingOutside) {
  ScriptInterpreter& s = make();
  EXPECT_FALSE(s.runSource("function broken() error('boom') end broken()"));
  EXPECT_TRUE(logged("boom"));
  EXPECT_TRUE(logged("traceback"));
  EXPECT_FALSE(s.runSource("this is not lua"));
  EXPECT_FALSE(s.callFunction("nowhere", {}));
  EXPECT_TRUE(logged("no script function 'nowhere'"));
  EXPECT_FALSE(s.runSource("error(setmetatable({}, {__tostring = function() error('x') end}))"));

  ASSERT_TRUE(s.runSource("function onmenucmd(low, high) print('menu', low, high) end"));
  const ScriptArgument arguments[] = {{kScriptInteger, 3}, {kScriptInteger, -4}};
  EXPECT_TRUE(s.callFunction("onmenucmd", arguments));
  EXPECT_EQ(log_.back(), "menu\t3\t-4");
  const ScriptArgument text[] = {{0x120, 0}};
  EXPECT_FALSE(s.callFunction("onmenucmd", text));

  // Scripts reach nothing outside.
  EXPECT_TRUE(
      s.runSource("print(io, os, package, debug, coroutine, require, dofile, loadfile, load)"));
  EXPECT_EQ(log_.back(), "nil\tnil\tnil\tnil\tnil\tnil\tnil\tnil\tnil");
  EXPECT_TRUE(s.runSource(
      "print(string.upper('a'), table.concat({1, 2}, ','), math.max(1, 2), utf8.char(72))"));
  EXPECT_EQ(log_.back(), "A\t1,2\t2\tH");
  // Precompiled chunks can break the interpreter's memory safety.
  EXPECT_FALSE(s.runSource("\x1bLua\x54"));
}

TEST_F(ScriptInterpreterTest, RunawayScriptsAreStoppedEvenInsidePcallOrTheCollector) {
  ScriptInterpreter& s = make({.instructionsPerEntry = 200'000});
  EXPECT_FALSE(s.runSource("while true do end"));
  EXPECT_TRUE(logged("script stopped"));
  ASSERT_TRUE(
      s.runSource("function spin() while true do pcall(function() while true do end end) end end"));
  EXPECT_FALSE(s.callFunction("spin", {}));
  EXPECT_FALSE(s.runSource("local function f() return f() + 1 end f()"));  // stack overflow
  // The budget is per entry: a modest script afterwards runs to its end.
  EXPECT_TRUE(s.runSource("local n = 0 for i = 1, 10000 do n = n + i end print(n)"));
  EXPECT_EQ(log_.back(), "50005000");

  // The collector's work escapes the instruction count: a finalizer runs with
  // hooks off, and collecting or churning memory costs time, not instructions.
  EXPECT_FALSE(s.runSource(
      "setmetatable({}, {__gc = function() for i = 1, 3e7 do end end}) collectgarbage()"));
  for (const char* option : {"stop", "generational", "incremental", "setpause", "setstepmul"})
    EXPECT_FALSE(s.runSource(std::string("collectgarbage('") + option + "', 0, 1000)")) << option;
  EXPECT_FALSE(
      s.runSource("local t = {} for i = 1, 2e4 do t[i] = {} end for i = 1, 1000 do "
                  "collectgarbage('step') end"));
  EXPECT_FALSE(s.runSource("for i = 1, 1000 do local s = ('x'):rep(1 << 20) end"));
  EXPECT_TRUE(s.runSource("collectgarbage() print(collectgarbage('count') > 0)"));
  EXPECT_EQ(log_.back(), "true");
}

TEST_F(ScriptInterpreterTest, MemoryIsCapped) {
  constexpr size_t kCap = 2 * 1024 * 1024;
  ScriptInterpreter& s = make({.memoryBytes = kCap});
  EXPECT_FALSE(s.runSource("local t = {} for i = 1, 1e7 do t[i] = ('x'):rep(64) .. i end"));
  EXPECT_FALSE(s.runSource("local s = ('x'):rep(1 << 40)"));
  EXPECT_LE(s.memoryInUse(), kCap);
  EXPECT_TRUE(s.runSource("collectgarbage() print('alive')"));
  EXPECT_EQ(log_.back(), "alive");
}

TEST_F(ScriptInterpreterTest, NativesHandObjectsToScripts) {
  ScriptInterpreter& s = make();
  int64_t current = 0x7FF612345678;
  ASSERT_TRUE(s.registerNative("GetCurObj", kScriptInteger, [&] { return current; }));
  ASSERT_TRUE(s.registerNative("Throws", kScriptInteger,
                               []() -> int64_t { throw std::runtime_error("no"); }));
  EXPECT_FALSE(s.registerNative("Text", 0x120, [] { return int64_t{0}; }));

  ASSERT_TRUE(s.runSource("function onclick() print(GetCurObj()) end"));
  EXPECT_TRUE(s.callFunction("onclick", {}));
  EXPECT_EQ(log_.back(), std::to_string(current));
  current = 42;
  EXPECT_TRUE(s.callFunction("onclick", {}));
  EXPECT_EQ(log_.back(), "42");
  EXPECT_FALSE(s.runSource("Throws()"));
  EXPECT_TRUE(s.runSource("print(GetCurObj())"));

  // Finishing closes the scripts' world; the next entry starts a new one.
  EXPECT_TRUE(s.finish());
  EXPECT_TRUE(s.runSource("print(onclick, GetCurObj)"));
  EXPECT_EQ(log_.back(), "nil\tnil");
}

TEST_F(ScriptInterpreterTest, ScriptFilesLoadWithOrWithoutByteOrderMark) {
  const std::string path = testing::TempDir() + "scribly_script.lua";
  std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF"
                                           "function oninit() print('ready') end";
  ScriptInterpreter& s = make();
  ASSERT_TRUE(s.loadScriptFile(path));
  EXPECT_TRUE(s.callFunction("oninit", {}));
  EXPECT_EQ(log_.back(), "ready");
  EXPECT_FALSE(s.loadScriptFile(path + ".missing"));
  EXPECT_TRUE(logged("cannot read script file"));
}

TEST_F(ScriptInterpreterTest, EngineFunctionsTakeTypedArgumentsAndReturnOneValueInTheirTable) {
  ScriptInterpreter& s = make();
  std::vector<ScriptValue> seen;
  ASSERT_TRUE(s.registerFunction("ui", "text", [&](std::span<const ScriptValue> a) {
    seen.assign(a.begin(), a.end());
    return ScriptValue::of(std::string("\xC3\xA4-") + std::to_string(a.size()));
  }));
  ASSERT_TRUE(s.registerFunction("ui", "fail", [](std::span<const ScriptValue>) -> ScriptValue {
    throw std::runtime_error("no");
  }));
  ASSERT_TRUE(s.runSource("print(ui.text(7, true, 'w\\0x', nil, {}))"));
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0].integer, 7);
  EXPECT_EQ(seen[1].integer, 1);
  EXPECT_EQ(seen[2].text, std::string("w\0x", 3));
  EXPECT_EQ(seen[3].kind, ScriptValue::Kind::Nil);
  EXPECT_EQ(seen[4].kind, ScriptValue::Kind::Nil);
  EXPECT_EQ(log_.back(), "\xC3\xA4-5");

  EXPECT_FALSE(s.runSource("ui.fail()"));
  EXPECT_NE(log_.back().find("engine function failed"), std::string::npos);
  EXPECT_FALSE(s.runSource("ui.text(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)"));
  EXPECT_TRUE(s.runSource("print(ui.text())"));
  EXPECT_EQ(log_.back(), "\xC3\xA4-0");
  // finish() forgets them with the rest of the scripts' world.
  ASSERT_TRUE(s.finish());
  EXPECT_FALSE(s.runSource("ui.text()"));
}

}  // namespace
}  // namespace scribly
