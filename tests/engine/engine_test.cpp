// uiengine.dll driven from outside as the plug-in drives it: loaded by full
// path, the SkinManager created through COM after regsvr32, windows built from
// skin text, and real window messages sent to the controls.
#include <gtest/gtest.h>
#include <objbase.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "skin/attribute_values.h"
#include "skin/skin_document.h"
#include "skin/skin_layout.h"
#include "skin/ui_engine_win.h"
#include "tests/support/win_test_support.h"
#include "win/messages.h"
#include "win/thread_windows.h"

namespace scribly {
namespace {

GUID guidOf(const EngineId& id) {
  GUID guid;
  std::memcpy(&guid, &id, sizeof guid);
  return guid;
}

SkinManager* g_manager = nullptr;

// The script functions GetCurObj and GetCurWnd: the control a variable holds.
template <const char* kVariable>
intptr_t __stdcall current() {
  SkinControl* control = nullptr;
  g_manager->getObject(kVariable, &control);
  return reinterpret_cast<intptr_t>(control);
}

// The program side, as the skin bridge is: "onclick" raised from the click
// message with the control and its window made current; every named command
// written down.
class RecordingOwner final : public SkinControlOwner {
 public:
  struct Command {
    SkinControl* source;
    std::string name, argument;
  };

  LRESULT __stdcall onControlMessage(SkinControl* control, UINT message, WPARAM wParam,
                                     LPARAM lParam, BOOL* handled) override {
    if (message == kTreeNotify && wParam == 1) treeNotes.push_back(lParam);
    if (message == kCaptureDone) captures.push_back(reinterpret_cast<const char*>(wParam));
    if (message == kCaptureNone) captures.push_back("none");
    if (message == kTreeTipRequest) {
      snprintf(reinterpret_cast<char*>(wParam), static_cast<size_t>(lParam), "%s",
               tipMarkup.c_str());
      *handled = TRUE;
      return kTipWritten;
    }
    if (message == WM_SKIN_CLICKED) {
      ++clicks;
      g_manager->setObject(kCurrentControlVariable, control);
      g_manager->setObject(kCurrentWindowVariable, window);
      char name[64] = {};
      control->sendMessage(WM_SKIN_GET_NAME, reinterpret_cast<WPARAM>(name), sizeof name);
      const std::string function = std::string("on_") + name;
      engine->callFunction(function.c_str(), 0, nullptr);
      *handled = TRUE;
    }
    return 0;
  }
  LRESULT __stdcall onNamedCommand(SkinControl* control, const char* name,
                                   const char* argument) override {
    commands.push_back({control, name, argument});
    if (reenter == name) engine->callFunction(name, 0, nullptr);
    return 7;
  }

