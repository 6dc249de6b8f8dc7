// scribly-token: makes the conference service's Ed25519 keys and issues join
// tokens with them, for tests and small installs.
//
//   scribly-token keygen PRIVATE.pem PUBLIC.pem
//   scribly-token issue --key PRIVATE.pem --kid N --conference C --user U [--ttl SECONDS]
//
// issue prints the token as hex on one line.
#include <openssl/rand.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>

#include "relayd/join_token.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: scribly-token keygen PRIVATE.pem PUBLIC.pem\n"
               "       scribly-token issue --key PRIVATE.pem --kid N --conference C --user U "
               "[--ttl SECONDS]\n");
  return 2;
}

template <class T>
bool number(const std::string& s, T& out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return !s.empty() && ec == std::errc{} && end == s.data() + s.size();
}

int issue(int argc, char** argv) {
  std::map<std::string, std::string> options{{"--ttl", "3600"}};
  for (int i = 2; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  uint32_t kid = 0;
  uint32_t user = 0;
  uint64_t ttl = 0;
  if (argc % 2 != 0 || options.size() != 5 || !options.count("--key") ||
      !options.count("--conference") || !number(options["--kid"], kid) ||
      !number(options["--user"], user) || !number(options["--ttl"], ttl)) {
    return usage();
  }
  std::string error;
  const auto signer = scribly::TokenSigner::fromPrivateKeyFile(options["--key"], kid, &error);
  if (!signer) {
    std::fprintf(stderr, "scribly-token: %s\n", error.c_str());
    return 1;
  }
  uint64_t nonce = 0;
  if (RAND_bytes(reinterpret_cast<unsigned char*>(&nonce), sizeof nonce) != 1) return 1;
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch());
  const auto token =
      signer->issue(options["--conference"], user, static_cast<uint64_t>(now.count()) + ttl, nonce);
  if (token.empty()) {
    std::fprintf(stderr, "scribly-token: cannot issue a token for that conference\n");
    return 1;
  }
  for (uint8_t b : token) std::printf("%02x", b);
  std::printf("\n");
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "keygen" && argc == 4) {
    std::string error;
    if (scribly::generateTokenKeys(argv[2], argv[3], &error)) return 0;
    std::fprintf(stderr, "scribly-token: %s\n", error.c_str());
    return 1;
  }
  if (command == "issue") return issue(argc, argv);
  return usage();
}
