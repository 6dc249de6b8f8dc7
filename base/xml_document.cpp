#include "base/xml_document.h"

#include <algorithm>

#include "base/file_bytes.h"

namespace scribly {

class XmlElement {
 public:
  std::string name;
  std::string text;
  std::vector<XmlAttribute> attributes;
  std::vector<std::unique_ptr<XmlElement>> children;
  XmlElement* parent = nullptr;
  size_t indexInParent = 0;
  // The document's holder is 0, root elements 1.
  size_t depth = 0;
  // False while its closing tag is still to come; a failed parse leaves it so.
  bool complete = true;

  XmlElement* addChild(std::string_view childName) {
    auto child = std::make_unique<XmlElement>();
    child->name = childName;
    child->parent = this;
    child->indexInParent = children.size();
    child->depth = depth + 1;
    children.push_back(std::move(child));
    return children.back().get();
  }
};

namespace {

const XmlElement& emptyElement() {
  static const XmlElement kEmpty;
  return kEmpty;
}

const std::string& emptyString() {
  static const std::string kEmpty;
  return kEmpty;
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isNameChar(char c) {
  return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '.';
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isAllSpace(std::string_view s) { return std::all_of(s.begin(), s.end(), isSpace); }

// Appends `raw` with the five predefined entities decoded. An ampersand that
// starts none of them is kept as it stands.
void appendDecoded(std::string& out, std::string_view raw) {
  struct Entity {
    std::string_view text;
    char value;
  };
  static constexpr Entity kEntities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&quot;", '"'}};
  size_t i = 0;
  while (i < raw.size()) {
    const size_t amp = raw.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(raw.substr(i));
      return;
    }
    out.append(raw.substr(i, amp - i));
    i = amp + 1;
    char decoded = '&';
    for (const Entity& e : kEntities) {
      if (raw.substr(amp, e.text.size()) == e.text) {
        decoded = e.value;
        i = amp + e.text.size();
        break;
      }
    }
    out.push_back(decoded);
  }
}

// One pass over the text. Iterative, with the open element as the only stack,
// so hostile nesting costs no native stack; depth is still capped because
// destroying and writing a tree recurse.
class Parser {
 public:
  Parser(std::string_view text, XmlElement& holder) : text_(text), holder_(holder) {}

  XmlError run() {
    XmlElement* open = nullptr;  // the element whose content is being read
    for (;;) {
      if (!open) {
        skipSpace();
        if (atEnd()) return finish();
        if (peek() != '<' || peekAt(1) == '/') return Syntax();
        ++pos_;
        if (XmlError e = readStartTag(holder_, open); e != XmlError::None) return e;
        continue;
      }
      // Element content: a text run, then a child or the closing tag.
      const size_t runStart = pos_;
      while (!atEnd() && peek() != '<') ++pos_;
      appendDecoded(open->text, text_.substr(runStart, pos_ - runStart));
      if (atEnd()) return Syntax();  // cut short inside an element
      ++pos_;
      if (peek() == '/') {
        ++pos_;
        skipSpace();
        const size_t nameAt = pos_;
        std::string_view name = readName();
        if (name.empty()) return Syntax();
        if (name != open->name) {
          pos_ = nameAt;
          return XmlError::TagMismatch;
        }
        skipSpace();
        if (peek() != '>') return Syntax();
        ++pos_;
        // Indentation between children is layout, not content.
        if (!open->children.empty() && isAllSpace(open->text)) open->text.clear();
        open->complete = true;
        open = open->parent == &holder_ ? nullptr : open->parent;
      } else {
        if (XmlError e = readStartTag(*open, open); e != XmlError::None) return e;
      }
    }
  }

  size_t offset() const { return pos_; }

 private:
  // After "<": the tag and its attributes. `open` becomes the new element when
  // it has content to read, and stays unchanged for "/>".
  XmlError readStartTag(XmlElement& parent, XmlElement*& open) {
    skipSpace();
    std::string_view name = readName();
    if (name.empty()) return Syntax();
    if (parent.depth + 1 > kMaxXmlDepth) return XmlError::TooDeep;
    if (++nodes_ > kMaxXmlNodes) return XmlError::TooManyNodes;
    XmlElement* element = parent.addChild(name);
    for (;;) {
      skipSpace();
      const char c = peek();
      if (c == '>') {
        ++pos_;
        element->complete = false;
        open = element;
        return XmlError::None;
      }
      if (c == '/') {
        if (peekAt(1) != '>') return Syntax();
        pos_ += 2;
        return XmlError::None;
      }
      std::string_view attrName = readName();
      if (attrName.empty()) return Syntax();
      if (++nodes_ > kMaxXmlNodes) return XmlError::TooManyNodes;
      XmlAttribute attribute{std::string(attrName), {}};
      skipSpace();
      if (peek() == '=') {
        ++pos_;
        skipSpace();
        if (peek() != '"') return Syntax();
        ++pos_;
        const size_t valueStart = pos_;
        while (!atEnd() && peek() != '"') ++pos_;
        if (atEnd()) return Syntax();
        appendDecoded(attribute.value, text_.substr(valueStart, pos_ - valueStart));
        ++pos_;
      } else {
        attribute.value = "true";
      }
      element->attributes.push_back(std::move(attribute));
    }
  }

  // A zero byte is the end of the text; anything but zeros after it would be
  // content silently dropped, so it is an error.
  XmlError finish() {
    for (size_t i = pos_; i < text_.size(); ++i) {
      if (text_[i] != '\0') {
        pos_ = i;
        return XmlError::TrailingData;
      }
    }
    return holder_.children.empty() ? XmlError::NoElement : XmlError::None;
  }

  std::string_view readName() {
    if (!isAsciiLetter(peek())) return {};
    const size_t start = pos_;
    while (isNameChar(peek())) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  void skipSpace() {
    while (isSpace(peek())) ++pos_;
  }

  // Reading at or past the end gives the end-of-text zero.
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  char peekAt(size_t ahead) const {
    return ahead < text_.size() - std::min(pos_, text_.size()) ? text_[pos_ + ahead] : '\0';
  }
  bool atEnd() const { return peek() == '\0'; }
  static XmlError Syntax() { return XmlError::Syntax; }

  std::string_view text_;
  XmlElement& holder_;
  size_t pos_ = 0;
  size_t nodes_ = 0;
};

void writeIndent(std::string& out, size_t level) { out.append(level * 2, ' '); }

// Elements without text get their children on indented lines. Elements with
// text keep their content inline, so reading the output back gives the same
// text and nothing more.
void writeElement(std::string& out, const XmlElement& e, size_t level, bool indented) {
  if (indented) writeIndent(out, level);
  out.push_back('<');
  out.append(e.name);
  for (const XmlAttribute& a : e.attributes) {
    out.push_back(' ');
    out.append(a.name);
    out.append("=\"");
    appendXmlEscaped(out, a.value);
    out.push_back('"');
  }
  if (e.children.empty() && e.text.empty()) {
    out.append("/>");
  } else {
    out.push_back('>');
    appendXmlEscaped(out, e.text);
    const bool indentChildren = indented && e.text.empty();
    for (const auto& child : e.children) {
      if (indentChildren) out.append("\r\n");
      writeElement(out, *child, level + 1, indentChildren);
    }
    if (indentChildren) {
      out.append("\r\n");
      writeIndent(out, level);
    }
    out.append("</");
    out.append(e.name);
    out.push_back('>');
  }
}

}  // namespace

bool isXmlName(std::string_view name) {
  return !name.empty() && isAsciiLetter(name[0]) &&
         std::all_of(name.begin(), name.end(), isNameChar);
}

const std::string& XmlAttributeRef::value() const {
  return attribute_ ? attribute_->value : emptyString();
}

const XmlElement& XmlElementHandle::get() const { return element_ ? *element_ : emptyElement(); }

const std::string& XmlElementHandle::name() const { return get().name; }
const std::string& XmlElementHandle::text() const { return get().text; }
const std::vector<XmlAttribute>& XmlElementHandle::attributes() const { return get().attributes; }
size_t XmlElementHandle::childCount() const { return get().children.size(); }
bool XmlElementHandle::complete() const { return element_ && element_->complete; }

XmlElementHandle XmlElementHandle::parent() const {
  // A root element's parent is the document's holder, which is not an element.
  if (!element_ || !element_->parent || !element_->parent->parent) return {};
  return XmlElementHandle(element_->parent);
}

XmlElementHandle XmlElementHandle::firstChild() const {
  if (!element_ || element_->children.empty()) return {};
  return XmlElementHandle(element_->children.front().get());
}

XmlElementHandle XmlElementHandle::nextSibling() const {
  if (!element_ || !element_->parent) return {};
  const auto& siblings = element_->parent->children;
  const size_t next = element_->indexInParent + 1;
  if (next >= siblings.size()) return {};
  return XmlElementHandle(siblings[next].get());
}

XmlElementHandle XmlElementHandle::child(std::string_view childName) const {
  if (!element_) return {};
  for (const auto& c : element_->children) {
    if (c->name == childName) return XmlElementHandle(c.get());
  }
  return {};
}

XmlAttributeRef XmlElementHandle::attribute(std::string_view attrName) const {
  for (const XmlAttribute& a : get().attributes) {
    if (a.name == attrName) return XmlAttributeRef(&a);
  }
  return {};
}

bool XmlElementHandle::setAttribute(std::string_view attrName, std::string_view value) {
  if (!element_ || !isXmlName(attrName) || value.find('\0') != std::string_view::npos) return false;
  for (XmlAttribute& a : element_->attributes) {
    if (a.name == attrName) {
      a.value = value;
      return true;
    }
  }
  element_->attributes.push_back({std::string(attrName), std::string(value)});
  return true;
}

bool XmlElementHandle::setText(std::string_view newText) {
  if (!element_ || newText.find('\0') != std::string_view::npos) return false;
  element_->text = newText;
  return true;
}

XmlElementHandle XmlElementHandle::appendChild(std::string_view childName) {
  if (!element_ || !isXmlName(childName) || element_->depth + 1 > kMaxXmlDepth) return {};
  return XmlElementHandle(element_->addChild(childName));
}

XmlDocument::XmlDocument() : top_(std::make_unique<XmlElement>()) {}
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

bool XmlDocument::load(const std::string& filePath) {
  FileReadResult file = readFileBytes(filePath, kMaxXmlBytes + sizeof kUtf8Bom);
  if (!file.ok()) {
    error_ = file.error == FileReadError::TooLarge ? XmlError::TooLarge : XmlError::CannotOpen;
    errorOffset_ = 0;
    return false;
  }
  std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
  const std::string_view bom(reinterpret_cast<const char*>(kUtf8Bom), sizeof kUtf8Bom);
  const bool hasBom = text.substr(0, bom.size()) == bom;
  if (hasBom) text.remove_prefix(bom.size());
  path_ = filePath;
  byteOrderMark_ = hasBom;
  return parse(text);
}

bool XmlDocument::parse(std::string_view text) {
  clear();
  if (text.size() > kMaxXmlBytes) {
    error_ = XmlError::TooLarge;
    return false;
  }
  Parser parser(text, *top_);
  error_ = parser.run();
  errorOffset_ = error_ == XmlError::None ? 0 : parser.offset();
  return error_ == XmlError::None;
}

bool XmlDocument::save() {
  if (path_.empty()) {
    error_ = XmlError::NoPath;
    return false;
  }
  // Everything is built in memory first, so a failure can only come from the file.
  std::string out;
  if (byteOrderMark_) out.assign(reinterpret_cast<const char*>(kUtf8Bom), sizeof kUtf8Bom);
  out.append(serialise());
  const bool written = writeFileBytes(
      path_, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(out.data()), out.size()));
  error_ = written ? XmlError::None : XmlError::CannotWrite;
  return written;
}

std::string XmlElementHandle::serialise() const {
  std::string out;
  if (element_) writeElement(out, *element_, 0, true);
  return out;
}

std::string XmlDocument::serialise() const {
  std::string out;
  for (const auto& root : top_->children) {
    writeElement(out, *root, 0, true);
    out.append("\r\n");
  }
  return out;
}

XmlElementHandle XmlDocument::root() const {
  if (top_->children.empty()) return {};
  return XmlElementHandle(top_->children.front().get());
}

size_t XmlDocument::rootCount() const { return top_->children.size(); }

XmlElementHandle XmlDocument::appendRoot(std::string_view name) {
  return XmlElementHandle(top_.get()).appendChild(name);
}

XmlElementHandle XmlDocument::findFirst(std::string_view name) const {
  // Walks with the parent links instead of recursion.
  XmlElement* e = top_->children.empty() ? nullptr : top_->children.front().get();
  while (e) {
    if (e->name == name) return XmlElementHandle(e);
    if (!e->children.empty()) {
      e = e->children.front().get();
      continue;
    }
    while (e && e != top_.get()) {
      XmlElement* parent = e->parent;
      if (e->indexInParent + 1 < parent->children.size()) {
        e = parent->children[e->indexInParent + 1].get();
        break;
      }
      e = parent;
    }
    if (e == top_.get()) e = nullptr;
  }
  return {};
}

void XmlDocument::clear() {
  top_->children.clear();
  error_ = XmlError::None;
  errorOffset_ = 0;
}

void appendXmlEscaped(std::string& out, std::string_view s) {
  for (char c : s) {
    switch (c) {
      case '<':
        out.append("&lt;");
        break;
      case '>':
        out.append("&gt;");
        break;
      case '&':
        out.append("&amp;");
        break;
      case '\'':
        out.append("&apos;");
        break;
      case '"':
        out.append("&quot;");
        break;
      default:
        out.push_back(c);
    }
  }
}

}  // namespace scribly
