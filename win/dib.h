#pragma once
// Headers of device-independent bitmaps, filled in one place.
#include <windows.h>

#include <cstddef>

namespace scribly {

enum class DibRows { TopDown, BottomUp };

// An uncompressed DIB of `width` x `height` pixels at `bitsPerPixel` (24 or
// 32 in this program), its first row at the top or at the bottom.
inline BITMAPINFO dibInfo(int width, int height, WORD bitsPerPixel, DibRows rows) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = rows == DibRows::TopDown ? -height : height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bitsPerPixel;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Bytes from one row to the next: rows are padded to four bytes.
inline size_t dibStride(int width, WORD bitsPerPixel) {
  return (static_cast<size_t>(width) * bitsPerPixel + 31) / 32 * 4;
}

}  // namespace scribly