  ScriptEngine* engine = nullptr;
  SkinControl* window = nullptr;
  // What the tree's tip request is answered with.
  std::string tipMarkup;
  // A command that runs the script function of its name again.
  std::string reenter;
  int clicks = 0;
  std::vector<Command> commands;
  std::vector<LPARAM> treeNotes;
  std::vector<std::string> captures;
};

class EngineTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Loaded as the plug-in loads it, by full path, and kept for the run.
    module_ = LoadLibraryW(besideSelf(L"uiengine.dll").c_str());
    ASSERT_NE(module_, nullptr);
    auto get = reinterpret_cast<GetUIEngineFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, kGetUIEngineName)));
    ASSERT_NE(get, nullptr);
    engine_ = get();
    ASSERT_EQ(runProcess(L"regsvr32.exe /s \"" + besideSelf(L"uiengine.dll") + L"\""), 0u);
    ASSERT_EQ(CoCreateInstance(kSkinManagerClassId, nullptr, kSkinManagerContext,
                               kSkinManagerInterfaceId, reinterpret_cast<void**>(&g_manager)),
              S_OK);
    engine_->registerNative(current<kCurrentControlVariable>, "GetCurObj", 0, kScriptIntegerType, 0,
                            0);
    engine_->registerNative(current<kCurrentWindowVariable>, "GetCurWnd", 0, kScriptIntegerType, 0,
                            0);
  }
  static void TearDownTestSuite() {
    if (g_manager) g_manager->Release();
    g_manager = nullptr;
  }

  void TearDown() override {
    if (window_) DestroyWindow(window_->window());
  }

  // Builds a window element of `skin` the way the skin loader does.
  SkinControl* build(const std::string& skin, const char* windowName) {
    EXPECT_TRUE(document_.loadText(skin, "test.xml", nullptr));
    ControlIds ids(1);
    auto description = describeWindow(document_.findWindow("window", windowName), ids);
    EXPECT_TRUE(description.has_value());
    if (!description) return nullptr;
    description_ = std::move(*description);
    owner_.engine = engine_;
    window_ = create(description_, nullptr);
    owner_.window = window_;
    return window_;
  }

  SkinControl* create(const ControlDescription& d, HWND parent) {
    const RECT rect = {d.rect.x, d.rect.y, d.rect.x + d.rect.width, d.rect.y + d.rect.height};
    SkinControl* control = nullptr;
    EXPECT_EQ(g_manager->createControl(guidOf(engineClassId(*d.type)),
                                       guidOf(engineInterfaceId(*d.type)), d.caption.c_str(),
                                       d.style, d.exStyle, &rect, parent, &owner_, &control),
              S_OK)
        << d.name;
    if (!control) return nullptr;
    control->setName(d.name.c_str());
    if (d.id) SetWindowLongPtrW(control->window(), GWLP_ID, d.id);
    for (const SkinMessage& m : d.messages)
      control->sendMessage(m.code, m.wParam,
                           m.text ? reinterpret_cast<LPARAM>(m.text->c_str()) : m.lParam);
    for (const ControlDescription& child : d.children) create(child, control->window());
    return control;
  }

  HWND root() const { return window_->window(); }

  // Pop-up controls (tooltip, capture element) are owned, not children.
  static HWND byName(HWND root, const char* name) {
    const HWND found = findSkinWindow(root, name);
    return found ? found : findSkinWindow(nullptr, name);
  }

  std::string log() {
    std::string text(engine_->copyLog(nullptr, 0) + 1, '\0');
    engine_->copyLog(text.data(), text.size());
    text.resize(std::strlen(text.c_str()));
    return text;
  }

  static inline HMODULE module_ = nullptr;
  static inline ScriptEngine* engine_ = nullptr;
  SkinDocument document_;
  ControlDescription description_;
  RecordingOwner owner_;
  SkinControl* window_ = nullptr;
};

constexpr char kPanelSkin[] = R"(<skin><skins>
<window name="test panel" style_add="WS_VISIBLE" width="420" height="300" caption="Panel" minwidth="200" minheight="150">
  <button name="pen" x="8" y="8" width="40" height="40" tip="Pen"/>
  <button name="hidden" style_remove="WS_VISIBLE" x="50" y="8" width="40" height="40"/>
  <static name="label" caption="Width" x="8" y="60" width="80" height="20" color="200,0,0"/>
  <edit name="title" id="321" x="8" y="90" width="120" height="22" max_len="5"/>
  <check name="grid" caption="Grid" checked x="8" y="120" width="80" height="20"/>
  <radio name="solid" caption="Solid" x="100" y="120" width="80" height="20"/>
  <image name="logo" x="200" y="8" width="32" height="32"/>
  <trackbar name="size" x="8" y="150" width="150" height="30" range_min="1" range_max="20" pos="4"/>
  <combobox name="fonts" x="8" y="190" width="150" height="24" dropdown_height="120"/>
  <panel name="tool panel" x="200" y="60" width="200" height="200">
    <button name="deep" x="4" y="4" width="40" height="40"/>
  </panel>
</window>
</skins></skin>)";

