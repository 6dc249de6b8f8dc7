#include <gtest/gtest.h>

#include <string>

#include "base/ascii.h"
#include "base/module_paths.h"
#include "base/relative_path.h"
#include "base/user_names.h"

namespace scribly {
namespace {

TEST(PathsAndCase, CaseAndExtensionsTouchOnlyAsciiOfTheLastComponentFoldersEndAtItsSeparator) {
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

  // Module folders are cut at the last backslash and joined with one separator.
  EXPECT_EQ(folderOf("C:\\Program Files\\Conf\\Plugins\\scribly.dll"),
            "C:\\Program Files\\Conf\\Plugins");
  EXPECT_EQ(folderOf("scribly.dll"), "");
  EXPECT_EQ(installFolderOf("C:\\Program Files\\Conf\\Plugins"), "C:\\Program Files\\Conf");
  EXPECT_EQ(installFolderOf("C:\\Conf\\Plugins\\"), "C:\\Conf");

  EXPECT_EQ(backgroundFolder("C:\\Skins\\Blue"), "C:\\Skins\\Blue\\Scribly\\Back\\");
  EXPECT_EQ(backgroundFolder("C:\\Skins\\Blue\\"), "C:\\Skins\\Blue\\Scribly\\Back\\");

  EXPECT_EQ(joinPath("C:\\a", "\\Scribly.xml"), "C:\\a\\Scribly.xml");
  EXPECT_EQ(joinPath("C:\\a\\", "Scribly.xml"), "C:\\a\\Scribly.xml");
  EXPECT_EQ(joinPath("", "x"), "x");
}

TEST(RelativePath, PlainNamesLeadDownFromTheFolderAndNothingOutsideItCanBeNamed) {
  EXPECT_EQ(fileInside("C:\\skin", "ScriblySkin/panels.xml"), "C:\\skin\\ScriblySkin/panels.xml");
  EXPECT_EQ(fileInside("/opt/skin/", "parts\\more.xml"), "/opt/skin/parts\\more.xml");
  // Names that only resemble the refused ones.
  for (const char* name :
       {" lead.xml", "a..b.lua", ".hidden", "console.xml", "com10.xml", "lpt.lua"})
    EXPECT_EQ(fileInside("C:\\skin", name), std::string("C:\\skin\\") + name);

  const char* const kRefused[] = {// Steps up or aside, and names Windows trims into them.
                                  "", "..", "../x.xml", "a/../../x.xml", "a\\..\\..\\x", ".\\x",
                                  "x/./y", "...", ". .", "a./b", "b ", "a//b", "a/",
                                  // Rooted, UNC, device paths and drives.
                                  "/etc/passwd", "\\x", "\\\\server\\share\\x.xml", "//server/x",
                                  "\\\\?\\C:\\x", "C:\\x.xml", "C:x.xml", "x.xml:stream",
                                  // Devices, wildcards and control characters.
                                  "NUL", "nul.xml", "Com1.lua", "a/lpt9", "CONOUT$", "con .txt",
                                  "COM\xC2\xB9", "a\tb", "x*.xml", "x?"};
  for (const char* name : kRefused) EXPECT_EQ(fileInside("C:\\skin", name), std::nullopt) << name;
  EXPECT_EQ(fileInside("", "x.xml"), std::nullopt);  // the current folder is no skin folder
}

using namespace std::string_literals;

TEST(XmlUserNames, NameInsideUserBasicWhereverItSitsClosedBeforeTheTextGoesWrong) {
  EXPECT_EQ(userNameFromInfo("<userbasic><id>7</id><name>Ann</name></userbasic>"), "Ann");
  EXPECT_EQ(userNameFromInfo("<user id=\"7\">\r\n"
                             "  <usersetting><name>wrong</name></usersetting>\r\n"
                             "  <userbasic>\r\n"
                             "    <nick>A</nick>\r\n"
                             "    <name>Ann &amp; Bo</name>\r\n"
                             "  </userbasic>\r\n"
                             "</user>\r\n"),
            "Ann & Bo");
  // Bytes pass through as UTF-8; the code page conversion happens later.
  EXPECT_EQ(userNameFromInfo("<userbasic><name>J\xC3\xBCrgen</name></userbasic>"), "J\xC3\xBCrgen");

  // No name gives an empty one.
  EXPECT_EQ(userNameFromInfo(""), "");
  EXPECT_EQ(userNameFromInfo("<user><name>outside</name></user>"), "");
  EXPECT_EQ(userNameFromInfo("<userbasic><Name>case</Name></userbasic>"), "");
  EXPECT_EQ(userNameFromInfo("<userbasic><name/></userbasic>"), "");

  // Hosts cut the text at their buffer's end or leave bytes after it: a name
  // closed before the text goes wrong is read, one cut or left open is not.
  EXPECT_EQ(userNameFromInfo("<userbasic><name>Ann</name>"), "Ann");
  EXPECT_EQ(userNameFromInfo("<userbasic><name>Ann</name></userbasic>\0junk"s), "Ann");
  EXPECT_EQ(userNameFromInfo("<userbasic><name>Ann</name></userbasic><<"), "Ann");
  EXPECT_EQ(userNameFromInfo("<userbasic><name>Ann</nam></userbasic>"), "");
  EXPECT_EQ(userNameFromInfo("<userbasic><name>An"), "");
  EXPECT_EQ(userNameFromInfo("<userbasic><name>Ann<b></name></userbasic>"), "");
  EXPECT_EQ(userNameFromInfo("<?xml version=\"1.0\"?><userbasic><name>Ann</name></userbasic>"), "");

  const std::string info = "<userbasic><name>Ann</name></userbasic>";
  std::string buffer(kUserInfoBufferBytes, '\0');
  buffer.replace(0, info.size(), info);
  EXPECT_EQ(userNameFromInfo(buffer), "Ann");

  // A host that fills the buffer leaves no terminator: the text ends there.
  std::string full = "<user><userbasic><name>Ann</name><sign>";
  full += std::string(kUserInfoBufferBytes, 'x');
  full += "</sign></userbasic></user>";
  EXPECT_EQ(userNameFromInfo(std::string_view(full).substr(0, kUserInfoBufferBytes)), "Ann");
}

}  // namespace
}  // namespace scribly
