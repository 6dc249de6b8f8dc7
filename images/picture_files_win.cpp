#include "images/picture_files_win.h"

#include <commdlg.h>

#include <cwchar>

#include "base/ascii.h"
#include "base/bmp_file.h"
#include "board/backgrounds.h"
#include "board/page_painting.h"
#include "objects/gdi_canvas_win.h"
#include "objects/image_object_win.h"
#include "win/handles.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

// Draws a picture of `size` with `paint` into a bitmap compatible with the
// screen, reads it back at the file's bit count and writes the file.
bool writePicture(Size size, int screenBits, const std::wstring& path,
                  const std::function<void(Canvas&)>& paint) {
  const auto layout = bmpLayout(size.width, size.height, bmpBitCount(screenBits));
  if (!layout) return false;
  WindowDc screen(nullptr);
  if (!screen) return false;
  Bitmap bitmap(CreateCompatibleBitmap(screen.get(), size.width, size.height));
  MemoryDc memory(screen.get());
  if (!bitmap || !memory) return false;
  {
    const Bitmap hand = loadHandBitmap(moduleInstance());
    ScopedSelect selected(memory.get(), bitmap.get());
    GdiCanvas canvas(memory.get(), hand.get());
    paint(canvas);
  }
  // The info header and colour table in one block, as the system fills them.
  std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + layout->colourTableBytes());
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = layout->width;
  header->biHeight = layout->height;
  header->biPlanes = 1;
  header->biBitCount = layout->bits;
  header->biCompression = BI_RGB;
  std::vector<uint8_t> pixels(layout->pixelBytes());
  HPALETTE palette = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  HPALETTE previous = palette ? SelectPalette(screen.get(), palette, FALSE) : nullptr;
  if (palette) RealizePalette(screen.get());
  const int rows =
      GetDIBits(screen.get(), bitmap.get(), 0, static_cast<UINT>(layout->height), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
  if (previous) SelectPalette(screen.get(), previous, FALSE);
  if (rows != layout->height) return false;
  const auto file = bmpFileBytes(
      *layout, std::span<const uint8_t>(info).subspan(sizeof(BITMAPINFOHEADER)), pixels);
  if (file.empty()) return false;
  FileHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!out) return false;
  DWORD written = 0;
  return WriteFile(out.get(), file.data(), static_cast<DWORD>(file.size()), &written, nullptr) &&
         written == file.size();
}

bool savePicture(const Page* page, HWND owner, const SaveChooser& choose,
                 const std::function<bool(const std::wstring&)>& write) {
  if (!page) return false;
  SYSTEMTIME now;
  GetLocalTime(&now);
  const auto chosen = choose(owner, proposedPictureName(page->id(), now));
  return chosen && write(withBmpExtension(*chosen));
}

}  // namespace

OPENFILENAMEW fileDialog(HWND owner, const wchar_t* filter, wchar_t* file) {
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  // The host's working folder stays where the host put it.
  dialog.Flags = OFN_NOCHANGEDIR;
  return dialog;
}

std::optional<std::string> choosePictureToOpen(HWND owner) {
  // "Picture Files(*.bmp;...)", NUL, "*.bmp;...", NUL: the files a background takes.
  std::wstring patterns;
  for (const BackgroundFormat& format : kBackgroundFormats)
    patterns += (patterns.empty() ? L"*" : L";*") + toWide(format.extension);
  const std::wstring filter = L"Picture Files(" + patterns + L")" + L'\0' + patterns + L'\0';
  wchar_t file[MAX_PATH] = {};
  OPENFILENAMEW dialog = fileDialog(owner, filter.c_str(), file);
  dialog.Flags |= OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return fromWide(file);
}

std::optional<std::wstring> choosePictureToSave(HWND owner, const std::wstring& proposedName) {
  wchar_t file[MAX_PATH] = {};
  wcsncpy(file, proposedName.c_str(), MAX_PATH - 1);
  OPENFILENAMEW dialog = fileDialog(owner, L"Picture(*.bmp)\0*.bmp\0", file);
  dialog.lpstrDefExt = L"bmp";
  dialog.Flags |= OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  return std::wstring(file);
}

std::wstring proposedPictureName(uint32_t pageId, const SYSTEMTIME& local) {
  wchar_t name[96];
  swprintf(name, std::size(name), L"Scribly-%d-%d.%d.%d-%d.%d.%d", static_cast<int>(pageId),
           local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond);
  return name;
}

std::wstring withBmpExtension(std::wstring path) {
  const bool endsInBmp =
      path.size() >= 3 &&
      equalsIgnoringCase(std::wstring_view(path).substr(path.size() - 3), L"bmp");
  if (!endsInBmp) path += L".bmp";
  return path;
}

int screenColourDepth() {
  WindowDc screen(nullptr);
  if (!screen) return 24;
  return GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES);
}

bool writePagePicture(const Page& page, const std::wstring& path, int screenBits,
                      const BackgroundPicture* tile) {
  const Size size = page.size();
  return writePicture(size, screenBits, path, [&](Canvas& canvas) {
    paintPage(&page, tile, canvas, Rect{0, 0, size.width, size.height});
  });
}

bool writeObjectPicture(BoardObject& object, uint32_t paperColour, const std::wstring& path,
                        int screenBits) {
  const Rect box = boxOf(object.firstPoint().unpack(), object.secondPoint().unpack());
  return writePicture(Size{box.width(), box.height()}, screenBits, path, [&](Canvas& canvas) {
    canvas.fillRect(Rect{0, 0, box.width(), box.height()}, paperColour);
    object.draw(&canvas, DrawMode::Plain, paperColour, false);
  });
}

bool savePagePicture(const Page* page, HWND owner, const SaveChooser& choose,
                     const BackgroundPicture* tile) {
  return savePicture(page, owner, choose, [&](const std::wstring& path) {
    return writePagePicture(*page, path, screenColourDepth(), tile);
  });
}

bool saveObjectPicture(const Page* page, BoardObject& object, HWND owner,
                       const SaveChooser& choose) {
  return savePicture(page, owner, choose, [&](const std::wstring& path) {
    return writeObjectPicture(object, page->paperColour(), path, screenColourDepth());
  });
}

bool savePage(Board& board, HWND owner) {
  const Page* page = board.currentPage();
  return savePagePicture(page, owner, choosePictureToSave,
                         page ? board.pageTemplate(*page) : nullptr);
}

bool saveObject(Board& board, BoardObject& object, HWND owner) {
  return saveObjectPicture(board.currentPage(), object, owner);
}

}  // namespace scribly
