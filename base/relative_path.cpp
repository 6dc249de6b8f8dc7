#include "base/relative_path.h"

#include <array>

#include "base/ascii.h"

namespace scribly {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Windows opens these names as devices in any folder, with any extension.
bool isDeviceName(std::string_view component) {
  std::string_view stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kDevices)
    if (equalsIgnoringCase(stem, device)) return true;
  // COM0 to COM9 and LPT0 to LPT9, also with a superscript digit (UTF-8).
  if (stem.size() < 4 || !(equalsIgnoringCase(stem.substr(0, 3), "COM") ||
                           equalsIgnoringCase(stem.substr(0, 3), "LPT")))
    return false;
  const std::string_view digit = stem.substr(3);
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xC2\xB9" ||
         digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

bool isPlainComponent(std::string_view component) {
  if (component.empty() || component.back() == '.' || component.back() == ' ') return false;
  for (char c : component) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
    switch (c) {
      case ':':
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
        return false;
      default:
        break;
    }
  }
  return !isDeviceName(component);
}

}  // namespace

std::optional<std::string> fileInside(std::string_view folder, std::string_view name) {
  if (folder.empty() || name.empty()) return std::nullopt;
  for (size_t start = 0;;) {
    size_t end = start;
    while (end < name.size() && !isSeparator(name[end])) ++end;
    // A component ending in a dot is refused, so "." and ".." are too.
    if (!isPlainComponent(name.substr(start, end - start))) return std::nullopt;
    if (end == name.size()) break;
    start = end + 1;
  }
  std::string path(folder);
  if (!isSeparator(path.back())) path += folder.find('\\') != std::string_view::npos ? '\\' : '/';
  return path.append(name);
}

}  // namespace scribly
