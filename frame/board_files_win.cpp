#include "frame/board_files_win.h"

#include <windows.h>

#include "board/page.h"
#include "objects/image_object.h"
#include "objects/image_object_win.h"
#include "win/handles.h"
#include "win/text.h"

namespace scribly {
namespace {

std::wstring wide(const std::string& path) { return toWide(path, kCodePageSystem); }

class PictureBackground final : public BackgroundPicture {
 public:
  explicit PictureBackground(std::unique_ptr<ImageObject> image) : image_(std::move(image)) {}
  Size size() const override {
    return {static_cast<int32_t>(image_->pictureWidth()),
            static_cast<int32_t>(image_->pictureHeight())};
  }
  void draw(Canvas& canvas, const Rect& box) const override {
    image_->setPoints(PackedPoint::pack({box.left, box.top}),
                      PackedPoint::pack({box.right, box.bottom}));
    image_->draw(&canvas, DrawMode::Plain, kPaperWhite, true);
  }

 private:
  std::unique_ptr<ImageObject> image_;
};

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

std::unique_ptr<BackgroundPicture> SystemPictureDecoder::decodeFile(const std::string& path) {
  auto image = std::make_unique<ImageObject>();
  if (!loadPictureFile(*image, wide(path), Point{0, 0})) return nullptr;
  return std::make_unique<PictureBackground>(std::move(image));
}

namespace {

size_t emptyTree(const std::wstring& folder, int depth) {
  // Links and junctions are not followed, and the depth is bounded, so a loop
  // in the tree ends.
  if (depth > 32) return 0;
  WIN32_FIND_DATAW found;
  FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search) return 0;
  size_t left = 0;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        left += emptyTree(path, depth + 1);
    } else {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
      if (!DeleteFileW(path.c_str())) ++left;
    }
  } while (FindNextFileW(search.get(), &found));
  return left;
}

}  // namespace

size_t emptyFolderTree(const std::string& folder) {
  if (folder.empty()) return 0;
  std::wstring path = wide(folder);
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  // Only a full drive path can take the prefix.
  if (path.size() > 2 && path[1] == L':') path = L"\\\\?\\" + path;
  return emptyTree(path, 0);
}

}  // namespace scribly