TEST_F(EngineTest, ControlsHaveTheirClassesStylesAndNamesServeOnlyThisThreadAndShowMenusAndTexts) {
  ASSERT_NE(build(kPanelSkin, "test panel"), nullptr);
  // What only the program sends its controls (names, records, texts, tree
  // items, clicks) is refused when posted or sent from another thread: nothing
  // is written and no address is answered. Nor does the engine build controls,
  // set its variables or run scripts for another thread while it serves this one.
  const HWND pen = byName(root(), "pen");
  std::string buffer(16, 'x');
  PostMessageW(pen, WM_SKIN_GET_NAME, reinterpret_cast<WPARAM>(buffer.data()), buffer.size());
  PostMessageW(pen, WM_SKIN_CLICKED, 0, 0);
  pump();
  std::atomic<bool> done{false};
  LRESULT record = -1;
  HRESULT created = E_FAIL, variable = E_FAIL;
  SkinControl* control = nullptr;
  std::thread other([&] {
    record = SendMessageW(pen, kEngineControlRecord, 0, 0);
    SendMessageW(pen, WM_SKIN_GET_NAME, reinterpret_cast<WPARAM>(buffer.data()), buffer.size());
    const RECT rect = {0, 0, 100, 100};
    created = g_manager->createControl(guidOf(engineClassId(*description_.type)),
                                       guidOf(engineInterfaceId(*description_.type)), "elsewhere",
                                       description_.style, 0, &rect, nullptr, &owner_, &control);
    variable = g_manager->setObject(kCurrentControlVariable, nullptr);
    engine_->runScript("print('from another thread')");
    done = true;
  });
  pumpUntil([&] { return done.load(); }, "the other thread's messages");
  other.join();
  EXPECT_EQ(buffer, std::string(16, 'x'));
  EXPECT_EQ(record, 0);
  EXPECT_EQ(owner_.clicks, 0);
  EXPECT_EQ(skinName(pen), "pen");
  EXPECT_EQ(created, S_FALSE);
  EXPECT_EQ(control, nullptr);
  EXPECT_EQ(variable, S_FALSE);
  engine_->runScript("print('from this thread')");
  EXPECT_EQ(log().find("from another thread"), std::string::npos);
  EXPECT_NE(log().find("from this thread"), std::string::npos);

  // Each control is of its class, with the styles the skin gave it.
  const std::pair<const wchar_t*, std::vector<const char*>> kClasses[] = {
      {L"ScriblySkinControl", {"pen", "logo", "deep", "hidden"}},
      {L"Static", {"label"}},
      {L"Edit", {"title"}},
      {L"Button", {"grid", "solid"}},
      {L"msctls_trackbar32", {"size"}},
      {L"ComboBox", {"fonts"}}};
  for (const auto& [windowClass, names] : kClasses)
    for (const char* name : names) {
      HWND w = byName(root(), name);
      ASSERT_NE(w, nullptr) << name;
      EXPECT_EQ(_wcsicmp(className(w).c_str(), windowClass), 0) << name;
      const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE));
      // The standard controls keep their own bits below the window-style word,
      // and the combo box draws its own edge instead of WS_BORDER. The window
      // styles include WS_VISIBLE, which "hidden" has removed.
      const DWORD mask = std::string_view(name) == "fonts" ? 0xFF7F0000 : 0xFFFF0000;
      EXPECT_EQ(style & mask, findControl(description_, name)->style & mask) << name;
    }

  // The window keeps to its least and greatest size. (The messages the other
  // attributes become are SkinLayoutTest's; that they reach the controls
  // shows in the check box's state a click reads in the next test.)
  SetWindowPos(root(), nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
  RECT r;
  GetWindowRect(root(), &r);
  EXPECT_GE(r.right - r.left, 200);
  EXPECT_GE(r.bottom - r.top, 150);
  SendMessageW(root(), kEngineMaxSize, 500, 400);
  SetWindowPos(root(), nullptr, 0, 0, 900, 900, SWP_NOMOVE | SWP_NOZORDER);
  GetWindowRect(root(), &r);
  EXPECT_EQ(r.right - r.left, 500);
  EXPECT_EQ(r.bottom - r.top, 400);

  // The name message: a short buffer learns the size it needs.
  char small[3] = {};
  EXPECT_EQ(
      SendMessageW(byName(root(), "title"), WM_SKIN_GET_NAME, reinterpret_cast<WPARAM>(small), 3),
      6);

  // The window's tooltip knows the one control with a tip.
  const HWND tooltip = byName(root(), "_vdtooltip");
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
  // It shows when the pointer rests on that control.
  RECT box;
  GetWindowRect(pen, &box);
  SetCursorPos(box.left + 5, box.top + 5);
  SendMessageW(pen, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(tooltip) != FALSE; }, "the tip"));

  SkinMenu* menu = nullptr;
  ASSERT_EQ(g_manager->createMenu(R"(<menu name="contents menu">
      <item name="rename" caption="Rename"/><separator/>
      <menu caption="More"><item name="deep" caption="Deep"/></menu>
      <item name="delete" caption="Delete"/><item name="refresh" caption="Refresh"/></menu>)",
                                  window_, &menu),
            S_OK);
  ASSERT_NE(menu, nullptr);
  // Indexes count the items: 1 is "delete", after the separator and sub-menu.
  menu->enableItem(1, FALSE);
  menu->enableItem(9, FALSE);
  EXPECT_TRUE(GetMenuState(menu->handle(), 3, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_FALSE(GetMenuState(menu->handle(), 4, MF_BYPOSITION) & MF_GRAYED);

  // The keys a hand would press, queued before the menu opens; a timer ends
  // the menu should they never arrive.
  PostMessageW(root(), WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(root(), WM_KEYDOWN, VK_RETURN, 0);
  UINT_PTR timer = SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
  menu->popup(100, 100);
  KillTimer(nullptr, timer);
  ASSERT_EQ(owner_.commands.size(), 1u);
  EXPECT_EQ(owner_.commands[0].name, "contents menu");
  EXPECT_EQ(owner_.commands[0].argument, "rename");
  EXPECT_EQ(owner_.commands[0].source, window_);
  menu->release();

  EXPECT_EQ(g_manager->createMenu("<item/>", window_, &menu), S_FALSE);
  EXPECT_EQ(menu, nullptr);

  // Language keys resolve to UTF-8 texts, which message boxes show.
  const std::wstring path = tempPath(L"engine_test_lang.xml");
  ASSERT_TRUE(
      writeFile(path,
                "\xEF\xBB\xBF<language name=\"Deutsch\"><text key=\"Scribly_MessageBox_Title\">"
                "Tafel \xE2\x80\x93 \xC3\x9C"
                "bersicht</text></language>"));
  ASSERT_EQ(g_manager->loadLanguageFile(narrow(path).c_str()), S_OK);
  char text[512];
  DWORD size = sizeof text;
  EXPECT_EQ(g_manager->getText("Scribly_Missing", text, &size), S_FALSE);

  // A window's message box shows the texts of its keys; the test answers it
  // with Yes once it is up.
  static std::wstring caption;
  caption.clear();
  timer = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) {
    for (const HWND box : threadWindows())
      if (className(box) == L"#32770") {
        caption = windowText(box);
        PostMessageW(box, WM_COMMAND, IDYES, 0);
        return;
      }
  });
  EXPECT_EQ(window_->messageBox("Scribly_Missing", "Scribly_MessageBox_Title", MB_YESNO), IDYES);
  KillTimer(nullptr, timer);
  EXPECT_EQ(caption, L"Tafel \u2013 \u00dcbersicht");
  DeleteFileW(path.c_str());
}

