// Fuzzes the XML reader with any bytes a skin file, a configuration file or the
// host's user info could hold. Whatever parses must write out as text that
// reads back to the same text; the user-name lookup must never crash.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/user_names.h"
#include "base/xml_document.h"

namespace {

// Touches every element through the lookup interface, as the skin loader will.
size_t walk(scribly::XmlElementHandle e) {
  size_t n = 0;
  for (; e; e = e.nextSibling()) {
    n += 1 + e.text().size() + e.attribute("name").value().size();
    if (e.parent() && e.parent().child(e.name()).name() != e.name()) std::abort();
    n += walk(e.firstChild());
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  scribly::XmlDocument doc;
  const bool parsed = doc.parse(text);
  walk(doc.root());
  if (parsed) {
    const std::string once = doc.serialise();
    scribly::XmlDocument again;
    if (!again.parse(once)) std::abort();
    if (again.serialise() != once) std::abort();
  }
  scribly::userNameFromInfo(text);
  return 0;
}
