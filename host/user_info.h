#pragma once
// The XML text the host gives about a user (GetUserInfo).
#include <cstdint>
#include <string>

namespace scribly {

// The user's id and display name, escaped; no declaration, since plug-ins read
// a plain element tree.
std::string userInfoXml(uint32_t userId, const std::string& name);

}  // namespace scribly
