#pragma once
// The board's files and background pictures on Windows.
#include "board/backgrounds.h"
#include "board/board_seams.h"

namespace scribly {

class Win32Files final : public BoardFiles {
 public:
  std::optional<std::vector<uint8_t>> readFile(const std::string& path, size_t maxBytes) override;
  bool writeFile(const std::string& path, std::span<const uint8_t> bytes) override;
  bool copyFile(const std::string& from, const std::string& to) override;
  bool moveFile(const std::string& from, const std::string& to) override;
  bool deleteFile(const std::string& path) override;
};

// The bitmap files (".bmp", any case) of `folder` (ending with a backslash) as
// templates under their titles; files that do not load are left out.
BackgroundTemplates loadBackgroundTemplates(const std::string& folder, size_t maxTemplates = 256);

// Decodes background files with the system picture loader.
class SystemPictureDecoder final : public PictureDecoder {
 public:
  std::unique_ptr<BackgroundPicture> decodeFile(const std::string& path,
                                                size_t maxPixelBytes) override;
};

}  // namespace scribly