TEST_F(EngineTest, AClickRunsItsHandlerOnceUnlessDisabledAndAScriptErrorIsLoggedAndPassed) {
  ASSERT_NE(build(kPanelSkin, "test panel"), nullptr);
  engine_->runScript(R"(
    function on_pen()
      ui.check(GetCurObj(), true)
      ui.show(ui.find(GetCurWnd(), "hidden"), true)
      ui.text(ui.find(GetCurWnd(), "title"), "Größe")
    end
    function on_grid() ui.command("grid", ui.check(GetCurObj())) end)");
  const HWND pen = byName(root(), "pen");
  const LPARAM inside = MAKELPARAM(10, 10);
  SendMessageW(pen, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  SendMessageW(pen, WM_LBUTTONUP, 0, inside);
  pump();

  // The handler found the button and its window through the current variables.
  EXPECT_EQ(SendMessageW(pen, BM_GETCHECK, 0, 0), BST_CHECKED) << log();
  EXPECT_TRUE(IsWindowVisible(byName(root(), "hidden")));
  wchar_t title[16] = {};
  GetWindowTextW(byName(root(), "title"), title, 16);
  EXPECT_STREQ(title, L"Gr\u00f6\u00dfe");

  // A press that ends outside the button is no click.
  SendMessageW(pen, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  SendMessageW(pen, WM_LBUTTONUP, 0, MAKELPARAM(300, 300));
  EXPECT_EQ(owner_.clicks, 1);

  // A disabled element, or one inside a disabled panel, clicks not at all.
  const HWND deep = byName(root(), "deep"), panel = byName(root(), "tool panel");
  EnableWindow(pen, FALSE);
  EnableWindow(panel, FALSE);
  for (const HWND element : {pen, deep}) {
    SendMessageW(element, WM_SKIN_CLICKED, 0, 0);
    SendMessageW(element, BM_CLICK, 0, 0);
    SendMessageW(GetParent(element), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(element), BN_CLICKED),
                 reinterpret_cast<LPARAM>(element));
  }
  EnableWindow(panel, TRUE);
  SendMessageW(root(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(deep), BN_CLICKED),
               reinterpret_cast<LPARAM>(deep));
  EXPECT_EQ(owner_.clicks, 1);
  SendMessageW(deep, BM_CLICK, 0, 0);
  EXPECT_EQ(owner_.clicks, 2);

  // A standard check box clicks through its parent, and its state has changed
  // by the time the script runs.
  SendMessageW(byName(root(), "grid"), BM_CLICK, 0, 0);
  pump();
  ASSERT_EQ(owner_.commands.size(), 1u) << log();
  EXPECT_EQ(owner_.commands[0].name, "grid");
  EXPECT_EQ(owner_.commands[0].argument, "0");

  // A script error is logged and the engine goes on.
  owner_.commands.clear();
  EnableWindow(pen, TRUE);
  engine_->runScript("function on_pen() error('pen is broken') end");
  SendMessageW(byName(root(), "pen"), BM_CLICK, 0, 0);
  EXPECT_NE(log().find("pen is broken"), std::string::npos);
  // Numbers that are no live control reach nothing.
  engine_->runScript("ui.show(12345, false) ui.text(0, 'x')");

  engine_->runScript("function on_pen() ui.command('fine', 'yes') end");
  SendMessageW(byName(root(), "pen"), BM_CLICK, 0, 0);
  ASSERT_EQ(owner_.commands.size(), 1u);
  EXPECT_EQ(owner_.commands[0].argument, "yes");

  // A command that runs its own script again nests only so deep.
  owner_.commands.clear();
  owner_.reenter = "again";
  engine_->runScript("function again() ui.command('again', '') end");
  engine_->callFunction("again", 0, nullptr);
  EXPECT_GE(owner_.commands.size(), 2u);
  EXPECT_LE(owner_.commands.size(), 8u);
  EXPECT_NE(log().find("nested too deep"), std::string::npos);
  owner_.reenter.clear();
  owner_.commands.clear();

  // After finish the scripts start afresh, with the engine's functions.
  engine_->finish();
  engine_->registerNative(current<kCurrentControlVariable>, "GetCurObj", 0, kScriptIntegerType, 0,
                          0);
  engine_->runScript("function on_pen() ui.command('again', tostring(GetCurObj() ~= 0)) end");
  SendMessageW(byName(root(), "pen"), BM_CLICK, 0, 0);
  ASSERT_EQ(owner_.commands.size(), 1u) << log();
  EXPECT_EQ(owner_.commands[0].argument, "true");
}

TEST_F(EngineTest, TreeItemsShowTheirMarkupInTheirFontsAndAnswerClicksAndNewLabels) {
  ASSERT_NE(build(R"(<skin><skins>
      <window name="tree panel" style_add="WS_VISIBLE" x="0" y="0" width="300" height="300">
        <vdtree name="vdtree" x="0" y="0" width="280" height="260"/>
      </window></skins></skin>)",
                  "tree panel"),
            nullptr);
  const HWND tree = byName(root(), "vdtree");
  SendMessageW(tree, kTreeSetPictureFolder, 0, reinterpret_cast<LPARAM>("C:\\nowhere"));
  EXPECT_EQ(ImageList_GetImageCount(reinterpret_cast<HIMAGELIST>(
                SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0))),
            100);

  auto insert = [tree](const char* markup, int image = 0, LPARAM data = 0, HTREEITEM parent = {}) {
    TreeItemSpec spec = {markup, image, image, data, nullptr};
    return reinterpret_cast<HTREEITEM>(SendMessageW(
        tree, kTreeInsertItem, reinterpret_cast<WPARAM>(parent), reinterpret_cast<LPARAM>(&spec)));
  };
  const char kRoot[] = "<text><font size=\"10\" color=\"255,0,0\">System pages</font></text>";
  HTREEITEM pages = insert(kRoot, 11, 10);
  ASSERT_NE(pages, nullptr);
  HTREEITEM page =
      insert("<text><font size=\"10\" color=\"0,0,255\">3</font></text>", 51, 3, pages);
  ASSERT_NE(page, nullptr);
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(pages));

  // Shown as the name; read back as the markup; data and image as given.
  EXPECT_EQ(treeLabel(tree, page), L"3");
  EXPECT_EQ(treeData(tree, page), 3);
  TVITEMW item = {};
  item.mask = TVIF_IMAGE;
  item.hItem = page;
  ASSERT_TRUE(SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_EQ(item.iImage, 51);
  char markup[600] = {};
  TreeText text = {markup, sizeof markup};
  EXPECT_EQ(SendMessageW(tree, kTreeGetItemMarkup, reinterpret_cast<WPARAM>(pages),
                         reinterpret_cast<LPARAM>(&text)),
            static_cast<LRESULT>(std::strlen(kRoot)));
  EXPECT_STREQ(markup, kRoot);

  // A click where the page item is makes it current and tells the owner.
  clickTreeItem(tree, page);
  ASSERT_FALSE(owner_.treeNotes.empty());
  EXPECT_EQ(owner_.treeNotes.front(), kTreeClick);
  EXPECT_EQ(reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)), page);

  // A slow second click on the current item edits nothing: only the program
  // starts an edit.
  clickTreeItem(tree, page);
  settle(GetDoubleClickTime() + 300);
  EXPECT_EQ(SendMessageW(tree, TVM_GETEDITCONTROL, 0, 0), 0);

  // A new label keeps the item's colour in its markup.
  owner_.treeNotes.clear();
  const HWND edit = reinterpret_cast<HWND>(
      SendMessageW(tree, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(pages)));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"Seiten \u00dc");
  SendMessageW(tree, TVM_ENDEDITLABELNOW, FALSE, 0);
  pump();
  EXPECT_EQ(treeMarkup(tree, pages),
            "<text><font size=\"10\" color=\"255,0,0\">Seiten \xC3\x9C</font></text>");
  ASSERT_EQ(owner_.treeNotes.size(), 1u);
  EXPECT_EQ(owner_.treeNotes[0], kTreeLabelEdited);

  // Items and tips are drawn in the fonts of their markup.
  auto height = [tree](HTREEITEM item) {
    RECT r;
    return treeItemBox(tree, item, r) ? r.bottom - r.top : -1;
  };
  HTREEITEM small = insert("<text><font size=\"10\" color=\"0,0,255\">small</font></text>");
  HTREEITEM large = insert("<text><font size=\"20\" face=\"Arial\">large</font></text>");
  HTREEITEM plain = insert("plain");
  ASSERT_TRUE(small && large && plain);
  EXPECT_GT(height(large), height(small));
  EXPECT_EQ(height(small), height(plain));
  // Made small again, the item takes one row again.
  SendMessageW(tree, kTreeSetItemMarkup, reinterpret_cast<WPARAM>(large),
               reinterpret_cast<LPARAM>("<text><font size=\"8\">large</font></text>"));
  EXPECT_EQ(height(large), height(small));

  // The tip shows exactly the words of its font element, in that font; its
  // face may come as UTF-8 or as the code-page-936 bytes it was written in.
  const HWND tooltip = reinterpret_cast<HWND>(SendMessageW(tree, TVM_GETTOOLTIPS, 0, 0));
  ASSERT_NE(tooltip, nullptr);
  auto tip = [&](const std::string& markup, LOGFONTW* font) {
    owner_.tipMarkup = markup;
    // Resting on an item asks the owner for the tip.
    wchar_t text[80] = {};
    NMTVGETINFOTIPW request = {};
    request.hdr = {tree, static_cast<UINT_PTR>(GetDlgCtrlID(tree)), TVN_GETINFOTIPW};
    request.pszText = text;
    request.cchTextMax = 80;
    request.hItem = small;
    SendMessageW(GetParent(tree), WM_NOTIFY, request.hdr.idFrom,
                 reinterpret_cast<LPARAM>(&request));
    *font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(tooltip, WM_GETFONT, 0, 0)), sizeof *font,
               font);
    return std::wstring(text);
  };
  const int dpi = GetDeviceCaps(ScreenDc().get(), LOGPIXELSY);
  LOGFONTW font;
  // As the contents tree writes it, with "/>" after the font element.
  EXPECT_EQ(tip("<tip><font size=\"10\" color=\"0,0,255\">text</font>/></tip>", &font), L"text");
  EXPECT_EQ(font.lfHeight, -MulDiv(10, dpi, 72));
  EXPECT_EQ(tip("<tip width=\"200\" height=\"100\"><font face=\"\xCB\xCE\xCC\xE5\" size=\"9\" "
                "color=\"255,0,255\">report &amp; notes.doc</font></tip>",
                &font),
            L"report & notes.doc");
  EXPECT_STREQ(font.lfFaceName, L"\u5b8b\u4f53");
  EXPECT_EQ(font.lfHeight, -MulDiv(9, dpi, 72));
  tip("<tip><font face=\"\xE5\xAE\x8B\xE4\xBD\x93\" size=\"9\">x</font></tip>", &font);
  EXPECT_STREQ(font.lfFaceName, L"\u5b8b\u4f53");
  // A face longer than a font holds is cut before a character, not inside it.
  tip("<tip><font face=\"" + std::string(30, 'A') + "\xF0\x9F\x98\x80\">x</font></tip>", &font);
  EXPECT_EQ(std::wstring(font.lfFaceName), std::wstring(30, L'A'));
}

