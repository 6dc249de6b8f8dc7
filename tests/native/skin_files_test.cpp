// Skin documents: includes and scripts load in file order from inside the
// skin's folder, within caps. Then the shipped skin, loaded from the source
// tree as the plug-in loads it from its folder: every window and menu the
// program finds by name is there, every text it names has a language entry,
// every picture is a bitmap the engine can read, and every click script
// raises the command the frame expects.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/bmp_file.h"
#include "base/file_bytes.h"
#include "base/picture_header.h"
#include "board/tool_table.h"
#include "skin/language_keys.h"
#include "skin/language_texts.h"
#include "skin/skin_document.h"
#include "skin/skin_layout.h"
#include "skin/style_names.h"
#include "uiengine/script_interpreter.h"

namespace scribly {
namespace {

class RecordingScripts : public SkinScripts {
 public:
  void loadScriptFile(const std::string& path) override { calls.push_back("file " + path); }
  void runScriptSource(std::string_view source) override {
    calls.push_back("run " + std::string(source));
  }
  std::vector<std::string> calls;
};

std::vector<std::string> names(const SkinDocument& doc) {
  std::vector<std::string> out;
  for (XmlElementHandle e : doc.descriptions()) out.push_back(e.attribute("name").value());
  return out;
}

TEST(
    SkinDocument,
    IncludesAndScriptsLoadInOrderBesideTheirIncluderInsideTheFolderWithinCapsBrokenOnesAddNothing) {
  const std::string folder = testing::TempDir() + "scribly_skin_includes";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder + "/parts");
  const auto write = [&folder](const std::string& name, const std::string& text) {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  };
  RecordingScripts scripts;
  write("parts/panels.xml",
        "<skin><include src=\"more.xml\"/><skins><window name=\"tip panel\"/></skins></skin>");
  write("parts/more.xml", "<skin><skins><menu name=\"contents menu\"/></skins></skin>");
  write("tools.lua", "x = 1");
  const std::string top =
      write("Scribly.xml",
            "\xEF\xBB\xBF<skin><script src=\"tools.lua\"/><script>y = 2</script>"
            "<include src=\"parts/panels.xml\"/><include src=\"missing.xml\"/>"
            "<skins><window name=\"scribly main frame\"/></skins><other><dummy/></other></skin>");

  SkinDocument doc;
  ASSERT_TRUE(doc.loadFile(top, &scripts));
  EXPECT_EQ(names(doc),
            (std::vector<std::string>{"contents menu", "tip panel", "scribly main frame"}));
  EXPECT_EQ(scripts.calls,
            (std::vector<std::string>{"file " + folder + "/tools.lua", "run y = 2"}));
  ASSERT_EQ(doc.problems().size(), 1u);
  EXPECT_NE(doc.problems()[0].find("missing.xml"), std::string::npos);

  // Each description knows its file, so its pictures are found beside it.
  EXPECT_EQ(doc.fileOf(doc.findWindow("window", "tip panel")), folder + "/parts/panels.xml");
  EXPECT_EQ(doc.fileOf(doc.findWindow("window", "scribly main frame")), top);
  EXPECT_EQ(doc.fileOf(doc.descriptions()[0].firstChild()), "");

  EXPECT_TRUE(doc.findWindow("Window", "tip panel"));
  EXPECT_FALSE(doc.findWindow("menu", "tip panel"));
  EXPECT_FALSE(doc.findWindow("window", "Tip panel"));

  // A broken include adds nothing and the rest loads.
  write("broken.xml", "<skin><skins><window name=\"half\"/></skins><oops</skin>");
  const std::string withBroken = write(
      "top.xml", "<skin><include src=\"broken.xml\"/><skins><window name=\"ok\"/></skins></skin>");
  SkinDocument partial;
  ASSERT_TRUE(partial.loadFile(withBroken, &scripts));
  EXPECT_EQ(names(partial), (std::vector<std::string>{"ok"}));
  EXPECT_FALSE(partial.loadFile(folder + "/nothing.xml", &scripts));

  // Includes and scripts stay in the skin folder.
  write("outside.xml", "<skin><skins><window name=\"planted\"/></skins></skin>");
  write("outside.lua", "x = 1");
  std::filesystem::create_directories(folder + "/skin");
  const std::string confinedTop = write(
      "skin/top.xml", "<skin><include src=\"../outside.xml\"/><include src=\"" + folder +
                          "/outside.xml\"/><include src=\"outside.xml\"/>"
                          "<script src=\"../outside.lua\"/><script src=\"" +
                          folder + "/outside.lua\"/><skins><window name=\"own\"/></skins></skin>");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder);  // where a name not found beside its skin was looked for
  scripts.calls.clear();
  SkinDocument confined;
  const bool loaded = confined.loadFile(confinedTop, &scripts);
  std::filesystem::current_path(before);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(names(confined), (std::vector<std::string>{"own"}));
  EXPECT_TRUE(scripts.calls.empty());
  EXPECT_EQ(confined.problems().size(), 5u);

