// The relay node's edge: join tokens, and sessions driven over a real socket
// with the frame codec against the suite's own redis-server.
#include <gtest/gtest.h>

#include <string>

#include "relayd/join_token.h"

namespace scribly {
namespace {

// A key pair in the test's temporary folder; `name` keeps suites apart.
std::string makeKeys(const std::string& name) {
  const std::string base = ::testing::TempDir() + "/" + name;
  std::string error;
  EXPECT_TRUE(generateTokenKeys(base + ".key.pem", base + ".pub.pem", &error)) << error;
  return base;
}

TEST(JoinToken, OnlyAnUnchangedTokenForThisConferenceAndUserIsValid) {
  const std::string ours = makeKeys("ours");
  const std::string theirs = makeKeys("theirs");
  std::string error;
  TokenVerifier verifier;
  ASSERT_TRUE(verifier.addPublicKeyFile(1, ours + ".pub.pem", &error)) << error;
  EXPECT_FALSE(verifier.addPublicKeyFile(2, ours + ".key.pem", &error));  // not a public key
  const auto signer = TokenSigner::fromPrivateKeyFile(ours + ".key.pem", 1, &error);
  const auto forger = TokenSigner::fromPrivateKeyFile(theirs + ".key.pem", 1, &error);
  const auto unknown = TokenSigner::fromPrivateKeyFile(ours + ".key.pem", 9, &error);
  ASSERT_TRUE(signer && forger && unknown);
  EXPECT_TRUE(signer->issue("no spaces", 5, 1000, 1).empty());

  const auto good = signer->issue("room", 5, 1000, 1);
  const std::vector<uint8_t> cut(good.begin(), good.begin() + 40);
  auto longer = good;
  longer.push_back(0);
  auto renamed = good;
  renamed[6] = '*';  // the name's first byte, signature intact
  const struct {
    std::vector<uint8_t> token;
    std::string conference;
    uint32_t user;
    uint64_t now;
    TokenVerdict verdict;
  } cases[] = {
      {good, "room", 5, 1030, TokenVerdict::kValid},
      {good, "room", 5, 1031, TokenVerdict::kExpired},
      {good, "Room", 5, 10, TokenVerdict::kOtherConference},
      {good, "room", 6, 10, TokenVerdict::kOtherUser},
      {forger->issue("room", 5, 1000, 1), "room", 5, 10, TokenVerdict::kBadSignature},
      {unknown->issue("room", 5, 1000, 1), "room", 5, 10, TokenVerdict::kUnknownKey},
      {cut, "room", 5, 10, TokenVerdict::kMalformed},
      {longer, "room", 5, 10, TokenVerdict::kMalformed},
      {renamed, "*oom", 5, 10, TokenVerdict::kMalformed},
      {{1}, "room", 5, 10, TokenVerdict::kMalformed},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(verifier.check(c.token, c.conference, c.user, c.now), c.verdict)
        << describe(c.verdict);
  }
}

}  // namespace
}  // namespace scribly
