#include <gtest/gtest.h>

#include "base/user_names.h"
#include "host/user_info.h"

namespace scribly {
namespace {

// What the host writes must be what plug-ins read back as the name.
TEST(HostUserInfo, PluginsReadBackTheNameEvenWithMarkupInIt) {
  EXPECT_EQ(userNameFromInfo(userInfoXml(1, "Ann")), "Ann");
  EXPECT_EQ(userNameFromInfo(userInfoXml(7, "Ben <&> \"Co\"")), "Ben <&> \"Co\"");
  EXPECT_EQ(userNameFromInfo(userInfoXml(2, "")), "");
}

}  // namespace
}  // namespace scribly