  // A skin that includes itself twice would load 2^depth files without caps.
  const std::string loop = write("loop.xml",
                                 "<skin><include src=\"loop.xml\"/><include src=\"loop.xml\"/>"
                                 "<skins><window name=\"w\"/></skins></skin>");
  SkinDocument capped(SkinLoadLimits{.maxIncludeDepth = 4, .maxFiles = 10});
  ASSERT_TRUE(capped.loadFile(loop, &scripts));
  EXPECT_EQ(capped.descriptions().size(), 10u);

  SkinDocument shallow(SkinLoadLimits{.maxIncludeDepth = 2});
  ASSERT_TRUE(shallow.loadFile(loop, &scripts));
  EXPECT_EQ(shallow.descriptions().size(), 7u);  // 1 + 2 + 4
  std::filesystem::remove_all(folder);
}

const std::string kSkinFolder = std::string(SCRIBLY_SOURCE_DIR) + "/resources/skin/";
// The included skin files live here, and name their pictures from here.
const std::string kPartsFolder = kSkinFolder + "ScriblySkin/";

// A 24-bit uncompressed bitmap whose headers agree with its length; none otherwise.
std::optional<PictureFileHeader> readBitmap(const std::string& path) {
  const FileReadResult file = readFileBytes(path, 1 << 20);
  const std::optional<PictureFileHeader> header = readPictureFileHeader(file.bytes);
  if (!file.ok() || !header || header->type != PictureFileType::Bmp || file.bytes[28] != 24)
    return std::nullopt;
  const std::optional<BmpLayout> layout = bmpLayout(header->width, header->height, 24);
  return layout && layout->fileBytes() == file.bytes.size() ? header : std::nullopt;
}

void forEachElement(XmlElementHandle e, const std::function<void(XmlElementHandle)>& visit) {
  visit(e);
  for (XmlElementHandle child = e.firstChild(); child; child = child.nextSibling())
    forEachElement(child, visit);
}

void forEachControl(const ControlDescription& c,
                    const std::function<void(const ControlDescription&)>& visit) {
  visit(c);
  for (const ControlDescription& child : c.children) forEachControl(child, visit);
}

