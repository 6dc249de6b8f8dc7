#pragma once
// ASCII letter case and file extensions, without the C library's locale: the
// names compared here (skin types and styles, commands, extensions, device
// names) are ASCII, and a byte >= 0x80 of a UTF-8 or code-page name must
// never change.
#include <string>
#include <string_view>

namespace scribly {

constexpr char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
constexpr wchar_t lowerAscii(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c;
}
// The text with A-Z lowered.
std::string lowerAscii(std::string_view text);

// Equal when lowered.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b);

// The last component of a path (after its last "\" or "/") from its last "."
// on (".doc"); empty when it has none.
std::string_view extensionOf(std::string_view path);
std::wstring_view extensionOf(std::wstring_view path);

// Whether the path's extension is `extension` (with its ".") in any case.
bool hasExtension(std::string_view path, std::string_view extension);
bool hasExtension(std::wstring_view path, std::wstring_view extension);

}  // namespace scribly
