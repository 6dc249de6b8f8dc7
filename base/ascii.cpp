#include "base/ascii.h"

#include <algorithm>

namespace scribly {
namespace {

template <typename Char>
bool equalsLowered(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) {
           return lowerAscii(x) == lowerAscii(y);
         });
}

template <typename Char>
std::basic_string_view<Char> extensionIn(std::basic_string_view<Char> path) {
  const Char separators[] = {Char('\\'), Char('/'), Char(0)};
  const size_t slash = path.find_last_of(separators);
  const std::basic_string_view<Char> name =
      slash == std::basic_string_view<Char>::npos ? path : path.substr(slash + 1);
  return name.substr(std::min(name.rfind(Char('.')), name.size()));
}

}  // namespace

std::string lowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = lowerAscii(c);
  return lowered;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) { return equalsLowered(a, b); }

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b) { return equalsLowered(a, b); }

std::string_view extensionOf(std::string_view path) { return extensionIn(path); }

std::wstring_view extensionOf(std::wstring_view path) { return extensionIn(path); }

bool hasExtension(std::string_view path, std::string_view extension) {
  return equalsIgnoringCase(extensionOf(path), extension);
}

bool hasExtension(std::wstring_view path, std::wstring_view extension) {
  return equalsIgnoringCase(extensionOf(path), extension);
}

}  // namespace scribly
