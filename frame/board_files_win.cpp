#include "frame/board_files_win.h"

#include <windows.h>

#include <cwchar>

#include "base/ascii.h"
#include "board/page.h"
#include "objects/image_object.h"
#include "objects/image_object_win.h"
#include "win/handles.h"
#include "win/text.h"

namespace scribly {
namespace {

// Only full paths: a relative one would name a file in whatever folder the
// host runs in (a board without a background folder makes such names).
std::wstring wide(const std::string& path) {
  const bool full = (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
                    path.starts_with("\\\\");
  return full ? toWide(path, kCodePageSystem) : std::wstring();
}

// The picture's pixels as a background; null when it has none.
std::unique_ptr<BackgroundPicture> backgroundFrom(const ImageObject& image) {
  if (!image.hasPixels()) return nullptr;
  return BackgroundPicture::make(image.pixels(), image.pictureWidth(), image.pictureHeight());
}

bool isBitmapFileName(const std::wstring& name) { return hasExtension(name, L".bmp"); }

}  // namespace

std::optional<std::vector<uint8_t>> Win32Files::readFile(const std::string& path, size_t maxBytes) {
  FileHandle f(CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return std::nullopt;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(f.get(), &size) || size.QuadPart < 0 ||
      static_cast<uint64_t>(size.QuadPart) > maxBytes)
    return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    if (!ReadFile(f.get(), bytes.data() + done, want, &got, nullptr) || got == 0)
      return std::nullopt;
    done += got;
  }
  return bytes;
}

bool Win32Files::writeFile(const std::string& path, std::span<const uint8_t> bytes) {
  FileHandle f(CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    if (!WriteFile(f.get(), bytes.data() + done, want, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
}

bool Win32Files::copyFile(const std::string& from, const std::string& to) {
  return CopyFileW(wide(from).c_str(), wide(to).c_str(), FALSE) != 0;
}

bool Win32Files::moveFile(const std::string& from, const std::string& to) {
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool Win32Files::deleteFile(const std::string& path) {
  return DeleteFileW(wide(path).c_str()) != 0;
}

std::unique_ptr<BackgroundPicture> SystemPictureDecoder::decodeFile(const std::string& path,
                                                                    size_t maxPixelBytes) {
  ImageObject image;
  if (!loadPictureFile(image, wide(path), Point{0, 0}, maxPixelBytes)) return nullptr;
  return backgroundFrom(image);
}

BackgroundTemplates loadBackgroundTemplates(const std::string& folder, size_t maxTemplates) {
  BackgroundTemplates templates;
  if (folder.empty()) return templates;
  const std::wstring where = toWide(folder, kCodePageSystem);
  WIN32_FIND_DATAW found;
  FindHandle search(FindFirstFileW((where + L"*.*").c_str(), &found));
  if (!search) return templates;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::wstring name = found.cFileName;
    if (!isBitmapFileName(name)) continue;
    Bitmap bitmap(static_cast<HBITMAP>(LoadImageW(nullptr, (where + name).c_str(), IMAGE_BITMAP, 0,
                                                  0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    ImageObject image;
    if (!bitmap || !attachFromBitmap(image, bitmap.get(), Point{0, 0})) continue;
    if (auto picture = backgroundFrom(image))
      templates.emplace(fromWide(name.substr(0, name.rfind(L'.')), kCodePageSystem),
                        std::move(picture));
  } while (templates.size() < maxTemplates && FindNextFileW(search.get(), &found));
  return templates;
}

}  // namespace scribly
