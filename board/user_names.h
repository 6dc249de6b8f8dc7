#pragma once
// The user's name inside the host's user information text: the text of the
// "name" element inside the "userbasic" element. Kept behind this one
// function so that the skin's XML reader can take over the parsing.
#include <string>
#include <string_view>

namespace scribly {

// The host's buffer for a user information text.
constexpr size_t kMaxUserInfoBytes = 8192;

// Empty when either element is missing.
std::string userNameInInfo(std::string_view info);

}  // namespace scribly
