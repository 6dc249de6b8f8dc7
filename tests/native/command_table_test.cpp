#include "frame/command_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scribly {
namespace {

// Writes down every operation the table runs.
class RecordingTarget final : public CommandTarget {
 public:
  void selectTool(uint8_t tool) override { note("tool " + std::to_string(tool)); }
  void focusView() override { note("focus"); }
  void insertImage() override { note("image"); }
  void insertHandSymbol() override { note("hand"); }
  void captureScreen(bool hide) override { note(hide ? "capture hidden" : "capture"); }
  void paste() override { note("paste"); }
  void openMenu(std::string_view menu, std::string_view element) override {
    note("menu " + std::string(menu) + " at " + std::string(element));
  }
  void setBackground(std::string_view item) override { note("background " + std::string(item)); }
  void setBackgroundScale(double factor) override { note("scale " + std::to_string(factor)); }
  void contextCommand(std::string_view item) override { note("context " + std::string(item)); }
  void libraryCommand(std::string_view item) override { note("library " + std::string(item)); }
  void setLineStyle(uint32_t style) override { note("style " + std::to_string(style)); }
  void showContents(std::string_view element) override { note("contents " + std::string(element)); }
  void goToNeighbourPage(int direction) override { note("page " + std::to_string(direction)); }
  void pageOption(uint32_t option) override { note("option " + std::to_string(option)); }

  std::vector<std::string> take() { return std::exchange(calls_, {}); }

 private:
  void note(std::string call) { calls_.push_back(std::move(call)); }
  std::vector<std::string> calls_;
};

using Calls = std::vector<std::string>;

TEST(CommandTable, ElementsAndItemsMatchInAnyCaseCommandsOnlyExactly) {
  RecordingTarget t;
  EXPECT_EQ(runCommand(t, "RECT", "SelectTool", ""), 0);
  EXPECT_EQ(t.take(), (Calls{"tool 12", "focus"}));
  // Not a tool: the view still gets the focus.
  EXPECT_EQ(runCommand(t, "view wnd", "SelectTool", ""), 0);
  EXPECT_EQ(t.take(), (Calls{"focus"}));
  EXPECT_NE(runCommand(t, "rect", "selecttool", ""), 0);
  EXPECT_NE(runCommand(t, "rect", "SelectTool ", ""), 0);
  EXPECT_EQ(t.take(), Calls{});

  EXPECT_EQ(runCommand(t, "ps_dashdot", "SelectLineStyle", ""), 0);
  EXPECT_EQ(runCommand(t, "PS_WIDE", "SelectLineStyle", ""), 0);
  EXPECT_EQ(runCommand(t, "x", "set bkgndscale", "SCALE_65"), 0);
  EXPECT_EQ(runCommand(t, "x", "set bkgndscale", "scale_64"), 0);
  EXPECT_EQ(runCommand(t, "x", "set bkgndscale", "scale_BestFit"), 0);
  EXPECT_EQ(t.take(), (Calls{"style 3", "scale 0.650000", "scale 0.000000"}));
}

TEST(CommandTable, PagesMenusAndCapturesReachTheirOperations) {
  RecordingTarget t;
  runCommand(t, "pageLeft", "SetPage", "");
  runCommand(t, "PAGERIGHT", "SetPage", "");
  runCommand(t, "contents", "SetPage", "");
  runCommand(t, "add page", "PageOpt", "");
  runCommand(t, "add share doc", "PageOpt", "");
  runCommand(t, "clrscr", "PageOpt", "");
  EXPECT_EQ(t.take(), (Calls{"page -1", "page 1", "option 2", "option 1", "option 0"}));

  runCommand(t, "bkgnd", "SetBkGnd", "");
  runCommand(t, "frame", "set bkgnd", "grid");
  runCommand(t, "bkgnd scale", "SetBkGndScale", "");
  runCommand(t, "frame", "right mouseclick", "rotate90");
  runCommand(t, "vdtree", "dirroot menu", "refresh");
  runCommand(t, "contents", "Contents", "");
  EXPECT_EQ(t.take(), (Calls{"menu set bkgnd at bkgnd", "background grid",
                             "menu set bkgndscale at bkgnd scale", "context rotate90",
                             "library refresh", "contents contents"}));

  runCommand(t, "capture", "CaptureScreen", "");
  runCommand(t, "cut", "Cut", "");
  runCommand(t, "paste", "Paste", "");
  runCommand(t, "image", "InsertImage", "");
  runCommand(t, "hand", "InsertHandSymbol", "");
  EXPECT_EQ(t.take(), (Calls{"capture hidden", "capture", "paste", "image", "hand"}));
}

TEST(CommandTable, ShortcutKeysNameTheirToolButtons) {
  EXPECT_EQ(toolButtonForKey('R'), "rect");
  EXPECT_EQ(toolButtonForKey('t'), "text");
  EXPECT_EQ(toolButtonForKey('e'), "delete");
  EXPECT_EQ(toolButtonForKey('Y'), "pencial");
  EXPECT_EQ(toolButtonForKey('U'), "trigon");
  EXPECT_EQ(toolButtonForKey('V'), "choice");
  EXPECT_EQ(toolButtonForKey(0), "choice");
  EXPECT_EQ(toolButtonForKey('B'), "choice");
}

}  // namespace
}  // namespace scribly
