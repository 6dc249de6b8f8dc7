#include "skin/skin_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

class SkinDocumentTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::TempDir() + "scribly_skin_" +
              testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_ + "/parts");
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string write(const std::string& name, const std::string& text) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  std::vector<std::string> names(const SkinDocument& doc) {
    std::vector<std::string> out;
    for (XmlElementHandle e : doc.descriptions()) out.push_back(e.attribute("name").value());
    return out;
  }

  std::string folder_;
  RecordingScripts scripts_;
};

TEST_F(SkinDocumentTest, IncludesAndScriptsLoadInFileOrderBesideTheirIncluder) {
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
  ASSERT_TRUE(doc.loadFile(top, &scripts_));
  EXPECT_EQ(names(doc),
            (std::vector<std::string>{"contents menu", "tip panel", "scribly main frame"}));
  EXPECT_EQ(scripts_.calls,
            (std::vector<std::string>{"file " + folder_ + "/tools.lua", "run y = 2"}));
  ASSERT_EQ(doc.problems().size(), 1u);
  EXPECT_NE(doc.problems()[0].find("missing.xml"), std::string::npos);

  // Each description knows its file, so its pictures are found beside it.
  EXPECT_EQ(doc.fileOf(doc.findWindow("window", "tip panel")), folder_ + "/parts/panels.xml");
  EXPECT_EQ(doc.fileOf(doc.findWindow("window", "scribly main frame")), top);
  EXPECT_EQ(doc.fileOf(doc.descriptions()[0].firstChild()), "");

  EXPECT_TRUE(doc.findWindow("Window", "tip panel"));
  EXPECT_FALSE(doc.findWindow("menu", "tip panel"));
  EXPECT_FALSE(doc.findWindow("window", "Tip panel"));
}

TEST_F(SkinDocumentTest, BrokenIncludeAddsNothingAndTheRestLoads) {
  write("broken.xml", "<skin><skins><window name=\"half\"/></skins><oops</skin>");
  const std::string top = write(
      "top.xml", "<skin><include src=\"broken.xml\"/><skins><window name=\"ok\"/></skins></skin>");
  SkinDocument doc;
  ASSERT_TRUE(doc.loadFile(top, &scripts_));
  EXPECT_EQ(names(doc), (std::vector<std::string>{"ok"}));
  EXPECT_FALSE(doc.loadFile(folder_ + "/nothing.xml", &scripts_));
}

TEST_F(SkinDocumentTest, IncludesAndScriptsStayInTheSkinFolder) {
  write("outside.xml", "<skin><skins><window name=\"planted\"/></skins></skin>");
  write("outside.lua", "x = 1");
  std::filesystem::create_directories(folder_ + "/skin");
  const std::string top = write(
      "skin/top.xml", "<skin><include src=\"../outside.xml\"/><include src=\"" + folder_ +
                          "/outside.xml\"/><include src=\"outside.xml\"/>"
                          "<script src=\"../outside.lua\"/><script src=\"" +
                          folder_ + "/outside.lua\"/><skins><window name=\"own\"/></skins></skin>");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder_);  // where a name not found beside its skin was looked for
  SkinDocument doc;
  const bool loaded = doc.loadFile(top, &scripts_);
  std::filesystem::current_path(before);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(names(doc), (std::vector<std::string>{"own"}));
  EXPECT_TRUE(scripts_.calls.empty());
  EXPECT_EQ(doc.problems().size(), 5u);
}

// A skin that includes itself twice would load 2^depth files without caps.
TEST_F(SkinDocumentTest, SelfIncludeStopsAtTheCaps) {
  const std::string top = write("loop.xml",
                                "<skin><include src=\"loop.xml\"/><include src=\"loop.xml\"/>"
                                "<skins><window name=\"w\"/></skins></skin>");
  SkinDocument doc(SkinLoadLimits{.maxIncludeDepth = 4, .maxFiles = 10});
  ASSERT_TRUE(doc.loadFile(top, &scripts_));
  EXPECT_EQ(doc.descriptions().size(), 10u);

  SkinDocument shallow(SkinLoadLimits{.maxIncludeDepth = 2});
  ASSERT_TRUE(shallow.loadFile(top, &scripts_));
  EXPECT_EQ(shallow.descriptions().size(), 7u);  // 1 + 2 + 4
}

}  // namespace
}  // namespace scribly
