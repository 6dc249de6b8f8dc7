#pragma once
// The language texts: every user-visible word, looked up by key in the
// language file ("Scribly_LANG.xml"):
//
//   <language name="English">
//     <text key="Scribly_MessageBox_Title">Whiteboard</text>
//   </language>
//
// Texts are UTF-8. Bytes of the file that are not UTF-8 read as U+FFFD, so a
// text never hands a broken sequence to a wide-character conversion.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace scribly {

class XmlDocument;

// The buffers callers pass: contents-panel titles, and message-box texts and
// captions.
inline constexpr size_t kShortTextBytes = 128;
inline constexpr size_t kMessageTextBytes = 512;
// Longer texts are cut when the file is read; a message box shows at most
// this many characters anyway.
inline constexpr size_t kMaxLanguageTextBytes = 4096;

class LanguageTexts {
 public:
  // Replaces the texts with the file's; false (old texts kept) when the file
  // cannot be read or is not a language file.
  bool load(const std::string& path);
  bool loadText(std::string_view xml);

  // The text of `key`; the key itself when the file lacks it, so a missing
  // text shows up as its key rather than as a blank.
  std::string_view text(std::string_view key) const;
  bool contains(std::string_view key) const;
  size_t size() const { return texts_.size(); }

  // Copies the text of `key` into `buffer` as zero-terminated UTF-8, cut on a
  // character boundary to fit. `*size` is the buffer's size in bytes on the
  // way in, the bytes written without the terminator on the way out. False
  // when the key is missing (its name is written then) or nothing fits.
  bool copyText(std::string_view key, char* buffer, size_t* size) const;

 private:
  bool take(const XmlDocument& doc);

  std::map<std::string, std::string, std::less<>> texts_;
};

// The longest start of `utf8` that fits in `maxBytes` without splitting a
// character.
std::string_view cutUtf8(std::string_view utf8, size_t maxBytes);

// `bytes` with each byte that does not start or continue a well-formed UTF-8
// character replaced by U+FFFD.
std::string validUtf8(std::string_view bytes);

}  // namespace scribly
