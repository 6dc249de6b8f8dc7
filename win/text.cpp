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

std::optional<std::string> systemCodePagePath(std::string_view utf8Path) {
  const std::wstring wide = toWide(utf8Path);
  const auto held = [](const std::wstring& path) -> std::optional<std::string> {
    std::string narrow = fromWide(path, kCodePageSystem);
    if (path.empty() || toWide(narrow, kCodePageSystem) != path) return std::nullopt;
    return narrow;
  };
  if (std::optional<std::string> path = held(wide)) return path;
  const DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::wstring shortPath(needed, L'\0');
  const DWORD written = GetShortPathNameW(wide.c_str(), shortPath.data(), needed);
  if (written == 0 || written >= needed) return std::nullopt;
  shortPath.resize(written);
  return held(shortPath);
}

}  // namespace scribly
