#include "host/user_info.h"

namespace scribly {
namespace {

std::string escapeXml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string userInfoXml(uint32_t userId, const std::string& name) {
  return "<userinfo><userbasic><id>" + std::to_string(userId) + "</id><name>" + escapeXml(name) +
         "</name></userbasic></userinfo>";
}

}  // namespace scribly
