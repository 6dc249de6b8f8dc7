#include "relayd/join_token.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "base/byte_io.h"

namespace scribly {

namespace {

constexpr uint8_t kTokenVersion = 1;
constexpr size_t kSignatureBytes = 64;
constexpr size_t kMaxConferenceBytes = 64;

struct KeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
struct ContextFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using ContextPtr = std::unique_ptr<EVP_MD_CTX, ContextFree>;
struct FileClose {
  void operator()(FILE* f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileClose>;

std::string sslError(const std::string& what) {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return what;
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return what + ": " + text;
}

bool validConference(std::string_view c) {
  if (c.empty() || c.size() > kMaxConferenceBytes) return false;
  for (char ch : c) {
    const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                    (ch >= '0' && ch <= '9') || ch == '_' || ch == '-';
    if (!ok) return false;
  }
  return true;
}

uint64_t u64(ByteReader& r) {
  const uint64_t low = r.u32();
  return low | (uint64_t{r.u32()} << 32);
}

struct Token {
  uint32_t keyId = 0;
  std::string conference;
  uint32_t user = 0;
  uint64_t expires = 0;
  std::span<const uint8_t> signedPart;
  std::span<const uint8_t> signature;
};

// Every field at its place and nothing after the signature.
bool parse(std::span<const uint8_t> bytes, Token& t) {
  ByteReader r(bytes);
  if (r.u8() != kTokenVersion) return false;
  t.keyId = r.u32();
  const auto name = r.bytes(r.u8());
  t.conference.assign(name.begin(), name.end());
  t.user = r.u32();
  t.expires = u64(r);
  u64(r);  // nonce: only makes each token unique
  if (!r.ok() || !validConference(t.conference)) return false;
  t.signedPart = bytes.first(r.offset());
  t.signature = r.bytes(kSignatureBytes);
  return r.ok() && r.atEnd();
}

KeyPtr readKey(const std::string& path, bool isPrivate, std::string* error) {
  FilePtr file(fopen(path.c_str(), "rb"));
  if (!file) {
    *error = "cannot open " + path;
    return nullptr;
  }
  KeyPtr key(isPrivate ? PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr)
                       : PEM_read_PUBKEY(file.get(), nullptr, nullptr, nullptr));
  if (!key) {
    *error = sslError("no PEM key in " + path);
    return nullptr;
  }
  if (EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) {
    *error = path + " does not hold an Ed25519 key";
    return nullptr;
  }
  return key;
}

// A file only its owner may read, replacing any earlier one.
FilePtr createPrivate(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  if (fchmod(fd, 0600) != 0) {
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, "wb");
  if (!file) close(fd);
  return FilePtr(file);
}

}  // namespace

const char* describe(TokenVerdict verdict) {
  switch (verdict) {
    case TokenVerdict::kValid:
      return "valid";
    case TokenVerdict::kMalformed:
      return "malformed token";
    case TokenVerdict::kUnknownKey:
      return "unknown token key";
    case TokenVerdict::kBadSignature:
      return "bad token signature";
    case TokenVerdict::kExpired:
      return "token expired";
    case TokenVerdict::kOtherConference:
      return "token for another conference";
    case TokenVerdict::kOtherUser:
      return "token for another user";
  }
  return "invalid token";
}

bool generateTokenKeys(const std::string& privatePath, const std::string& publicPath,
                       std::string* error) {
  KeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
  if (!key) {
    *error = sslError("key generation failed");
    return false;
  }
  FilePtr privateFile = createPrivate(privatePath);
  if (!privateFile ||
      !PEM_write_PrivateKey(privateFile.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) ||
      fclose(privateFile.release()) != 0) {
    *error = sslError("cannot write " + privatePath);
    return false;
  }
  FilePtr publicFile(fopen(publicPath.c_str(), "wb"));
  if (!publicFile || !PEM_write_PUBKEY(publicFile.get(), key.get()) ||
      fclose(publicFile.release()) != 0) {
    *error = sslError("cannot write " + publicPath);
    return false;
  }
  return true;
}

struct TokenSigner::Impl {
  KeyPtr key;
  uint32_t keyId = 0;
};

TokenSigner::TokenSigner(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TokenSigner::~TokenSigner() = default;

std::unique_ptr<TokenSigner> TokenSigner::fromPrivateKeyFile(const std::string& path,
                                                             uint32_t keyId, std::string* error) {
  KeyPtr key = readKey(path, true, error);
  if (!key) return nullptr;
  auto impl = std::make_unique<Impl>();
  impl->key = std::move(key);
  impl->keyId = keyId;
  return std::unique_ptr<TokenSigner>(new TokenSigner(std::move(impl)));
}

std::vector<uint8_t> TokenSigner::issue(std::string_view conference, uint32_t user,
                                        uint64_t expires, uint64_t nonce) const {
  if (!validConference(conference)) return {};
  ByteWriter w;
  w.u8(kTokenVersion).u32(impl_->keyId).u8(static_cast<uint8_t>(conference.size()));
  w.bytes(conference.data(), conference.size()).u32(user);
  w.u32(static_cast<uint32_t>(expires)).u32(static_cast<uint32_t>(expires >> 32));
  w.u32(static_cast<uint32_t>(nonce)).u32(static_cast<uint32_t>(nonce >> 32));
  std::vector<uint8_t> token = w.take();
  const size_t signedBytes = token.size();
  token.resize(signedBytes + kSignatureBytes);
  size_t length = kSignatureBytes;
  ContextPtr context(EVP_MD_CTX_new());
  if (!context ||
      EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, impl_->key.get()) != 1 ||
      EVP_DigestSign(context.get(), token.data() + signedBytes, &length, token.data(),
                     signedBytes) != 1 ||
      length != kSignatureBytes) {
    ERR_clear_error();
    return {};
  }
  return token;
}

struct TokenVerifier::Impl {
  std::map<uint32_t, KeyPtr> keys;
};

TokenVerifier::TokenVerifier() : impl_(std::make_unique<Impl>()) {}
TokenVerifier::~TokenVerifier() = default;

bool TokenVerifier::addPublicKeyFile(uint32_t keyId, const std::string& path, std::string* error) {
  KeyPtr key = readKey(path, false, error);
  if (!key) return false;
  impl_->keys[keyId] = std::move(key);
  return true;
}

TokenVerdict TokenVerifier::check(std::span<const uint8_t> token, std::string_view conference,
                                  uint32_t user, uint64_t now, uint64_t skewSeconds) const {
  Token t;
  if (!parse(token, t)) return TokenVerdict::kMalformed;
  const auto key = impl_->keys.find(t.keyId);
  if (key == impl_->keys.end()) return TokenVerdict::kUnknownKey;
  ContextPtr context(EVP_MD_CTX_new());
  const bool signedWell =
      context &&
      EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key->second.get()) == 1 &&
      EVP_DigestVerify(context.get(), t.signature.data(), t.signature.size(), t.signedPart.data(),
                       t.signedPart.size()) == 1;
  if (!signedWell) {
    ERR_clear_error();
    return TokenVerdict::kBadSignature;
  }
  if (now > t.expires && now - t.expires > skewSeconds) return TokenVerdict::kExpired;
  if (t.conference != conference) return TokenVerdict::kOtherConference;
  if (t.user != user) return TokenVerdict::kOtherUser;
  return TokenVerdict::kValid;
}

}  // namespace scribly