TEST(SkinFiles, HoldEveryElementItemTextAndPictureTheProgramNamesAndClicksRaiseTheirCommands) {
  SkinDocument skin;
  RecordingScripts loaded;
  LanguageTexts texts;
  ASSERT_TRUE(skin.loadFile(kSkinFolder + "Scribly.xml", &loaded));
  ASSERT_TRUE(texts.load(std::string(SCRIBLY_SOURCE_DIR) + "/resources/Scribly_LANG.xml"));
  EXPECT_EQ(skin.problems(), std::vector<std::string>{});
  ASSERT_EQ(loaded.calls.size(), 1u);  // the click scripts, run below
  const auto window = [&skin](std::string_view name) {
    ControlIds ids(1);
    std::optional<ControlDescription> built = describeWindow(skin.findWindow("window", name), ids);
    EXPECT_TRUE(built) << name;
    return built.value_or(ControlDescription{});
  };
  const auto menuItems = [&skin](std::string_view menu) {
    std::vector<std::string> names;
    for (XmlElementHandle item = skin.findWindow("menu", menu).firstChild(); item;
         item = item.nextSibling())
      names.push_back(item.attribute("name").value());
    return names;
  };

  // Every element the program finds by name, in the window it looks in.
  const std::pair<std::string_view, std::vector<std::string_view>> named[] = {
      {"scribly main frame",
       {"view wnd",      "color picker", "line width", "font set",      "privtip",
        "curpageinfo",   "paste",        "clrscr",     "save",          "PS_SOLID",
        "PS_DASH",       "PS_DOT",       "PS_DASHDOT", "PS_DASHDOTDOT", "pageLeft",
        "pageRight",     "contents",     "add page",   "add share doc", "screen cap",
        "ext panel btn", "ext panel",    "tool bar",   "tool panel",    "vdtree"}},
      {"scribly tip panel",
       {"Info Title", "Info Contents", "btn start share", "btn stop share", "scribly tip edit",
        "scribly_quality_text_pic", "scribly_quality_text", "btn chose sharedoc"}},
      {"scribly EditPicture panel",
       {"painter editpic btnReset", "painter editpic btnHReversal", "painter editpic btnVReversal",
        "painter editpic btnLRotate", "painter editpic btnRRotate",
        "scribly editpic editRotateAngle", "painter trackbar brightness",
        "painter trackbar contrast", "painter trackbar size"}},
      {"scribly contents panel", {"vdtree"}},
      {"scribly chose line panel", {"line", "lineSA", "lineDA"}},
      {"scribly chose circle panel",
       {"ellipse", "halfcircle1", "halfcircle2", "halfcircle3", "halfcircle4"}},
  };
  for (const auto& [in, names] : named) {
    const ControlDescription w = window(in);
    for (std::string_view name : names) EXPECT_TRUE(findControl(w, name)) << in << ": " << name;
  }
  EXPECT_TRUE(skin.findWindow("window", "ext tool box"));
  const ControlDescription frame = window("scribly main frame");
  // Hidden until the frame's layout or privileges say otherwise.
  EXPECT_FALSE(findControl(frame, "privtip")->style & kStyleVisible);
  EXPECT_FALSE(findControl(frame, "ext panel btn")->style & kStyleVisible);

  const ControlDescription* tools = findControl(frame, "tool panel");
  ASSERT_TRUE(tools);
  for (const ToolName& tool : kToolTable) {
    const ControlDescription* button = findControl(*tools, tool.name);
    ASSERT_TRUE(button) << tool.name;
    EXPECT_EQ(button->type->name, "button");
    EXPECT_FALSE(button->element.attribute("tip").value().empty()) << tool.name;
  }

  const ControlDescription palette = window("scribly color pick panel");
  std::set<int32_t> ids;
  forEachControl(palette, [&](const ControlDescription& c) { ids.insert(c.id); });
  EXPECT_TRUE(ids.count(100) && ids.count(101));  // more colours, no colour

  // The frame lives inside the host's window; the panels float above it.
  EXPECT_EQ(frame.style & (kStyleChild | kStylePopup | parseStyle("WS_CAPTION")), kStyleChild);
  EXPECT_TRUE(window("scribly tip panel").style & kStylePopup);
  EXPECT_TRUE(palette.style & kStylePopup);

  // Menus offer the commands the program handles at their indexes.
  // Items are enabled by index, so the order is part of the contract.
  EXPECT_EQ(menuItems("right mouseclick"),
            (std::vector<std::string>{"copy", "paste", "delete", "editpic", "rotate90", "saveto"}));
  EXPECT_EQ(menuItems("dirroot menu"),
            (std::vector<std::string>{"print", "refresh", "ChangeLibPath"}));
  EXPECT_EQ(menuItems("contents menu"),
            (std::vector<std::string>{"rename", "delete", "refresh", "savepdf", "savepng"}));

  const std::vector<std::string> scales = menuItems("set bkgndscale");
  EXPECT_EQ(std::set<std::string>(scales.begin(), scales.end()),
            (std::set<std::string>{"scale_50", "scale_65", "scale_75", "scale_85", "scale_100",
                                   "scale_125", "scale_150", "scale_200", "scale_wfit",
                                   "scale_hfit", "scale_BestFit"}));

  // "custom" picks a file and "none" names no template, which clears the
  // background; every other item must be a template the board can load.
  const std::vector<std::string> backgrounds = menuItems("set bkgnd");
  EXPECT_EQ(backgrounds.at(0), "custom");
  for (const std::string& name : backgrounds) {
    if (name == "custom" || name == "none") continue;
    EXPECT_TRUE(readBitmap(kSkinFolder + "Back/" + name + ".bmp")) << name;
  }
  // The page and library trees show their items' pictures by number.
  for (int number : {11, 12, 21, 22, 31, 32, 41, 42, 51, 52})
    EXPECT_TRUE(readBitmap(kSkinFolder + "VDTree/" + std::to_string(number) + ".bmp")) << number;

  // Every key of the program has a text that fits every buffer.
  std::set<std::string> keys(kLanguageKeys.begin(), kLanguageKeys.end());
  for (const std::string& key : keys) {
    EXPECT_FALSE(texts.text(key).empty()) << key;
    EXPECT_LT(texts.text(key).size(), kShortTextBytes) << key;
  }

  // Runs the skin's click scripts against a stand-in of the engine's API that
  // records what they ask for.
  std::vector<std::string> log;
  ScriptInterpreter scripts([&](std::string_view line) { log.emplace_back(line); });
  ASSERT_TRUE(scripts.runSource(R"(
    names, current = {}, 0
    ui = {}
    function ui.control() return current end
    function ui.window() return 1 end
    function ui.find(window, name)
      for control, n in pairs(names) do if n == name then return control end end
      return 0
    end
    function ui.check(control, on) if on then print("checked", names[control]) end end
    function ui.command(command, argument) print("command", names[current], command) end
    function Click(control, name, handler) names[control] = name; current = control; _G[handler]() end
  )"));
  ASSERT_TRUE(scripts.loadScriptFile(loaded.calls[0].substr(5)));

  // What the command table expects each clickable element to raise.
  std::map<std::string, std::string> expected = {{"contents", "Contents"},
                                                 {"paste", "Paste"},
                                                 {"pageLeft", "SetPage"},
                                                 {"pageRight", "SetPage"}};
  for (const char* name : {"PS_SOLID", "PS_DASH", "PS_DOT", "PS_DASHDOT", "PS_DASHDOTDOT"})
    expected[name] = "SelectLineStyle";
  for (const char* name : {"add page", "add share doc"}) expected[name] = "PageOpt";
  for (const char* name : {"scribly_quality_text", "scribly_quality_text_pic"})
    expected[name] = "SelectPrintQuality";
  for (const ToolName& tool : kToolTable) expected[std::string(tool.name)] = "SelectTool";

  // Every element of every description: its style names, texts, pictures and click.
  size_t pictures = 0;
  int control = 100;
  std::set<std::string> clicked;
  for (XmlElementHandle description : skin.descriptions()) {
    forEachElement(description, [&](XmlElementHandle e) {
      // A misspelt style name would quietly count as 0.
      for (std::string_view attribute : {"style_add", "style_remove"}) {
        std::string_view styles = e.attribute(attribute).value();
        while (!styles.empty()) {
          const std::string_view token = styles.substr(0, styles.find('|'));
          styles.remove_prefix(std::min(styles.size(), token.size() + 1));
          EXPECT_TRUE(parseStyle(token) || parseExStyle(token)) << token;
        }
      }
      for (std::string_view attribute : {"tip", "caption"}) {
        const std::string& value = e.attribute(attribute).value();
        if (value.rfind("Scribly_", 0) != 0) continue;
        keys.insert(value);
        EXPECT_TRUE(texts.contains(value)) << value;
      }
      for (std::string_view attribute : {"icon", "src"}) {
        const std::string& value = e.attribute(attribute).value();
        if (value.empty()) continue;
        ++pictures;
        const std::optional<PictureFileHeader> small = readBitmap(kPartsFolder + value);
        ASSERT_TRUE(small) << value;
        if (e.attribute("iconsize").present()) {
          EXPECT_EQ(small->width, std::stoul(e.attribute("iconsize").value())) << value;
        }
        // The same picture for 144 dots per inch, half as large again.
        std::string large = value;
        const size_t at = large.find("/24/");
        ASSERT_NE(at, std::string::npos) << value;
        large.replace(at, 4, "/36/");
        const std::optional<PictureFileHeader> big = readBitmap(kPartsFolder + large);
        ASSERT_TRUE(big) << large;
        EXPECT_EQ(big->width * 2, small->width * 3) << large;
        EXPECT_EQ(big->height * 2, small->height * 3) << large;
      }
      const std::string& handler = e.attribute("onclick").value();
      if (handler.empty()) return;
      const std::string& name = e.attribute("name").value();
      log.clear();
      ASSERT_TRUE(scripts.runSource("Click(" + std::to_string(++control) + ", \"" + name +
                                    "\", \"" + handler + "\")"))
          << name << ": " << (log.empty() ? "" : log.back());
      ASSERT_FALSE(log.empty()) << name;
      const auto wanted = expected.find(name);
      if (wanted != expected.end()) {
        EXPECT_EQ(log.back(), "command\t" + name + "\t" + wanted->second);
        clicked.insert(name);
      }
    });
  }
  EXPECT_GT(pictures, 40u);
  // No text is left behind that neither the program nor the skin shows.
  EXPECT_EQ(texts.size(), keys.size());
  for (const auto& [name, command] : expected) EXPECT_TRUE(clicked.count(name)) << name;

  // A tool click leaves exactly the clicked tool checked.
  log.clear();
  ASSERT_TRUE(scripts.runSource("names = {}; Click(1, \"rect\", \"OnSelectTool\")"));
  EXPECT_EQ(log, (std::vector<std::string>{"checked\trect", "command\trect\tSelectTool"}));
}

}  // namespace
}  // namespace scribly
