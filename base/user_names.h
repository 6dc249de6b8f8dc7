#pragma once
// Reading a user's display name from the info text the host's GetUserInfo
// writes: the text of the element "name" inside the element "userbasic".
#include <cstddef>
#include <string>
#include <string_view>

namespace scribly {

// The size of the zeroed buffer handed to GetUserInfo; the host writes at most
// this many bytes and need not leave a terminator when it fills it.
inline constexpr size_t kUserInfoBufferBytes = 8192;

// The name as UTF-8, or empty when the text has no such element or it is not
// closed before the text goes wrong. The first "userbasic" in document order
// counts, wherever it sits, since hosts wrap it differently. The whole
// zero-padded buffer may be passed, and so may a text cut at its end.
std::string userNameFromInfo(std::string_view xml);

}  // namespace scribly
