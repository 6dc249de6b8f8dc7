#include "board/user_name_cache.h"

#include "base/user_names.h"

namespace scribly {

std::string UserNameCache::nameOf(uint32_t userId) {
  if (auto it = names_.find(userId); it != names_.end()) return it->second;
  std::string info = info_.userInfo(userId);
  // The host writes at most its buffer's worth.
  if (info.size() > kUserInfoBufferBytes) info.resize(kUserInfoBufferBytes);
  std::string name = userNameFromInfo(info);
  // No name (no answer, or none in it) is asked for again next time.
  if (name.empty()) return name;
  if (names_.size() >= maxUsers_) {
    auto victim = names_.begin();
    if (victim->first == ownUser_ && names_.size() > 1) ++victim;
    names_.erase(victim);
  }
  names_.emplace(userId, name);
  return name;
}

}  // namespace scribly
