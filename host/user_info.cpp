#include "host/user_info.h"

#include "base/xml_document.h"

namespace scribly {
namespace {

std::string escapeXml(const std::string& text) {
  std::string out;
  appendXmlEscaped(out, text);
  return out;
}

}  // namespace

std::string userInfoXml(uint32_t userId, const std::string& name) {
  return "<userinfo><userbasic><id>" + std::to_string(userId) + "</id><name>" + escapeXml(name) +
         "</name></userbasic></userinfo>";
}

}  // namespace scribly
