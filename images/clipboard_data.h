#pragma once
// What another program left on the clipboard, read with explicit bounds: the
// bytes of its 8-bit text and its device-independent bitmaps. Any program can
// put anything there, so nothing here trusts a size or an offset it reads.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace scribly {

// The most 8-bit text one paste takes, its terminator not counted.
inline constexpr size_t kClipboardTextBytes = 4020;

// The text in a clipboard block: its bytes up to the first terminator or the
// block's end, at most kClipboardTextBytes.
std::string_view clipboardText(std::span<const uint8_t> block);

// A picture as picture objects hold it: 24-bit, rows bottom-up and padded to
// four bytes.
struct ClipboardPicture {
  std::vector<uint8_t> pixels;
  uint16_t width = 0;
  uint16_t height = 0;
};

// A packed device-independent bitmap (a header, its colour masks and colour
// table, then the pixels) converted to 24 bits. Reads uncompressed pictures of
// 1, 4, 8, 16, 24 and 32 bits with any of the usual headers, top-down or
// bottom-up; none for compressed ones, for anything cut short, and for
// pictures larger than a picture object may hold.
std::optional<ClipboardPicture> pictureFromDib(std::span<const uint8_t> block);

}  // namespace scribly
