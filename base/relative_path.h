#pragma once
// Files that untrusted text names relative to a folder (a skin's includes and
// scripts): the name may only lead downward from the folder.
#include <optional>
#include <string>
#include <string_view>

namespace scribly {

// The path of `name` inside `folder`, or nothing when `name` could reach
// anything else: empty, absolute, rooted, UNC or drive-relative; a component
// that is empty, "." or "..", or that Windows would read otherwise (ending in
// a dot or a space, a device name such as "NUL" or "com1.xml", a colon,
// wildcard or control character). An empty folder (the current one) holds
// nothing. Either slash separates; the name is joined as written.
std::optional<std::string> fileInside(std::string_view folder, std::string_view name);

}  // namespace scribly
