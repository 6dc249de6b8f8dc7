#pragma once
// Page backgrounds: the files in the background folder with their format
// codes, the templates the frame loaded, and the scale factor with the size a
// scaled or fitted picture shows at.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "board/board_seams.h"
#include "board/page.h"

namespace scribly {

// The files a background can be, with the format code that travels with their
// bytes; the open dialog offers them in this order.
struct BackgroundFormat {
  std::string_view extension;
  uint32_t code;
};
inline constexpr BackgroundFormat kBackgroundFormats[] = {
    {".bmp", 1}, {".jpg", 3}, {".jpeg", 2}, {".gif", 4}};

// The format code of an extension in any case, 0 when it is none of these.
uint32_t backgroundFormatCode(std::string_view extension);
// The extension for a format code, ".bmp" when unknown.
std::string_view backgroundExtensionFor(uint32_t formatCode);

// The factor of a background scale code (0 and unknown codes give 1.0), and
// the code of a factor (0 when it has none).
float scaleFactorOf(uint32_t code);
uint32_t scaleCodeOf(float factor);

constexpr float kFitWidth = -1.0f;
constexpr float kFitHeight = -2.0f;
constexpr float kCoverView = 0.0f;

// Whether a fit mode stretches a picture in a view of `client` size: only
// when the fitted side differs by more than two pixels.
bool fitStretches(float factor, Size picture, Size client);
// The size a picture shows at a factor in a view of `client` size: fit modes
// stretch one side to the view's, 0 covers the view, and factors outside 0.5
// to 3 leave the picture at its own size.
Size scaledPictureSize(float factor, Size picture, Size client);

// Template pictures by name (the file title), tiled behind a page.
using BackgroundTemplates =
    std::map<std::string, std::shared_ptr<const BackgroundPicture>, std::less<>>;

class Backgrounds {
 public:
  // folder: where background files live, ending with a backslash.
  // templates: the pictures the frame loaded from its template folder.
  // maxReceivedBytes: what received files may take on disk together.
  Backgrounds(BoardFiles& files, PictureDecoder& decoder, std::string folder,
              BackgroundTemplates templates, size_t maxReceivedBytes);

  const std::string& folder() const { return folder_; }
  // The path of a background file of this board: folder, number, extension
  // ("%s%u%s").
  std::string path(uint32_t number, std::string_view extension) const;
  // The path of a received background file: folder, page, "-", number,
  // extension. A peer chooses the numbers, so its files have names of their
  // own: they never overwrite this board's files or another page's.
  std::string receivedPath(uint32_t pageId, uint32_t number, std::string_view extension) const;
  // Bytes of received files on disk.
  size_t receivedBytes() const { return receivedBytes_; }
  bool isTemplate(std::string_view name) const;
  // The picture of a template; null for a name that is none.
  const BackgroundPicture* templatePicture(std::string_view name) const;
  // The template every new page takes: "default" when loaded, else none.
  const std::string& creationTemplate() const { return creationTemplate_; }

  // The factor last applied on any page; going to a page applies it again.
  float factor() const { return factor_; }
  void setFactor(float factor) { factor_ = factor; }

  // A picture file taken into the folder under `number` (moved or copied):
  // its extension, its bytes with their format code in the compression
  // envelope, and the file; nullopt when anything fails.
  struct Imported {
    std::string extension;
    std::vector<uint8_t> envelope;
    std::unique_ptr<BackgroundFile> file;
  };
  std::optional<Imported> importFile(const std::string& source, uint32_t number, bool move);
  // A received envelope written as a page's file of `number`: its extension
  // and the file, or nullopt when it is malformed, has no room on disk or
  // cannot be written.
  struct Received {
    std::string_view extension;
    std::unique_ptr<BackgroundFile> file;
  };
  std::optional<Received> writeReceived(uint32_t pageId, uint32_t number,
                                        std::span<const uint8_t> envelope);
  // The envelope of a page's background: as it travelled, else from its file.
  std::vector<uint8_t> envelopeOf(const Page& page) const;
  // Decodes the page's file into its picture within maxPixelBytes; false when
  // it does not (the number stays, so the file is tried again next time).
  bool load(Page& page, size_t maxPixelBytes);

 private:
  std::vector<uint8_t> envelopeFile(const std::string& path, std::string_view extension) const;

  BoardFiles& files_;
  size_t maxReceivedBytes_;
  size_t receivedBytes_ = 0;
  PictureDecoder& decoder_;
  std::string folder_;
  BackgroundTemplates templates_;
  std::string creationTemplate_;
  float factor_ = 1.0f;
};

}  // namespace scribly
