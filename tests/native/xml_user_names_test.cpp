#include <gtest/gtest.h>

#include <string>

#include "base/user_names.h"

namespace scribly {
namespace {

using namespace std::string_literals;

TEST(XmlUserNames, NameInsideUserBasicWhereverItSits) {
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
}

TEST(XmlUserNames, NoNameGivesEmpty) {
  EXPECT_EQ(userNameFromInfo(""), "");
  EXPECT_EQ(userNameFromInfo("<user><name>outside</name></user>"), "");
  EXPECT_EQ(userNameFromInfo("<userbasic><Name>case</Name></userbasic>"), "");
  EXPECT_EQ(userNameFromInfo("<userbasic><name/></userbasic>"), "");
}

// Hosts cut the text at their buffer's end or leave bytes after it: a name
// closed before the text goes wrong is read, one cut or left open is not.
TEST(XmlUserNames, ANameClosedBeforeTheTextGoesWrongCountsAndNoOther) {
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
