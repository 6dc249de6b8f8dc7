// The engine's own script functions: arguments arrive typed, results go back,
// and a function that fails leaves the interpreter working.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "uiengine/script_interpreter.h"

namespace scribly {
namespace {

TEST(ScriptFunctions, TakeTypedArgumentsAndReturnOneValueInTheirTable) {
  std::vector<std::string> log;
  ScriptInterpreter s([&](std::string_view line) { log.emplace_back(line); });
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
  EXPECT_EQ(log.back(), "\xC3\xA4-5");

  EXPECT_FALSE(s.runSource("ui.fail()"));
  EXPECT_NE(log.back().find("engine function failed"), std::string::npos);
  EXPECT_FALSE(s.runSource("ui.text(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)"));
  EXPECT_TRUE(s.runSource("print(ui.text())"));
  EXPECT_EQ(log.back(), "\xC3\xA4-0");
  // finish() forgets them with the rest of the scripts' world.
  ASSERT_TRUE(s.finish());
  EXPECT_FALSE(s.runSource("ui.text()"));
}

}  // namespace
}  // namespace scribly
