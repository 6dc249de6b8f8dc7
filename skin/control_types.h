#pragma once
// The control types a skin element may name, with the window styles each type
// starts from and the engine class and interface that implement it.
#include <array>
#include <cstdint>
#include <string_view>

namespace scribly {

// A 16-byte COM identifier in the layout of a GUID, so the Win32 side can hand
// it to the engine as one without the core seeing <windows.h>.
struct EngineId {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  std::array<uint8_t, 8> data4;
  bool operator==(const EngineId&) const = default;
};

struct ControlType {
  std::string_view name;
  uint8_t classNumber;      // rows that share an engine class share the number
  uint8_t interfaceNumber;  // likewise for the interface
  uint32_t style;
  uint32_t exStyle;
};

inline constexpr size_t kControlTypeCount = 38;

// Every row in lookup order.
const std::array<ControlType, kControlTypeCount>& controlTypes();

// Case-insensitive: "Button" and "BUTTON" find the "button" row. Null when the
// name is not a control type.
const ControlType* findControlType(std::string_view name);

// The engine's identifiers of a row, as the engine registers them.
EngineId engineClassId(const ControlType& type);
EngineId engineInterfaceId(const ControlType& type);

}  // namespace scribly
