#include "objects/image_object_win.h"

#include <ocidl.h>
#include <olectl.h>

#include "base/picture_header.h"
#include "objects/gdi_canvas_win.h"
#include "win/dib.h"

namespace scribly {

namespace {

// Files larger than this are no picture a page can show.
constexpr DWORD kMaxPictureFileBytes = 256u << 20;

}  // namespace

bool attachFromBitmap(ImageObject& image, HBITMAP bitmap, Point at) {
  BITMAP bm{};
  if (image.hasPixels() || !bitmap || !GetObjectW(bitmap, sizeof bm, &bm)) return false;
  if (bm.bmWidth <= 0 || bm.bmHeight <= 0 || bm.bmWidth > 0xFFFF || bm.bmHeight > 0xFFFF) {
    return false;
  }
  const auto w = static_cast<uint16_t>(bm.bmWidth), h = static_cast<uint16_t>(bm.bmHeight);
  if (pictureBytes(w, h) > kMaxPictureBytes) return false;
  std::vector<uint8_t> pixels(pictureBytes(w, h));
  BITMAPINFO info = dibInfo(w, h, 24, DibRows::BottomUp);
  ScreenDc screen;
  if (GetDIBits(screen.get(), bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS) != h) {
    return false;
  }
  return image.attachPixels(std::move(pixels), w, h, at, {at.x + w, at.y + h});
}

bool loadPictureFile(ImageObject& image, const std::wstring& path, Point at, size_t maxPixelBytes) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const DWORD size = GetFileSize(file.get(), nullptr);
  if (size == 0 || size == INVALID_FILE_SIZE || size > kMaxPictureFileBytes) return false;
  GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!memory) return false;
  {
    GlobalMemoryLock bytes(memory.get());
    DWORD read = 0;
    if (!bytes.data() || !ReadFile(file.get(), bytes.data(), size, &read, nullptr) ||
        read != size) {
      return false;
    }
    // The loader allocates whatever size a header claims, for any format it
    // knows: only the three picture formats, at a size that fits, reach it.
    const auto header =
        readPictureFileHeader({static_cast<const uint8_t*>(bytes.data()), size_t{size}});
    if (!header || !pictureFits(*header, maxPixelBytes)) return false;
  }
  ComPtr<IStream> stream;
  // The stream frees the memory when it is released.
  if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, stream.put()))) return false;
  memory.release();
  ComPtr<IPicture> picture;
  if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                            picture.putVoid()))) {
    return false;
  }
  SHORT type = PICTYPE_NONE;
  OLE_HANDLE handle = 0;
  if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP ||
      FAILED(picture->get_Handle(&handle)) || handle == 0) {
    return false;
  }
  // The picture keeps owning its bitmap; the pixels are copied out.
  return attachFromBitmap(image, reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), at);
}

Bitmap renderToBitmap(ImageObject& image, HWND window) {
  WindowDc windowDc(window);
  if (!windowDc) return {};
  Bitmap bitmap(
      CreateCompatibleBitmap(windowDc.get(), image.pictureWidth(), image.pictureHeight()));
  MemoryDc memory(windowDc.get());
  if (bitmap && memory) {
    ScopedSelect selected(memory.get(), bitmap.get());
    GdiCanvas canvas(memory.get());
    image.draw(&canvas, DrawMode::Plain, 0xFFFFFF, false);
  }
  return bitmap;
}

Bitmap loadHandBitmap(HINSTANCE module) {
  return Bitmap(static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(kHandBitmapResource),
                                                IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

}  // namespace scribly
