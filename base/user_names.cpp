#include "base/user_names.h"

#include "base/xml_document.h"

namespace scribly {

std::string userNameFromInfo(std::string_view xml) {
  XmlDocument doc;
  // A half-parsed text could yield a name cut off mid-way; take none instead.
  if (!doc.parse(xml)) return {};
  return doc.findFirst("userbasic").child("name").text();
}

}  // namespace scribly
