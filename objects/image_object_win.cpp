#include "objects/image_object_win.h"

#include <ocidl.h>
#include <olectl.h>

#include "objects/gdi_canvas_win.h"

namespace scribly {

namespace {

// Owners for the file, memory and COM objects a picture file passes through.
struct FileHandle {
  HANDLE h;
  ~FileHandle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
};

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
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  ScreenDc screen;
  if (GetDIBits(screen.get(), bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS) != h) {
    return false;
  }
  return image.attachPixels(std::move(pixels), w, h, at, {at.x + w, at.y + h});
}

bool loadPictureFile(ImageObject& image, const std::wstring& path, Point at) {
  FileHandle file{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file.h, nullptr);
  if (size == 0 || size == INVALID_FILE_SIZE || size > kMaxPictureFileBytes) return false;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return false;
  void* bytes = GlobalLock(memory);
  DWORD read = 0;
  const bool whole = bytes && ReadFile(file.h, bytes, size, &read, nullptr) && read == size;
  if (bytes) GlobalUnlock(memory);
  if (!whole) {
    GlobalFree(memory);
    return false;
  }
  ComPtr<IStream> stream;
  // The stream frees the memory when it is released.
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream.p))) {
    GlobalFree(memory);
    return false;
  }
  ComPtr<IPicture> picture;
  if (FAILED(OleLoadPicture(stream.p, static_cast<LONG>(size), FALSE, IID_IPicture,
                            reinterpret_cast<void**>(&picture.p)))) {
    return false;
  }
  SHORT type = PICTYPE_NONE;
  OLE_HANDLE handle = 0;
  if (FAILED(picture.p->get_Type(&type)) || type != PICTYPE_BITMAP ||
      FAILED(picture.p->get_Handle(&handle)) || handle == 0) {
    return false;
  }
  // The picture keeps owning its bitmap; the pixels are copied out.
  return attachFromBitmap(image, reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), at);
}

GdiObject renderToBitmap(ImageObject& image, HWND window) {
  HDC windowDc = GetDC(window);
  if (!windowDc) return {};
  GdiObject bitmap(CreateCompatibleBitmap(windowDc, image.pictureWidth(), image.pictureHeight()));
  {
    MemoryDc memory(windowDc);
    if (bitmap && memory.get()) {
      ScopedSelect selected(memory.get(), bitmap.get());
      GdiCanvas canvas(memory.get());
      image.draw(&canvas, DrawMode::Plain, 0xFFFFFF, false);
    }
  }
  ReleaseDC(window, windowDc);
  return bitmap;
}

GdiObject loadHandBitmap(HINSTANCE module) {
  return GdiObject(LoadImageW(module, MAKEINTRESOURCEW(kHandBitmapResource), IMAGE_BITMAP, 0, 0,
                              LR_CREATEDIBSECTION));
}

}  // namespace scribly
