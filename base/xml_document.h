#pragma once
// The compact XML reader and writer for the plug-in's own files (skin,
// configuration, tree texts) and the host's user info. It accepts a small
// dialect: elements, attributes with double-quoted values, bare attributes
// (value "true"), text, and the five predefined entities. Declarations,
// comments, processing instructions, DOCTYPE and CDATA are rejected. Text stays
// 8-bit bytes exactly as in the input; nothing is transcoded.
//
// Lookups never fail: a missing element comes back as a handle to the shared
// empty element, so chains like root.child("dirroot").attribute("path") read as
// an empty string instead of needing a check at every step.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace scribly {

// Caps against hostile input. Skin and configuration files are a few hundred
// kilobytes and a dozen levels deep; these leave ample room above that.
inline constexpr size_t kMaxXmlBytes = 8 * 1024 * 1024;
inline constexpr size_t kMaxXmlDepth = 128;
// Elements plus attributes in one document.
inline constexpr size_t kMaxXmlNodes = 256 * 1024;

inline constexpr uint8_t kUtf8Bom[3] = {0xEF, 0xBB, 0xBF};

enum class XmlError {
  None,
  CannotOpen,    // the file could not be opened or read
  TooLarge,      // more than kMaxXmlBytes
  Syntax,        // outside the dialect, or cut short
  TagMismatch,   // a closing tag that names another element
  TooDeep,       // nesting beyond kMaxXmlDepth
  TooManyNodes,  // more than kMaxXmlNodes elements and attributes
  NoElement,     // nothing but whitespace
  TrailingData,  // bytes other than zeros after the end-of-text zero
  NoPath,        // saving a document that has no file path
  CannotWrite,   // the file could not be opened or written
};

struct XmlAttribute {
  std::string name;
  std::string value;
};

class XmlElement;

// What an attribute lookup returns: present or not, and the value, which reads
// as the empty string when absent.
class XmlAttributeRef {
 public:
  XmlAttributeRef() = default;
  explicit XmlAttributeRef(const XmlAttribute* attribute) : attribute_(attribute) {}

  bool present() const { return attribute_ != nullptr; }
  const std::string& value() const;
  // Exactly "true", case-sensitive; a bare attribute reads as "true".
  bool isTrue() const { return value() == "true"; }

 private:
  const XmlAttribute* attribute_ = nullptr;
};

// A reference to an element inside an XmlDocument, valid while the document
// lives and is not parsed or loaded again. A default handle is the shared
// empty element: no name, attributes, children or text. Writes through it are
// refused, so a failed lookup can never plant content that later lookups see.
class XmlElementHandle {
 public:
  XmlElementHandle() = default;

  // False for the shared empty element.
  bool exists() const { return element_ != nullptr; }
  explicit operator bool() const { return exists(); }

  const std::string& name() const;
  // Every text run of the element joined in document order. Formatting
  // whitespace around child elements is dropped; see XmlDocument::parse.
  const std::string& text() const;
  const std::vector<XmlAttribute>& attributes() const;
  // False for the empty element and for an element a failed parse left open:
  // its text and children may then be cut short.
  bool complete() const;

  XmlElementHandle parent() const;
  XmlElementHandle firstChild() const;
  XmlElementHandle nextSibling() const;
  // The first child whose tag name matches exactly.
  XmlElementHandle child(std::string_view name) const;
  size_t childCount() const;

  // Exact name match; the first one when a file repeats an attribute.
  XmlAttributeRef attribute(std::string_view name) const;
  bool boolAttribute(std::string_view name) const { return attribute(name).isTrue(); }

  // Replaces the value of an existing attribute of that name, else appends.
  // Refused for the empty element, a name outside the dialect, or a value
  // holding a zero byte (it would end the text when read back).
  bool setAttribute(std::string_view name, std::string_view value);
  // Refused for the empty element or text holding a zero byte.
  bool setText(std::string_view text);
  // A new last child. The empty handle when refused: empty parent, bad name,
  // or nesting beyond kMaxXmlDepth.
  XmlElementHandle appendChild(std::string_view name);
  // The element and its subtree as text, as a document save writes it; empty
  // for the empty element.
  std::string serialise() const;

  bool operator==(const XmlElementHandle& other) const = default;

 private:
  friend class XmlDocument;
  explicit XmlElementHandle(XmlElement* element) : element_(element) {}
  const XmlElement& get() const;

  XmlElement* element_ = nullptr;
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Reads the whole file and parses it. A leading UTF-8 byte-order mark is
  // skipped and remembered for saving. When the file cannot be read the
  // document is left as it was.
  bool load(const std::string& path);

  // Replaces the content with the elements in `text`. Parsing stops at the
  // first error; the elements built before it stay (those still open are not
  // complete()), and the failure is reported. A zero byte ends the text (only
  // zeros may follow it), so a zero-padded host buffer can be passed whole.
  bool parse(std::string_view text);

  // Writes the document to path(): the byte-order mark when set, then the
  // text. Nothing is written when the file cannot be opened.
  bool save();

  // The document as text, without the byte-order mark.
  std::string serialise() const;

  // The first root element; its nextSibling() walks the others.
  XmlElementHandle root() const;
  size_t rootCount() const;
  XmlElementHandle appendRoot(std::string_view name);
  // Depth-first, document order: the first element with that tag name.
  XmlElementHandle findFirst(std::string_view name) const;
  // Removes every element; the path and the byte-order mark flag stay.
  void clear();

  const std::string& path() const { return path_; }
  void setPath(std::string path) { path_ = std::move(path); }
  bool hasByteOrderMark() const { return byteOrderMark_; }
  void setByteOrderMark(bool on) { byteOrderMark_ = on; }

  // Why the last load, parse or save failed, and for parse errors the byte
  // offset in the text (after the byte-order mark) where it was found.
  XmlError lastError() const { return error_; }
  size_t errorOffset() const { return errorOffset_; }

 private:
  std::unique_ptr<XmlElement> top_;  // nameless holder of the root elements
  std::string path_;
  bool byteOrderMark_ = false;
  XmlError error_ = XmlError::None;
  size_t errorOffset_ = 0;
};

// True when `name` is a name in the dialect: an ASCII letter, then letters,
// digits, '_' or '.'.
bool isXmlName(std::string_view name);

// Appends `text` with the five characters the dialect escapes replaced by
// their entities, for text and attribute values alike.
void appendXmlEscaped(std::string& out, std::string_view text);

}  // namespace scribly
