#include "win/text.h"

#include <climits>

namespace scribly {

std::wstring toWide(std::string_view text, UINT codePage) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), n);
  return wide;
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

}  // namespace scribly
