#include "base/ascii.h"

#include <gtest/gtest.h>

namespace scribly {
namespace {

TEST(Ascii, CaseAndExtensionsTouchOnlyAsciiLettersOfTheLastComponent) {
  EXPECT_TRUE(equalsIgnoringCase("WS_Child", "ws_CHILD"));
  EXPECT_FALSE(equalsIgnoringCase("ws_child", "ws_chil"));
  // "[" and "{" sit 0x20 apart like the letters; UTF-8 bytes stay as they are.
  EXPECT_FALSE(equalsIgnoringCase("[", "{"));
  EXPECT_EQ(lowerAscii("\xC3\x89T\xC3\xA9.JPG"), "\xC3\x89t\xC3\xA9.jpg");
  EXPECT_FALSE(equalsIgnoringCase(L"\u00C9", L"\u00E9"));

  EXPECT_EQ(extensionOf("C:\\a.b\\c.d.JPEG"), ".JPEG");
  EXPECT_EQ(extensionOf("C:\\dir.pdf\\plain"), "");
  EXPECT_EQ(extensionOf("/tmp/x.y/notes"), "");
  EXPECT_TRUE(hasExtension("photo.Gif", ".gif"));
  EXPECT_FALSE(hasExtension("photo.gif.bak", ".gif"));
  EXPECT_TRUE(hasExtension(L"C:\\pages\\1.BMP", L".bmp"));
  EXPECT_FALSE(hasExtension(L"C:\\x.bmp\\1", L".bmp"));
}

}  // namespace
}  // namespace scribly
