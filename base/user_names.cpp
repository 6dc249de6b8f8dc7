#include "base/user_names.h"

#include "base/xml_document.h"

namespace scribly {

std::string userNameFromInfo(std::string_view xml) {
  XmlDocument doc;
  // A host may cut the text at its buffer's end or leave bytes after it: the
  // elements read before the fault still count, but only a name element that
  // was closed, so a name cut mid-way is never taken.
  doc.parse(xml);
  const XmlElementHandle name = doc.findFirst("userbasic").child("name");
  return name.complete() ? name.text() : std::string();
}

}  // namespace scribly
