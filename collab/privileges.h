#pragma once
// The host's privilege word and the three flags the board derives from it.
#include <cstdint>

namespace scribly {

// Bits of the word as the host sets them.
constexpr uint32_t kPrivilegeWrite = 0x01;
constexpr uint32_t kPrivilegeLead = 0x02;
constexpr uint32_t kPrivilegePages = 0x04;
// Both bits together stand for a moderator outside peer-to-peer conferences.
constexpr uint32_t kPrivilegeModerator = 0x18;

// Until the host says otherwise everything is allowed.
constexpr uint32_t kInitialPrivilegeWord = kPrivilegeWrite;

struct Privileges {
  // This participant's page changes and scroll positions lead the others.
  bool lead = true;
  // Drawing, clearing a page, sending background pictures.
  bool write = true;
  // Adding and removing pages, setting backgrounds, sharing documents.
  bool pages = true;
  friend bool operator==(const Privileges&, const Privileges&) = default;
};

// The flags of a word: in a peer-to-peer conference the lead bit alone leads;
// otherwise the lead bit needs both moderator bits beside it.
Privileges privilegesFromWord(uint32_t word, bool peerToPeer);

}  // namespace scribly