TEST_F(EngineTest, TheCaptureElementServesOnlyItsThreadAndAnEmptyAreaIsNone) {
  SkinControl* window = build(R"(<skin><skins>
    <window name="capture owner" width="200" height="100">
      <capturescreen name="screen cap"/>
    </window></skins></skin>)",
                              "capture owner");
  ASSERT_NE(window, nullptr);
  const HWND capture = byName(root(), "screen cap");
  ASSERT_NE(capture, nullptr);
  const std::string path = narrow(tempPath(L"engine_test_capture.bmp"));
  DeleteFileA(path.c_str());

  // A report window of another thread starts no capture: nothing is written.
  std::atomic<HWND> elsewhere{nullptr};
  std::atomic<bool> done{false};
  std::thread other([&] {
    elsewhere =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    pumpUntil([&] { return done.load(); }, "the test to finish");
    DestroyWindow(elsewhere);
  });
  pumpUntil([&] { return elsewhere != nullptr; }, "the other thread's window");
  SendMessageW(capture, kCaptureStart, reinterpret_cast<WPARAM>(elsewhere.load()),
               reinterpret_cast<LPARAM>(path.c_str()));
  SendMessageW(capture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 40));
  SendMessageW(capture, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  done = true;
  other.join();
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);

  // Escape, or a click without an area, gives no picture.
  SendMessageW(capture, kCaptureStart, reinterpret_cast<WPARAM>(root()),
               reinterpret_cast<LPARAM>(path.c_str()));
  SendMessageW(capture, WM_KEYDOWN, VK_ESCAPE, 0);
  SendMessageW(capture, kCaptureStart, reinterpret_cast<WPARAM>(root()),
               reinterpret_cast<LPARAM>(path.c_str()));
  SendMessageW(capture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(capture, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(owner_.captures, (std::vector<std::string>{"none", "none"}));
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(EngineTest, RegistrationNamesThisFileAndUnregisteringRemovesIt) {
  wchar_t clsid[40] = {};
  StringFromGUID2(kSkinManagerClassId, clsid, 40);
  const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
  wchar_t value[MAX_PATH] = {};
  LONG size = sizeof value;
  ASSERT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size), ERROR_SUCCESS);
  EXPECT_EQ(_wcsicmp(value, besideSelf(L"uiengine.dll").c_str()), 0);
  const std::wstring dll = L"\"" + besideSelf(L"uiengine.dll") + L"\"";
  ASSERT_EQ(runProcess(L"regsvr32.exe /s /u " + dll), 0u);
  SkinManager* other = nullptr;
  EXPECT_NE(CoCreateInstance(kSkinManagerClassId, nullptr, kSkinManagerContext,
                             kSkinManagerInterfaceId, reinterpret_cast<void**>(&other)),
            S_OK);
  ASSERT_EQ(runProcess(L"regsvr32.exe /s " + dll), 0u);
}

}  // namespace
}  // namespace scribly

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
