#pragma once
// Join tokens: the conference service signs (conference, user, expiry) with
// an Ed25519 key; relays hold only public keys, so a relay cannot mint one.
// Layout: `ver:u8 = 1 | kid:u32 | conf (u8 len, bytes) | user:u32 |
// exp:u64 (Unix seconds) | nonce:u64 | signature:64B`, little-endian, the
// signature over everything before it.
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace scribly {

enum class TokenVerdict : uint8_t {
  kValid,
  kMalformed,
  kUnknownKey,
  kBadSignature,
  kExpired,  // more than the allowed skew past its expiry
  kOtherConference,
  kOtherUser,
};
const char* describe(TokenVerdict verdict);

// Writes a fresh key pair as PEM files (private, public).
bool generateTokenKeys(const std::string& privatePath, const std::string& publicPath,
                       std::string* error);

class TokenSigner {
 public:
  static std::unique_ptr<TokenSigner> fromPrivateKeyFile(const std::string& path, uint32_t keyId,
                                                         std::string* error);
  ~TokenSigner();
  std::vector<uint8_t> issue(std::string_view conference, uint32_t user, uint64_t expires,
                             uint64_t nonce) const;

 private:
  struct Impl;
  explicit TokenSigner(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

class TokenVerifier {
 public:
  TokenVerifier();
  ~TokenVerifier();
  bool addPublicKeyFile(uint32_t keyId, const std::string& path, std::string* error);
  TokenVerdict check(std::span<const uint8_t> token, std::string_view conference, uint32_t user,
                     uint64_t now, uint64_t skewSeconds = 30) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace scribly
