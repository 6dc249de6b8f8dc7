#include "skin/skin_config.h"

#include "base/xml_document.h"

namespace scribly {
namespace {

constexpr std::string_view kConfigRoot = "Scribly";
constexpr std::string_view kLibraryRootItem = "dirroot";

XmlElementHandle configItem(const XmlDocument& doc, std::string_view item) {
  const XmlElementHandle root = doc.root();
  return root.name() == kConfigRoot ? root.child(item) : XmlElementHandle();
}

size_t utf8Characters(std::string_view s) {
  size_t n = 0;
  for (char c : s) n += (static_cast<uint8_t>(c) & 0xC0) != 0x80;
  return n;
}

}  // namespace

std::string readConfigItem(const std::string& configPath, std::string_view item) {
  XmlDocument doc;
  if (!doc.load(configPath)) return {};
  const XmlElementHandle e = configItem(doc, item);
  return e.boolAttribute("enable") ? e.attribute("path").value() : std::string();
}

std::string readLibraryRoot(const std::string& configPath) {
  std::string root = readConfigItem(configPath, kLibraryRootItem);
  if (utf8Characters(root) >= kLibraryRootChars) root.clear();
  return root;
}

bool libraryEnabled(const std::string& configPath) {
  XmlDocument doc;
  return doc.load(configPath) && configItem(doc, kLibraryRootItem).boolAttribute("enable");
}

ConfigWrite writeLibraryRoot(const std::string& configPath, std::string_view folder) {
  XmlDocument doc;
  if (!doc.load(configPath)) return ConfigWrite::Failed;
  XmlElementHandle e = configItem(doc, kLibraryRootItem);
  if (!e) return ConfigWrite::Failed;
  if (e.attribute("path").present() && e.attribute("path").value() == folder)
    return ConfigWrite::Unchanged;
  if (!e.setAttribute("path", folder) || !doc.save()) return ConfigWrite::Failed;
  return ConfigWrite::Written;
}

}  // namespace scribly
