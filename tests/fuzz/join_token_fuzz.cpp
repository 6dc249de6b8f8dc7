// Fuzzes the join token's parser: any bytes are checked without harm, and a
// token issued for the conference and user the input names is valid exactly
// until one of its bytes changes.
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "relayd/join_token.h"

namespace {

struct Keys {
  std::unique_ptr<scribly::TokenSigner> signer;
  scribly::TokenVerifier verifier;
  Keys() {
    char dir[] = "/tmp/join_token_fuzz.XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    const std::string priv = std::string(dir) + "/private.pem";
    const std::string pub = std::string(dir) + "/public.pem";
    std::string error;
    if (!scribly::generateTokenKeys(priv, pub, &error) ||
        !verifier.addPublicKeyFile(7, pub, &error))
      std::abort();
    signer = scribly::TokenSigner::fromPrivateKeyFile(priv, 7, &error);
    unlink(priv.c_str());
    unlink(pub.c_str());
    rmdir(dir);
    if (!signer) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using scribly::TokenVerdict;
  static Keys keys;
  const std::span<const uint8_t> input(data, size);
  const uint64_t now = 1'700'000'000;
  keys.verifier.check(input, "room", 1, now);
  if (size < 2) return 0;
  const std::string conference(reinterpret_cast<const char*>(data + 2),
                               std::min<size_t>(size - 2, 70));
  const uint32_t user = data[0];
  std::vector<uint8_t> token = keys.signer->issue(conference, user, now, size);
  if (token.empty()) return 0;
  if (keys.verifier.check(token, conference, user, now) != TokenVerdict::kValid) std::abort();
  token[data[1] % token.size()] ^= 0x20;
  if (keys.verifier.check(token, conference, user, now) == TokenVerdict::kValid) std::abort();
  return 0;
}
