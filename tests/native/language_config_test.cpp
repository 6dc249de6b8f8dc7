#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "skin/language_texts.h"
#include "skin/skin_config.h"

namespace scribly {
namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "scribly_cfg_" + name; }

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(LanguageTexts, CopiesAreCutOnCharacterBoundariesAndTerminated) {
  std::string chinese;
  for (int i = 0; i < 100; ++i) chinese += "\xE6\xB1\x89";  // three bytes each
  LanguageTexts texts;
  ASSERT_TRUE(texts.loadText("<language><text key=\"long\">" + chinese +
                             "</text><text key=\"bad\">a\xFF"
                             "b\xE6\xB1</text>"
                             "<text key=\"long\">second</text></language>"));

  char buffer[kShortTextBytes];
  std::memset(buffer, 0xCC, sizeof buffer);
  size_t size = sizeof buffer;
  ASSERT_TRUE(texts.copyText("long", buffer, &size));
  EXPECT_EQ(size, 126u);  // 42 whole characters; a 43rd would need 129 bytes with the zero
  EXPECT_EQ(std::string(buffer), chinese.substr(0, 126));

  size = sizeof buffer;
  ASSERT_TRUE(texts.copyText("bad", buffer, &size));
  EXPECT_EQ(std::string(buffer),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\xEF\xBF\xBD");

  size = 4;
  EXPECT_FALSE(texts.copyText("absent", buffer, &size));
  EXPECT_EQ(std::string(buffer), "abs");
  size = 0;
  EXPECT_FALSE(texts.copyText("long", buffer, &size));

  // A file that is not a language file leaves the texts as they were.
  EXPECT_FALSE(texts.loadText("<Scribly/>"));
  EXPECT_TRUE(texts.contains("long"));
}

TEST(Configuration, LibraryRootRoundTripKeepsTheByteOrderMark) {
  const std::string path = tempPath("roundtrip.xml");
  const std::string original =
      "\xEF\xBB\xBF<Scribly>  <dirroot  enable=\"true\" path=\"C:\\Lessons\"/></Scribly>";
  writeFile(path, original);
  EXPECT_EQ(readLibraryRoot(path), "C:\\Lessons");

  // The same folder again writes nothing: the file keeps its own layout.
  EXPECT_EQ(writeLibraryRoot(path, "C:\\Lessons"), ConfigWrite::Unchanged);
  EXPECT_EQ(readFile(path), original);

  EXPECT_EQ(writeLibraryRoot(path, "D:\\Shared & Co"), ConfigWrite::Written);
  EXPECT_EQ(readFile(path).substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(readLibraryRoot(path), "D:\\Shared & Co");
  EXPECT_EQ(readConfigItem(path, "dirroot"), "D:\\Shared & Co");
}

TEST(Configuration, RootCountsOnlyWhenEnabledPresentAndShort) {
  const std::string path = tempPath("cases.xml");
  writeFile(path, "<Scribly><dirroot enable=\"TRUE\" path=\"C:\\x\"/></Scribly>");
  EXPECT_EQ(readLibraryRoot(path), "");
  EXPECT_FALSE(libraryEnabled(path));
  // On without a folder yet: a folder chosen later shows at once.
  writeFile(path, "<Scribly><dirroot enable=\"true\" path=\"\"/></Scribly>");
  EXPECT_TRUE(libraryEnabled(path));
  EXPECT_EQ(readLibraryRoot(path), "");
  writeFile(path, "<Other><dirroot enable=\"true\" path=\"C:\\x\"/></Other>");
  EXPECT_EQ(readLibraryRoot(path), "");
  EXPECT_EQ(writeLibraryRoot(path, "C:\\y"), ConfigWrite::Failed);
  // 259 characters and the zero fill the 260-character buffer; one more does not fit.
  const auto withRoot = [&](size_t letters) {
    writeFile(path, "<Scribly><dirroot enable=\"true\" path=\"C:\\" + std::string(letters, 'a') +
                        "\"/></Scribly>");
    return readLibraryRoot(path).size();
  };
  EXPECT_EQ(withRoot(256), 259u);
  EXPECT_EQ(withRoot(257), 0u);

  const std::string missing = tempPath("missing.xml");
  std::remove(missing.c_str());
  EXPECT_EQ(readLibraryRoot(missing), "");
  EXPECT_EQ(writeLibraryRoot(missing, "C:\\y"), ConfigWrite::Failed);
  EXPECT_TRUE(readFile(missing).empty());
}

}  // namespace
}  // namespace scribly
