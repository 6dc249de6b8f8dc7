#pragma once
// What the Win32 skin loader creates for a window element: the window, then
// its tooltip, then each control in pre-order, every one with its type row,
// styles, rectangle, id and the messages that apply its attributes. Each
// control's messages are sent right after it is created, before its children.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/xml_document.h"
#include "skin/attribute_values.h"
#include "skin/control_types.h"
#include "skin/engine_messages.h"
#include "skin/language_texts.h"

namespace scribly {

// One message that applies an attribute after the control exists. When `text`
// is set the engine gets a pointer to it, zero-terminated, as lParam.
struct SkinMessage {
  uint32_t code = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
  std::optional<std::string> text;
  bool operator==(const SkinMessage&) const = default;
};

struct SkinRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const SkinRect&) const = default;
};

struct SkinSize {
  int32_t width = 0, height = 0;
  bool operator==(const SkinSize&) const = default;
};

struct ControlDescription {
  const ControlType* type = nullptr;
  std::string name;
  std::string caption;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  SkinRect rect;
  int32_t id = 0;            // 0 for windows and their tooltip
  XmlElementHandle element;  // where the events ("onclick", ...) are read
  // Handed to the engine before creation unless "noskin" / "nodata" say not.
  XmlElementHandle skinPart;
  XmlElementHandle dataPart;
  std::vector<SkinMessage> messages;
  // Windows only: the client size asked for, applied after the children.
  std::optional<SkinSize> clientSize;
  std::vector<ControlDescription> children;  // creation order
};

inline constexpr std::string_view kWindowTooltipName = "_vdtooltip";
// Beyond this many controls in one window the rest of the skin is left out.
inline constexpr size_t kMaxControlsPerWindow = 4096;

// A window element as created: its own styles (the type row's, plus
// "style_add", less "style_remove"), the "_vdtooltip" tooltip as first child,
// then its child controls. None when the tag is not a control type.
std::optional<ControlDescription> describeWindow(XmlElementHandle element, ControlIds& ids);

// Makes a built description ready for the engine: relative picture names
// become paths in `pictureFolder` (the folder of the skin file that names
// them, with its separator at the end), and captions and tips that are keys of
// `texts` become their texts.
void localiseDescription(ControlDescription& root, std::string_view pictureFolder,
                         const LanguageTexts& texts);

// The first control in pre-order whose name is exactly `name`: the control
// itself, then the first child and its subtree, then the second, and so on.
const ControlDescription* findControl(const ControlDescription& root, std::string_view name);

}  // namespace scribly
