#include "skin/language_texts.h"

#include <cstring>

#include "base/xml_document.h"

namespace scribly {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed character at the start of `s`, or 0.
size_t characterLength(std::string_view s) {
  const auto at = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t lead = at(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < length || at(1) < low || at(1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if ((at(i) & 0xC0) != 0x80) return 0;
  return length;
}

}  // namespace

std::string_view cutUtf8(std::string_view utf8, size_t maxBytes) {
  if (utf8.size() <= maxBytes) return utf8;
  size_t n = maxBytes;
  // The first byte left out continues a character: leave that one out whole.
  while (n > 0 && (static_cast<uint8_t>(utf8[n]) & 0xC0) == 0x80) --n;
  return utf8.substr(0, n);
}

std::string validUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const size_t length = characterLength(bytes);
    if (length == 0) {
      out.append(kReplacement);
      bytes.remove_prefix(1);
    } else {
      out.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return out;
}

bool LanguageTexts::load(const std::string& path) {
  XmlDocument doc;
  return doc.load(path) && take(doc);
}

bool LanguageTexts::loadText(std::string_view xml) {
  XmlDocument doc;
  return doc.parse(xml) && take(doc);
}

bool LanguageTexts::take(const XmlDocument& doc) {
  if (doc.root().name() != "language") return false;
  std::map<std::string, std::string, std::less<>> texts;
  for (XmlElementHandle e = doc.root().firstChild(); e; e = e.nextSibling()) {
    if (e.name() != "text" || !e.attribute("key").present()) continue;
    const std::string valid = validUtf8(e.text());
    // The first text of a key wins, as attribute lookups do.
    texts.try_emplace(e.attribute("key").value(), cutUtf8(valid, kMaxLanguageTextBytes));
  }
  texts_ = std::move(texts);
  return true;
}

std::string_view LanguageTexts::text(std::string_view key) const {
  const auto it = texts_.find(key);
  return it == texts_.end() ? key : std::string_view(it->second);
}

bool LanguageTexts::contains(std::string_view key) const { return texts_.contains(key); }

bool LanguageTexts::copyText(std::string_view key, char* buffer, size_t* size) const {
  if (!buffer || !size || *size == 0) {
    if (size) *size = 0;
    return false;
  }
  const std::string_view text = cutUtf8(this->text(key), *size - 1);
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  *size = text.size();
  return contains(key);
}

}  // namespace scribly
