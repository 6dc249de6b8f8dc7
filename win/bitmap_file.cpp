#include "win/bitmap_file.h"

#include <cstring>
#include <vector>

#include "win/dib.h"
#include "win/handles.h"
#include "win/text.h"

namespace scribly {

bool writeBitmapFile(HBITMAP source, const RECT& area, const std::string& path) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info = dibInfo(width, height, 24, DibRows::BottomUp);
  const size_t stride = dibStride(width, 24);
  std::vector<uint8_t> pixels(stride * static_cast<size_t>(height));
  {
    WindowDc screen(nullptr);
    MemoryDc from(screen.get()), to(screen.get());
    void* bits = nullptr;
    Bitmap part(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!part || !bits) return false;
    {
      ScopedSelect s1(from.get(), source), s2(to.get(), part.get());
      BitBlt(to.get(), 0, 0, width, height, from.get(), area.left, area.top, SRCCOPY);
    }
    GdiFlush();
    std::memcpy(pixels.data(), bits, pixels.size());
  }
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  header.bfSize = static_cast<DWORD>(header.bfOffBits + pixels.size());
  FileHandle file(CreateFileW(toWide(path, kCodePageSystem).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0, total = 0;
  bool ok = WriteFile(file.get(), &header, sizeof header, &written, nullptr);
  total += written;
  ok = ok && WriteFile(file.get(), &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
  total += written;
  ok = ok &&
       WriteFile(file.get(), pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
  total += written;
  return ok && total == header.bfSize;
}

}  // namespace scribly
