#include "skin/skin_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "skin/style_names.h"

#ifdef _WIN32
// commctrl.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#endif

namespace scribly {
namespace {

constexpr uint32_t kBorder = 0x00800000, kMaximize = 0x01000000, kTabStop = 0x00010000;

TEST(SkinValues, StylesMatchNamePrefixesColoursPackRedLowDecimalsSaturateIdsCoverTheirRange) {
  EXPECT_EQ(parseStyle("WS_CHILD|ws_border|WS_MAX"), kStyleChild | kBorder | kMaximize);
  // The first name in table order wins: WS_MINIMIZE before WS_MINIMIZEBOX,
  // CBS_DROPDOWN before CBS_DROPDOWNLIST, WS_TILED (0) before WS_TILEDWINDOW.
  EXPECT_EQ(parseStyle("WS_MINIMIZE"), 0x20000000u);
  EXPECT_EQ(parseStyle("cbs_dropdown"), 0x0002u);
  EXPECT_EQ(parseStyle("WS_TILED"), 0u);
  EXPECT_EQ(parseStyle("BS_AUTOSIZECTRL"), 0x80u);
  // Unknown, empty and over-long tokens add nothing; the rest still counts.
  EXPECT_EQ(parseStyle("WS_NOPE||WS_TABSTOPX| WS_TABSTOP |"), kTabStop);
  EXPECT_EQ(parseStyle(""), 0u);
  EXPECT_EQ(parseExStyle("WS_EX_TOOL|ws_ex_clientedge|WS_CHILD"), 0x0280u);

  EXPECT_EQ(parseColour("-1,-1,-1"), 0xFFFFFFFFu);
  EXPECT_EQ(parseColour("-1,-1,-1,0"), 0xFFFFFFFFu);
  EXPECT_EQ(parseColour("255,0,128"), 0x008000FFu);
  EXPECT_EQ(parseColour("1, 2, 3, 4"), 0x04030201u);
  EXPECT_EQ(parseColour("-1,0,0"), 0x000000FFu);
  EXPECT_EQ(parseColour("7"), 7u);
  EXPECT_EQ(parseColour(""), 0u);

  // Decimals read like the C runtime's but saturate.
  EXPECT_EQ(readDecimal(" 42px"), 42);
  EXPECT_EQ(readDecimal("-7"), -7);
  EXPECT_EQ(readDecimal("width"), 0);
  EXPECT_EQ(readDecimal("99999999999"), INT32_MAX);
  EXPECT_EQ(readDecimal("-99999999999"), INT32_MIN);

  // Random ids cover exactly 10000 to 18191.
  ControlIds ids(12345);
  int32_t low = INT32_MAX, high = INT32_MIN;
  for (int i = 0; i < 200000; ++i) {
    const int32_t id = ids.next();
    low = std::min(low, id);
    high = std::max(high, id);
  }
  EXPECT_EQ(low, kFirstRandomControlId);
  EXPECT_EQ(high, kLastRandomControlId);
}

#ifdef _WIN32
// The tables are typed by hand; the system headers are the authority.
TEST(SkinStyles, ValuesAreTheSystemConstants) {
// clang-format off
#define NAMED(n) {#n, static_cast<uint32_t>(n)}
  const StyleName system[] = {
      NAMED(WS_BORDER), NAMED(WS_CAPTION), NAMED(WS_CHILD), NAMED(WS_CHILDWINDOW),
      NAMED(WS_CLIPCHILDREN), NAMED(WS_CLIPSIBLINGS), NAMED(WS_DISABLED), NAMED(WS_DLGFRAME),
      NAMED(WS_GROUP), NAMED(WS_HSCROLL), NAMED(WS_ICONIC), NAMED(WS_MAXIMIZE),
      NAMED(WS_MAXIMIZEBOX), NAMED(WS_MINIMIZE), NAMED(WS_MINIMIZEBOX), NAMED(WS_OVERLAPPED),
      NAMED(WS_OVERLAPPEDWINDOW), NAMED(WS_POPUP), NAMED(WS_POPUPWINDOW), NAMED(WS_SIZEBOX),
      NAMED(WS_SYSMENU), NAMED(WS_TABSTOP), NAMED(WS_THICKFRAME), NAMED(WS_TILED),
      NAMED(WS_TILEDWINDOW), NAMED(WS_VISIBLE), NAMED(WS_VSCROLL), NAMED(ES_AUTOHSCROLL),
      NAMED(ES_AUTOVSCROLL), NAMED(ES_CENTER), NAMED(ES_LEFT), NAMED(ES_LOWERCASE),
      NAMED(ES_MULTILINE), NAMED(ES_NOHIDESEL), NAMED(ES_NUMBER), NAMED(ES_OEMCONVERT),
      NAMED(ES_PASSWORD), NAMED(ES_READONLY), NAMED(ES_RIGHT), NAMED(ES_UPPERCASE),
      NAMED(ES_WANTRETURN), NAMED(CBS_AUTOHSCROLL), NAMED(CBS_DISABLENOSCROLL), NAMED(CBS_DROPDOWN),
      NAMED(CBS_DROPDOWNLIST), NAMED(CBS_HASSTRINGS), NAMED(CBS_LOWERCASE),
      NAMED(CBS_NOINTEGRALHEIGHT), NAMED(CBS_OEMCONVERT), NAMED(CBS_OWNERDRAWFIXED),
      NAMED(CBS_OWNERDRAWVARIABLE), NAMED(CBS_SIMPLE), NAMED(CBS_SORT), NAMED(CBS_UPPERCASE),
      NAMED(BS_VCENTER), NAMED(BS_TOP), NAMED(BS_BOTTOM), NAMED(BS_DEFPUSHBUTTON), NAMED(BS_FLAT),
      NAMED(BS_CENTER), NAMED(BS_LEFT), NAMED(BS_RIGHT), NAMED(BS_LEFTTEXT), NAMED(LVS_ICON),
      NAMED(LVS_LIST), NAMED(LVS_NOCOLUMNHEADER), NAMED(LVS_NOLABELWRAP), NAMED(LVS_NOSCROLL),
      NAMED(LVS_NOSORTHEADER), NAMED(LVS_REPORT), NAMED(LVS_SHAREIMAGELISTS),
      NAMED(LVS_SHOWSELALWAYS), NAMED(LVS_SINGLESEL), NAMED(LVS_SMALLICON),
      NAMED(LVS_SORTASCENDING), NAMED(LVS_SORTDESCENDING), NAMED(SS_REALSIZECONTROL),
      NAMED(SS_LEFT), NAMED(SS_RIGHT), NAMED(SS_CENTER), NAMED(SS_CENTERIMAGE),
      NAMED(WS_EX_APPWINDOW), NAMED(WS_EX_CLIENTEDGE), NAMED(WS_EX_DLGMODALFRAME),
      NAMED(WS_EX_NOPARENTNOTIFY), NAMED(WS_EX_TOPMOST), NAMED(WS_EX_ACCEPTFILES),
      NAMED(WS_EX_TRANSPARENT), NAMED(WS_EX_MDICHILD), NAMED(WS_EX_TOOLWINDOW),
      NAMED(WS_EX_WINDOWEDGE), NAMED(WS_EX_CONTEXTHELP), NAMED(WS_EX_RIGHT), NAMED(WS_EX_LEFT),
      NAMED(WS_EX_RTLREADING), NAMED(WS_EX_LTRREADING), NAMED(WS_EX_LEFTSCROLLBAR),
      NAMED(WS_EX_RIGHTSCROLLBAR), NAMED(WS_EX_CONTROLPARENT), NAMED(WS_EX_STATICEDGE),
      NAMED(WS_EX_OVERLAPPEDWINDOW), NAMED(WS_EX_PALETTEWINDOW), NAMED(WS_EX_LAYERED),
  };
#undef NAMED
  // clang-format on
  for (auto table : {styleNames(), exStyleNames()}) {
    for (const StyleName& entry : table) {
      if (entry.name == "BS_AUTOSIZECTRL") continue;  // ours
      const auto same = [&](const StyleName& s) { return s.name == entry.name; };
      const StyleName* found = std::find_if(std::begin(system), std::end(system), same);
      ASSERT_NE(found, std::end(system)) << entry.name;
      EXPECT_EQ(entry.value, found->value) << entry.name;
    }
  }
}
#endif

TEST(SkinTypes, LookupIgnoresCaseAndKnowsEveryRow) {
  ASSERT_NE(findControlType("Button"), nullptr);
  EXPECT_EQ(findControlType("BUTTON"), findControlType("button"));
  EXPECT_EQ(findControlType("buttons"), nullptr);
  EXPECT_EQ(findControlType(""), nullptr);
  for (const ControlType& row : controlTypes()) EXPECT_EQ(findControlType(row.name), &row);

  // One engine control behind "window" and "panel"; the buttons share an
  // interface; "group" is drawn by the button class.
  const auto& window = *findControlType("window");
  const auto& panel = *findControlType("panel");
  EXPECT_EQ(engineClassId(window), engineClassId(panel));
  EXPECT_EQ(engineInterfaceId(*findControlType("radio")),
            engineInterfaceId(*findControlType("check")));
  EXPECT_EQ(engineClassId(*findControlType("group")), engineClassId(*findControlType("button")));
  EXPECT_NE(engineClassId(*findControlType("treeview")), engineClassId(*findControlType("vdtree")));
}

TEST(SkinLayout, WindowsGetStylesATooltipControlsFoundInPreOrderMessagesPicturesAndTexts) {
  XmlDocument doc;
  ControlIds ids{7};
  const auto describe = [&](std::string_view xml) {
    EXPECT_TRUE(doc.parse(xml)) << xml;
    auto window = describeWindow(doc.root(), ids);
    EXPECT_TRUE(window.has_value());
    return window.value_or(ControlDescription{});
  };
  const ControlDescription w = describe(
      "<window name=\"panel\" caption=\"Tools\" x=\"5\" y=\"6\" width=\"300\" height=\"200\""
      " style_add=\"WS_BORDER\" style_remove=\"WS_CAPTION\" clientwidth=\"280\" "
      "clientheight=\"180\">"
      "<Button name=\"a\" id=\"42\"/><unknown name=\"gone\"><button name=\"lost\"/></unknown>"
      "<static name=\"b\" style_remove=\"WS_VISIBLE\"/>"
      "<tooltip name=\"c\" style_add=\"WS_BORDER\"/></window>");
  EXPECT_EQ(w.name, "panel");
  EXPECT_EQ(w.caption, "Tools");
  EXPECT_EQ(w.rect, (SkinRect{5, 6, 300, 200}));
  EXPECT_EQ(w.style, (0x06CC0000u | kBorder) & ~0x00C00000u);  // not made visible
  ASSERT_TRUE(w.clientSize);
  EXPECT_EQ(w.clientSize->width, 280);

  ASSERT_EQ(w.children.size(), 4u);
  const ControlDescription& tip = w.children[0];
  EXPECT_EQ(tip.name, kWindowTooltipName);
  EXPECT_EQ(tip.style, 0x80800000u);
  EXPECT_EQ(tip.exStyle, 0x8u);

  const ControlDescription& a = w.children[1];
  EXPECT_EQ(a.type, findControlType("button"));
  EXPECT_EQ(a.id, 42);
  EXPECT_EQ(a.style, 0x54010000u | kStyleVisible | kStyleChild);

  const ControlDescription& b = w.children[2];
  EXPECT_EQ(b.name, "b");
  EXPECT_FALSE(b.style & kStyleVisible);
  EXPECT_TRUE(b.style & kStyleChild);
  EXPECT_GE(b.id, kFirstRandomControlId);
  EXPECT_LE(b.id, kLastRandomControlId);

  // A pop-up control is not made a child.
  EXPECT_FALSE(w.children[3].style & kStyleChild);
  EXPECT_EQ(findControl(w, "lost"), nullptr);

  // Found by name in pre-order.
  const ControlDescription nested = describe(
      "<window name=\"w\"><panel name=\"p\"><panel name=\"q\"><button name=\"dup\" id=\"1\"/>"
      "</panel></panel><button name=\"dup\" id=\"2\"/></window>");
  ASSERT_NE(findControl(nested, "dup"), nullptr);
  EXPECT_EQ(findControl(nested, "dup")->id, 1);
  EXPECT_EQ(findControl(nested, "w"), &nested);
  EXPECT_EQ(findControl(nested, "_vdtooltip"), &nested.children[0]);
  EXPECT_EQ(findControl(nested, "DUP"), nullptr);

  // Attributes become messages and styles.
  const ControlDescription m = describe(
      "<window name=\"w\" font=\"Segoe UI,9\" minwidth=\"200\">"
      "<edit name=\"e\" number password=\"true\" max_len=\"8\" readonly/>"
      "<check name=\"c\" checked icon=\"pen.bmp\" transparent_key=\"255,0,255\" iconsize=\"24\""
      " tip=\"Pen\"/>"
      "<trackbar name=\"t\" range_min=\"1\" range_max=\"20\" pos=\"3\"/>"
      "<static name=\"s\" back_color=\"-1,-1,-1\"/>"
      "<button name=\"plain\" noskin><skin/><data/></button></window>");
  EXPECT_EQ(m.messages[0], (SkinMessage{kEngineFont, 9, 0, "Segoe UI"}));
  EXPECT_EQ(m.messages[1], (SkinMessage{kEngineMinSize, 200, 0, std::nullopt}));

  const ControlDescription* e = findControl(m, "e");
  EXPECT_EQ(e->style & (kStyleEditNumber | kStyleEditPassword),
            kStyleEditNumber | kStyleEditPassword);
  EXPECT_EQ(e->messages,
            (std::vector<SkinMessage>{{0xC5, 8, 0, std::nullopt}, {0xCF, 1, 0, std::nullopt}}));

  const ControlDescription* c = findControl(m, "c");
  EXPECT_EQ(c->messages,
            (std::vector<SkinMessage>{{kEnginePicture, 0xFF00FF | 24ull << 32, 0, "pen.bmp"},
                                      {0xF1, 1, 0, std::nullopt},
                                      {kEngineTip, 0, 0, "Pen"}}));

  const ControlDescription* t = findControl(m, "t");
  ASSERT_EQ(t->messages.size(), 3u);
  EXPECT_EQ(t->messages[1], (SkinMessage{0x408, 1, 20, std::nullopt}));

  EXPECT_EQ(findControl(m, "s")->messages[0],
            (SkinMessage{kEngineColour, kColourBack, 0xFFFFFFFF, std::nullopt}));

  const ControlDescription* plain = findControl(m, "plain");
  EXPECT_FALSE(plain->skinPart.exists());
  EXPECT_TRUE(plain->dataPart.exists());

  // Pictures are found beside their skin file and keys show their texts.
  ControlDescription keyed = describe(
      "<window name=\"keyed\" caption=\"Title_Key\" icon=\"C:\\abs.bmp\">"
      "<button name=\"b\" icon=\"icons/24/pen.bmp\" tip=\"Tip_Key\" caption=\"50%\"/>"
      "<image name=\"i\" src=\"/root.bmp\"/></window>");
  LanguageTexts texts;
  ASSERT_TRUE(
      texts.loadText("<language><text key=\"Title_Key\">Whiteboard</text>"
                     "<text key=\"Tip_Key\">Pen \xE2\x9C\x8E</text></language>"));
  localiseDescription(keyed, "D:\\skin\\ScriblySkin\\", texts);
  EXPECT_EQ(keyed.caption, "Whiteboard");
  EXPECT_EQ(*keyed.messages[0].text, "C:\\abs.bmp");
  const ControlDescription* button = findControl(keyed, "b");
  EXPECT_EQ(button->caption, "50%");  // not a key: shown as written
  EXPECT_EQ(*button->messages[0].text, "D:\\skin\\ScriblySkin\\icons/24/pen.bmp");
  EXPECT_EQ(*button->messages[1].text, "Pen \xE2\x9C\x8E");
  EXPECT_EQ(*findControl(keyed, "i")->messages[0].text, "/root.bmp");
}

}  // namespace
}  // namespace scribly
