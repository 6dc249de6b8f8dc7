// The skin bridge over the real engine beside this program: windows built from
// skin files, driven by the messages a hand's clicks and keys produce.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <fstream>
#include <string>
#include <vector>

#include "skin/skin_bridge_win.h"
#include "test_surface.h"
#include "win/messages.h"
#include "win/module.h"

namespace scribly {
namespace {

constexpr char kTestSkin[] = R"(<skin>
<script>
function OnPen() ui.command("pen", tostring(GetCurObj()) .. " " .. tostring(GetCurWnd())) end
function OnInit() ui.command("init", tostring(GetCurObj())) end
function OnClose() ui.command("close", "") end
function OnMenu(low, high) ui.command("menu", low .. "/" .. high) end
</script>
<skins>
<window name="bridge panel" style_add="WS_VISIBLE" width="300" height="200" oninit="OnInit"
        onclose="OnClose" onmenucmd="OnMenu">
  <panel name="tools" x="4" y="4" width="200" height="60">
    <button name="pen" x="4" y="4" width="40" height="40" onclick="OnPen" tip="Scribly_Tip_Pencil"/>
  </panel>
  <button name="quiet" x="110" y="80" width="40" height="40"/>
</window>
</skins></skin>)";

class SkinBridge : public testing::Test {
 protected:
  void SetUp() override {
    system_ = SkinSystem::acquire(moduleFolder(), "");
    ASSERT_NE(system_, nullptr);
    if (!system_->document().findWindow("window", "bridge panel")) {
      const std::string path = testing::TempDir() + "bridge_test_skin.xml";
      std::ofstream(path, std::ios::binary) << kTestSkin;
      ASSERT_TRUE(system_->loadSkinFile(path));
    }
    window_ = system_->createWindow("bridge panel", nullptr, &program_);
    ASSERT_NE(window_, nullptr);
    // The program takes the window's close while `takeClose_` says so.
    program_.route = [this](SkinElement& source, UINT message, WPARAM, LPARAM, LRESULT&) {
      const bool take = message == WM_CLOSE && &source == &window_->root() && takeClose_;
      closesTaken_ += take;
      return take;
    };
  }

  static void click(HWND button) {
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  }

  static std::string address(SkinElement* element) {
    return std::to_string(reinterpret_cast<intptr_t>(element->control()));
  }

  std::shared_ptr<SkinSystem> system_;
  RoutingProgram program_;
  bool takeClose_ = false;
  int closesTaken_ = 0;
  std::unique_ptr<SkinWindow> window_;
};

TEST_F(SkinBridge,
       ClicksCloseAndMenusRunTheirScriptsKeysBecomeTextsAndADestroyedWindowTellsNobody) {
  // "oninit" ran once the window was whole, with the window current.
  ASSERT_EQ(program_.commands.size(), 1u) << system_->log();
  EXPECT_EQ(program_.commands[0].name, "init");
  EXPECT_EQ(program_.commands[0].argument, address(&window_->root()));
  program_.commands.clear();

  SkinElement* pen = window_->find("pen");
  ASSERT_TRUE(pen && pen->window());
  click(pen->window());
  ASSERT_EQ(program_.commands.size(), 1u) << system_->log();
  EXPECT_EQ(program_.commands[0].name, "pen");
  // The button nested in a panel still has the window as its window.
  EXPECT_EQ(program_.commands[0].argument, address(pen) + " " + address(&window_->root()));
  EXPECT_EQ(program_.commands[0].source, pen);
  EXPECT_EQ(SendMessageW(pen->window(), kEngineControlRecord, 0, 0),
            reinterpret_cast<LRESULT>(pen));

  // A button without "onclick" does nothing.
  click(window_->find("quiet")->window());
  EXPECT_EQ(program_.commands.size(), 1u);

  // A close goes to the program first, else to the script.
  program_.commands.clear();
  takeClose_ = true;
  SendMessageW(window_->window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(closesTaken_, 1);
  EXPECT_TRUE(program_.commands.empty());
  EXPECT_TRUE(IsWindow(window_->window()));

  takeClose_ = false;
  SendMessageW(window_->window(), WM_CLOSE, 0, 0);
  ASSERT_EQ(program_.commands.size(), 1u);
  EXPECT_EQ(program_.commands[0].name, "close");
  // The script had it, so the window stays.
  EXPECT_TRUE(IsWindow(window_->window()));

  // "onmenucmd" gets the two halves of wParam.
  SendMessageW(window_->window(), kEngineMenuCommand, MAKEWPARAM(3, 9), 0);
  ASSERT_EQ(program_.commands.size(), 2u);
  EXPECT_EQ(program_.commands[1].argument, "3/9");

  EXPECT_EQ(system_->text("Scribly_MessageBox_Title"), "Whiteboard");
  EXPECT_EQ(system_->text("No_Such_Key"), "No_Such_Key");
  // A 512-byte text cut to a small buffer ends on a whole character, inside it.
  EXPECT_LE(system_->text("Scribly_MessageBox_Remove_ShareDoc", 16).size(), 15u);
  EXPECT_EQ(window_->menu("no such menu"), nullptr);

  // Destroyed from outside: nothing left to tell or destroy.
  const HWND penWindow = pen->window();
  DestroyWindow(window_->window());
  EXPECT_FALSE(IsWindow(penWindow));
  EXPECT_EQ(window_->find("pen")->window(), nullptr);
  EXPECT_EQ(window_->window(), nullptr);
  window_.reset();  // nothing left to destroy
}

}  // namespace
}  // namespace scribly
