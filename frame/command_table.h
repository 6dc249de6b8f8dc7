#pragma once
// The named commands the skin's scripts and menus call on the main frame: the
// name and element or item tables, and which operation each one runs. The
// frame implements the operations.
#include <cstdint>
#include <optional>
#include <string_view>

namespace scribly {

class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  virtual void selectTool(uint8_t tool) = 0;
  virtual void focusView() = 0;
  virtual void insertImage() = 0;
  virtual void insertHandSymbol() = 0;
  // "CaptureScreen" hides the plug-in while capturing, "Cut" does not.
  virtual void captureScreen(bool hidePlugin) = 0;
  virtual void paste() = 0;
  // Opens a skin menu at the bottom-left corner of an element.
  virtual void openMenu(std::string_view menu, std::string_view element) = 0;
  // "custom" (a picture file) or a template's name.
  virtual void setBackground(std::string_view item) = 0;
  virtual void setBackgroundScale(double factor) = 0;
  // The selection's context menu: "copy", "paste", "delete", "editpic",
  // "rotate90", "saveto".
  virtual void contextCommand(std::string_view item) = 0;
  // The document library's menu.
  virtual void libraryCommand(std::string_view item) = 0;
  virtual void setLineStyle(uint32_t style) = 0;
  // Shows the contents panel below an element.
  virtual void showContents(std::string_view element) = 0;
  // -1 the previous page, 1 the next.
  virtual void goToNeighbourPage(int direction) = 0;
  // 1 share a document, 2 add a page, 3 print settings, 0 none.
  virtual void pageOption(uint32_t option) = 0;
};

// Runs `command` raised by `element` (its skin name) with `argument` (a menu's
// item). 0 for a listed command, whatever it found; non-zero for any other
// name, which does nothing. Command names compare exactly; element and item
// names without regard to case.
int runCommand(CommandTarget& target, std::string_view element, std::string_view command,
               std::string_view argument);

// Whether `command` brings what is outside the whiteboard (the clipboard,
// the screen) to every participant: "Paste", "CaptureScreen", "Cut".
bool takesOutsideData(std::string_view command);

// The scale factor of a "set bkgndscale" item: fixed factors, -1 fit the
// width, -2 fit the height, 0 fit the page.
std::optional<double> scaleFactorOf(std::string_view item);

// The tool button a select-tool notification names by key code (0: "choice").
std::string_view toolButtonForKey(uint32_t key);

}  // namespace scribly
