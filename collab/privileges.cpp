#include "collab/privileges.h"

namespace scribly {

Privileges privilegesFromWord(uint32_t word, bool peerToPeer) {
  const bool moderator = (word & kPrivilegeModerator) == kPrivilegeModerator;
  const bool leadBit = (word & kPrivilegeLead) != 0;
  Privileges p;
  p.lead = peerToPeer ? leadBit : (leadBit && moderator);
  p.write = (word & kPrivilegeWrite) != 0;
  p.pages = (word & kPrivilegePages) != 0 || moderator;
  return p;
}

}  // namespace scribly
