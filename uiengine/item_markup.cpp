#include "uiengine/item_markup.h"

#include "base/xml_document.h"
#include "skin/attribute_values.h"

namespace scribly {

namespace {

// What the font element states; what it leaves out stays as it was.
void readFont(ItemMarkup& out, XmlElementHandle font) {
  if (font.attribute("color").present()) out.colour = parseColour(font.attribute("color").value());
  if (font.attribute("size").present()) out.size = readDecimal(font.attribute("size").value());
  if (font.attribute("face").present()) out.face = font.attribute("face").value();
}

// The first "font" element below `element`, in document order.
XmlElementHandle fontBelow(XmlElementHandle element, int depth) {
  if (depth > 16) return {};
  for (XmlElementHandle child = element.firstChild(); child; child = child.nextSibling()) {
    if (child.name() == "font") return child;
    if (XmlElementHandle font = fontBelow(child, depth + 1)) return font;
  }
  return {};
}

void appendFontText(std::string& out, XmlElementHandle element, bool insideFont, int depth) {
  if (depth > 16) return;
  insideFont = insideFont || element.name() == "font";
  if (insideFont) out += element.text();
  for (XmlElementHandle child = element.firstChild(); child; child = child.nextSibling())
    appendFontText(out, child, insideFont, depth + 1);
}

}  // namespace

ItemMarkup parseItemMarkup(std::string_view markup) {
  ItemMarkup item;
  markup = markup.substr(0, kMaxItemMarkupBytes);
  XmlDocument document;
  const bool parsed = document.parse(markup);
  const XmlElementHandle font = document.root().child("font");
  if (!parsed || document.root().name() != "text" || !font) {
    item.name = std::string(markup);
    return item;
  }
  item.name = font.text();
  readFont(item, font);
  return item;
}

TipMarkup parseTipMarkup(std::string_view markup) {
  TipMarkup tip;
  XmlDocument document;
  if (!document.parse(markup)) return tip;
  for (XmlElementHandle root = document.root(); root; root = root.nextSibling())
    appendFontText(tip.name, root, false, 0);
  const XmlElementHandle root = document.root();
  if (root.name() == "tip") {
    // A tree's tip wraps the item's own markup: the inner font refines the
    // outer one, so the item keeps its colour.
    XmlElementHandle font = root.child("font");
    for (int depth = 0; font && depth < 16; ++depth) {
      readFont(tip, font);
      font = fontBelow(font, 0);
    }
    tip.width = readDecimal(root.attribute("width").value());
  }
  return tip;
}

std::string renameItemMarkup(std::string_view markup, std::string_view name) {
  XmlDocument document;
  XmlElementHandle font;
  if (document.parse(markup.substr(0, kMaxItemMarkupBytes)) && document.root().name() == "text")
    font = document.root().child("font");
  if (!font) return std::string(name);
  // Written compactly, as the program writes its items: the layout of the
  // document writer would spend the item's few hundred bytes on blanks.
  std::string out = "<text><font";
  for (const XmlAttribute& attribute : font.attributes()) {
    out += ' ';
    out += attribute.name;
    out += "=\"";
    appendXmlEscaped(out, attribute.value);
    out += '"';
  }
  out += '>';
  appendXmlEscaped(out, name);
  out += "</font></text>";
  return out;
}

}  // namespace scribly
