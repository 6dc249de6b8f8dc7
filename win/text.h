#pragma once
// Text conversions in one place. Inside the program text is UTF-8; wide text
// exists only at wide-character system calls; 8-bit system text (file names,
// page names on the wire, printer calls) is in a code page that the caller
// names, so the system's default never decides by accident.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace scribly {

// Code pages by name. kCodePageChinese is the one the document trees' font
// name literal is written in, whatever the system's default is.
inline constexpr UINT kCodePageUtf8 = CP_UTF8;
inline constexpr UINT kCodePageSystem = CP_ACP;
inline constexpr UINT kCodePageChinese = 936;

// Empty results for empty input or text the code page cannot express at all;
// invalid sequences become the code page's replacement character.
std::wstring toWide(std::string_view text, UINT codePage = kCodePageUtf8);
std::string fromWide(std::wstring_view text, UINT codePage = kCodePageUtf8);
// UTF-8 that must be UTF-8 (object texts, font faces): empty optional for
// invalid sequences instead of replacement characters.
std::optional<std::wstring> wideFromUtf8(std::string_view utf8);
// From one code page to another, through UTF-16.
std::string recode(std::string_view text, UINT from, UINT to);

// A path (UTF-8 or wide) in the system code page, for the calls that take
// 8-bit paths: the path itself when the code page holds every character
// exactly, else its short form when the file system gives one that it holds;
// nullopt when neither names the same file. Never a best-fit stand-in
// ("\uFF3C\uFF0E\uFF0E" is not "\.."), never cut at a NUL.
std::optional<std::string> systemCodePagePath(std::string_view utf8Path);
std::optional<std::string> systemCodePagePath(std::wstring_view widePath);

}  // namespace scribly
