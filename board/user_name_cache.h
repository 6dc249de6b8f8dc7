#pragma once
// User names from the host's user information, by user id: fetched once per
// user (again while the host yields none), and bounded, as peers name any
// user id they like.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "board/board_seams.h"

namespace scribly {

class UserNameCache {
 public:
  UserNameCache(HostInfo& info, size_t maxUsers) : info_(info), maxUsers_(maxUsers) {}

  // This board's own user, whose name a full cache keeps.
  void setOwnUser(uint32_t userId) { ownUser_ = userId; }
  // The user's name, empty when the host's information has none.
  std::string nameOf(uint32_t userId);

 private:
  HostInfo& info_;
  size_t maxUsers_;
  uint32_t ownUser_ = 0;
  std::map<uint32_t, std::string> names_;
};

}  // namespace scribly
