#include "frame/command_table.h"

#include <utility>

#include "base/ascii.h"
#include "board/tool_table.h"
#include "frame/tool_panels.h"
#include "share/document_share.h"

namespace scribly {
namespace {

std::optional<uint8_t> toolOf(std::string_view element) {
  for (const ToolName& tool : kToolTable)
    if (equalsIgnoringCase(tool.name, element)) return tool.id;
  return std::nullopt;
}

}  // namespace

bool takesOutsideData(std::string_view command) {
  return command == "Paste" || command == "CaptureScreen" || command == "Cut";
}

std::optional<double> scaleFactorOf(std::string_view item) {
  constexpr std::pair<std::string_view, double> kScales[] = {
      {"scale_50", 0.5},    {"scale_65", 0.65},   {"scale_75", 0.75},    {"scale_85", 0.85},
      {"scale_100", 1.0},   {"scale_125", 1.25},  {"scale_150", 1.5},    {"scale_200", 2.0},
      {"scale_wfit", -1.0}, {"scale_hfit", -2.0}, {"scale_BestFit", 0.0}};
  for (const auto& [name, factor] : kScales)
    if (equalsIgnoringCase(name, item)) return factor;
  return std::nullopt;
}

std::string_view toolButtonForKey(uint32_t key) {
  const uint8_t tool = toolForPanelKey(key);
  for (const ToolName& entry : kToolTable)
    if (entry.id == tool) return entry.name;
  return "choice";
}

int runCommand(CommandTarget& target, std::string_view element, std::string_view command,
               std::string_view argument) {
  if (command == "SelectTool") {
    if (const std::optional<uint8_t> tool = toolOf(element)) target.selectTool(*tool);
    target.focusView();
  } else if (command == "InsertImage") {
    target.insertImage();
  } else if (command == "InsertHandSymbol") {
    target.insertHandSymbol();
  } else if (command == "CaptureScreen") {
    target.captureScreen(true);
  } else if (command == "Paste") {
    target.paste();
  } else if (command == "SetBkGnd") {
    target.openMenu("set bkgnd", element);
  } else if (command == "set bkgnd") {
    target.setBackground(argument);
  } else if (command == "SetBkGndScale") {
    target.openMenu("set bkgndscale", element);
  } else if (command == "set bkgndscale") {
    if (const std::optional<double> factor = scaleFactorOf(argument))
      target.setBackgroundScale(*factor);
  } else if (command == "right mouseclick") {
    target.contextCommand(argument);
  } else if (command == "dirroot menu") {
    target.libraryCommand(argument);
  } else if (command == "Cut") {
    target.captureScreen(false);
  } else if (command == "SelectLineStyle") {
    if (const std::optional<uint32_t> style = lineStyleFromName(element))
      target.setLineStyle(*style);
  } else if (command == "Contents") {
    target.showContents(element);
  } else if (command == "SetPage") {
    if (equalsIgnoringCase(element, "pageLeft")) target.goToNeighbourPage(-1);
    if (equalsIgnoringCase(element, "pageRight")) target.goToNeighbourPage(1);
  } else if (command == "PageOpt") {
    target.pageOption(pageOptionOf(element));
  } else {
    return 1;
  }
  return 0;
}

}  // namespace scribly
