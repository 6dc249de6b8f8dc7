#pragma once
// The drawing tools by their skin names, in the order the tool table lists
// them; each id is the kind of object the tool makes (1 and 2 make none).
#include <cstdint>
#include <optional>
#include <string_view>

namespace scribly {

struct ToolName {
  std::string_view name;
  uint8_t id;
};

inline constexpr ToolName kToolTable[] = {
    {"choice", 1},       {"delete", 2},       {"pencial", 10},     {"rect", 12},
    {"trigon", 16},      {"text", 15},        {"image", 14},       {"freecut", 18},
    {"line", 11},        {"lineSA", 20},      {"lineDA", 21},      {"ellipse", 13},
    {"halfcircle1", 22}, {"halfcircle2", 23}, {"halfcircle3", 24}, {"halfcircle4", 25},
};

// The tool id for a skin tool name (names compare exactly); none for others.
inline std::optional<uint8_t> toolIdFromName(std::string_view name) {
  for (const ToolName& tool : kToolTable) {
    if (tool.name == name) return tool.id;
  }
  return std::nullopt;
}

}  // namespace scribly
