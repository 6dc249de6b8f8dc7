#pragma once
// Window style names as skins write them ("WS_CHILD|WS_BORDER"), with the
// standard Win32 values, so the core can compute styles without <windows.h>.
#include <cstdint>
#include <span>
#include <string_view>

namespace scribly {

inline constexpr uint32_t kStyleChild = 0x40000000;     // WS_CHILD
inline constexpr uint32_t kStylePopup = 0x80000000;     // WS_POPUP
inline constexpr uint32_t kStyleVisible = 0x10000000;   // WS_VISIBLE
inline constexpr uint32_t kStyleEditPassword = 0x0020;  // ES_PASSWORD
inline constexpr uint32_t kStyleEditNumber = 0x2000;    // ES_NUMBER

struct StyleName {
  std::string_view name;
  uint32_t value;
};

inline constexpr size_t kStyleNameCount = 88;
inline constexpr size_t kExStyleNameCount = 22;

// Splits at "|" and ORs the value of each token. A token matches the first
// name, in table order, whose leading characters equal it in any case, so
// "WS_MAX" gives WS_MAXIMIZE; a token that matches nothing adds 0. Blanks
// around a token are ignored.
uint32_t parseStyle(std::string_view text);
// The same over the extended styles ("WS_EX_...").
uint32_t parseExStyle(std::string_view text);

// The tables in search order.
std::span<const StyleName> styleNames();
std::span<const StyleName> exStyleNames();

}  // namespace scribly
