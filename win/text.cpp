#include "win/text.h"

#include <climits>

namespace scribly {

namespace {

std::optional<std::wstring> convert(std::string_view text, UINT codePage, DWORD flags) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) return std::nullopt;
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), length, wide.data(), n);
  return wide;
}

}  // namespace

std::wstring toWide(std::string_view text, UINT codePage) {
  return convert(text, codePage, 0).value_or(std::wstring());
}

std::optional<std::wstring> wideFromUtf8(std::string_view utf8) {
  return convert(utf8, kCodePageUtf8, MB_ERR_INVALID_CHARS);
}

std::string fromWide(std::wstring_view text, UINT codePage) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), length, narrow.data(), n, nullptr, nullptr);
  return narrow;
}

std::string recode(std::string_view text, UINT from, UINT to) {
  if (from == to) return std::string(text);
  return fromWide(toWide(text, from), to);
}

namespace {

// The text in the system code page when every character converts exactly
// and back again; a character the code page lacks would otherwise become a
// look-alike or the default character.
std::optional<std::string> exactlyInSystemCodePage(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX || text.find(L'\0') != std::wstring_view::npos)
    return std::nullopt;
  // UTF-8 as the system code page takes neither the flag nor the report.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL defaulted = FALSE;
  BOOL* report = utf8 ? nullptr : &defaulted;
  const int length = static_cast<int>(text.size());
  const int n =
      WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, report);
  if (n <= 0 || defaulted) return std::nullopt;
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), length, narrow.data(), n, nullptr, report);
  if (defaulted || toWide(narrow, kCodePageSystem) != text) return std::nullopt;
  return narrow;
}

}  // namespace

std::optional<std::string> systemCodePagePath(std::string_view utf8Path) {
  return systemCodePagePath(toWide(utf8Path));
}

std::optional<std::string> systemCodePagePath(std::wstring_view widePath) {
  const std::wstring wide(widePath);
  if (std::optional<std::string> path = exactlyInSystemCodePage(wide)) return path;
  if (wide.empty() || wide.find(L'\0') != std::wstring::npos) return std::nullopt;
  const DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::wstring shortPath(needed, L'\0');
  const DWORD written = GetShortPathNameW(wide.c_str(), shortPath.data(), needed);
  if (written == 0 || written >= needed) return std::nullopt;
  shortPath.resize(written);
  return exactlyInSystemCodePage(shortPath);
}

}  // namespace scribly
