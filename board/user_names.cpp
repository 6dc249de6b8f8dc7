#include "board/user_names.h"

namespace scribly {
namespace {

// The content between <tag ...> and </tag>, or nullopt-like npos markers.
bool elementContent(std::string_view text, std::string_view tag, std::string_view& content) {
  size_t from = 0;
  while (true) {
    const size_t open = text.find('<', from);
    if (open == std::string_view::npos) return false;
    const size_t nameEnd = open + 1 + tag.size();
    if (text.substr(open + 1, tag.size()) == tag && nameEnd < text.size()) {
      const char after = text[nameEnd];
      if (after == '>' || after == '/' || after == ' ' || after == '\t' || after == '\r' ||
          after == '\n') {
        const size_t close = text.find('>', nameEnd);
        if (close == std::string_view::npos) return false;
        if (text[close - 1] == '/') {
          content = {};
          return true;
        }
        const std::string endTag = "</" + std::string(tag);
        const size_t end = text.find(endTag, close + 1);
        if (end == std::string_view::npos) return false;
        content = text.substr(close + 1, end - close - 1);
        return true;
      }
    }
    from = open + 1;
  }
}

std::string decodeEntities(std::string_view s) {
  static constexpr struct {
    std::string_view entity;
    char c;
  } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    bool replaced = false;
    if (s[i] == '&') {
      for (const auto& e : kEntities) {
        if (s.substr(i, e.entity.size()) == e.entity) {
          out.push_back(e.c);
          i += e.entity.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out.push_back(s[i++]);
  }
  return out;
}

}  // namespace

std::string userNameInInfo(std::string_view info) {
  std::string_view basic;
  if (!elementContent(info, "userbasic", basic)) return {};
  std::string_view name;
  if (!elementContent(basic, "name", name)) return {};
  return decodeEntities(name);
}

}  // namespace scribly
