#include "board/backgrounds.h"

#include <algorithm>
#include <cmath>

#include "base/ascii.h"
#include "base/byte_io.h"
#include "collab/envelope.h"
#include "collab/message_header.h"

namespace scribly {
namespace {

constexpr float kScaleFactors[] = {0.5f,  0.65f, 0.75f, 0.85f, 1.0f,
                                   1.25f, 1.5f,  2.0f,  -1.0f, -2.0f};
constexpr int32_t kFitSlack = 2;
constexpr float kMinScale = 0.5f;
constexpr float kMaxScale = 3.0f;

// In single precision, as the factors are: 1000 x 0.65 is 650.
int32_t scaled(int32_t side, float factor) {
  return static_cast<int32_t>(static_cast<float>(side) * factor);
}

}  // namespace

uint32_t backgroundFormatCode(std::string_view extension) {
  for (const BackgroundFormat& format : kBackgroundFormats)
    if (equalsIgnoringCase(extension, format.extension)) return format.code;
  return 0;
}

std::string_view backgroundExtensionFor(uint32_t formatCode) {
  for (const BackgroundFormat& format : kBackgroundFormats)
    if (format.code == formatCode) return format.extension;
  return ".bmp";
}

float scaleFactorOf(uint32_t code) {
  if (code >= 1 && code <= 10) return kScaleFactors[code - 1];
  return 1.0f;
}

uint32_t scaleCodeOf(float factor) {
  for (uint32_t i = 0; i < 10; ++i) {
    if (kScaleFactors[i] == factor) return i + 1;
  }
  return 0;
}

bool fitStretches(float factor, Size picture, Size client) {
  if (factor == kFitWidth) return std::abs(client.width - picture.width) > kFitSlack;
  if (factor == kFitHeight) return std::abs(client.height - picture.height) > kFitSlack;
  return false;
}

Size scaledPictureSize(float factor, Size picture, Size client) {
  if (picture.width <= 0 || picture.height <= 0) return picture;
  // Sides that follow the view are worked out in whole numbers, so a side
  // that matches the view's is exactly as long.
  auto ratio = [](int32_t side, int32_t to, int32_t from) {
    return static_cast<int32_t>(int64_t{side} * to / from);
  };
  if (factor < 0.0f) {
    if (!fitStretches(factor, picture, client)) return picture;
    if (factor == kFitWidth) return {client.width, picture.height};
    return {picture.width, client.height};
  }
  if (factor == kCoverView) {
    if (client.width <= 0 || client.height <= 0) return picture;
    // The larger of the two ratios, compared without dividing.
    const bool byWidth =
        int64_t{client.width} * picture.height >= int64_t{client.height} * picture.width;
    const int32_t to = byWidth ? client.width : client.height;
    const int32_t from = byWidth ? picture.width : picture.height;
    if (int64_t{to} * 2 < from || int64_t{to} > int64_t{from} * 3) return picture;
    return {ratio(picture.width, to, from), ratio(picture.height, to, from)};
  }
  if (factor == 1.0f || factor < kMinScale || factor > kMaxScale) return picture;
  return {scaled(picture.width, factor), scaled(picture.height, factor)};
}

Backgrounds::Backgrounds(BoardFiles& files, PictureDecoder& decoder, std::string folder,
                         BackgroundTemplates templates, size_t maxReceivedBytes)
    : files_(files),
      maxReceivedBytes_(maxReceivedBytes),
      decoder_(decoder),
      folder_(std::move(folder)),
      templates_(std::move(templates)) {
  if (isTemplate(kDefaultTemplateName)) creationTemplate_ = kDefaultTemplateName;
}

std::string Backgrounds::path(uint32_t number, std::string_view extension) const {
  return folder_ + std::to_string(number) + std::string(extension);
}

std::string Backgrounds::receivedPath(uint32_t pageId, uint32_t number,
                                      std::string_view extension) const {
  return folder_ + std::to_string(pageId) + "-" + std::to_string(number) + std::string(extension);
}

bool Backgrounds::isTemplate(std::string_view name) const {
  return templates_.find(name) != templates_.end();
}

const BackgroundPicture* Backgrounds::templatePicture(std::string_view name) const {
  const auto it = templates_.find(name);
  return it == templates_.end() ? nullptr : it->second.get();
}

std::vector<uint8_t> Backgrounds::envelopeFile(const std::string& file,
                                               std::string_view extension) const {
  const auto bytes = files_.readFile(file, kMaxPayloadBytes - 4);
  if (!bytes) return {};
  ByteWriter payload(bytes->size() + 4);
  const uint32_t format = backgroundFormatCode(extension);
  payload.u32(format).bytes(*bytes);
  // JPEG and GIF files are compressed already.
  const bool packed = format == backgroundFormatCode(".jpg") ||
                      format == backgroundFormatCode(".jpeg") ||
                      format == backgroundFormatCode(".gif");
  return packed ? Store(payload.data()) : Compress(payload.data());
}

std::optional<Backgrounds::Imported> Backgrounds::importFile(const std::string& source,
                                                             uint32_t number, bool move) {
  Imported imported{std::string(extensionOf(source)), {}, {}};
  std::string destination = path(number, imported.extension);
  if (!(move ? files_.moveFile(source, destination) : files_.copyFile(source, destination))) {
    return std::nullopt;
  }
  // From here on the file goes when the import fails.
  imported.file = std::make_unique<BackgroundFile>(files_, std::move(destination));
  imported.envelope = envelopeFile(imported.file->path(), imported.extension);
  if (imported.envelope.empty()) return std::nullopt;
  return imported;
}

std::optional<Backgrounds::Received> Backgrounds::writeReceived(uint32_t pageId, uint32_t number,
                                                                std::span<const uint8_t> envelope) {
  const size_t room = maxReceivedBytes_ - std::min(maxReceivedBytes_, receivedBytes_);
  const auto payload = Decompress(envelope, room + 4);
  if (!payload || payload->size() < 4) return std::nullopt;
  ByteReader in(*payload);
  const uint32_t format = in.u32();
  if (format < 1 || format > 4) return std::nullopt;
  const std::string_view extension = backgroundExtensionFor(format);
  const std::span<const uint8_t> bytes = std::span<const uint8_t>(*payload).subspan(4);
  std::string destination = receivedPath(pageId, number, extension);
  // A file written in part goes as well.
  auto file = std::make_unique<BackgroundFile>(files_, std::move(destination), &receivedBytes_,
                                               bytes.size());
  if (!files_.writeFile(file->path(), bytes)) return std::nullopt;
  return Received{extension, std::move(file)};
}

std::vector<uint8_t> Backgrounds::envelopeOf(const Page& page) const {
  if (!page.backgroundBulk().empty()) return page.backgroundBulk();
  return envelopeFile(page.backgroundPath(), page.backgroundExtension());
}

bool Backgrounds::load(Page& page, size_t maxPixelBytes) {
  std::unique_ptr<BackgroundPicture> picture =
      decoder_.decodeFile(page.backgroundPath(), maxPixelBytes);
  if (!picture) {
    page.releaseBackground(true);
    return false;
  }
  page.setPicture(std::move(picture));
  return true;
}

}  // namespace scribly
