#include "objects/image_object.h"

#include <algorithm>

#include "base/jpeg_codec.h"
#include "collab/envelope.h"
#include "objects/record_layout.h"

namespace scribly {

namespace {

constexpr uint32_t kFrameDark = 0x010000;
constexpr uint32_t kFrameLight = 0xC8C8C8;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0x0000FF;

PenSpec framePen(uint32_t colour, uint32_t width = 1) {
  return {kPenSolid, width, colour, PenCap::Round, PenJoin::Round, false};
}

// Left and top edges in one colour, right and bottom in the other.
void drawFrame(Canvas& canvas, const Rect& r, uint32_t topLeft, uint32_t bottomRight) {
  canvas.setPen(framePen(topLeft));
  const Point upper[] = {{r.left, r.bottom - 1}, {r.left, r.top}, {r.right, r.top}};
  canvas.polyline(upper);
  canvas.setPen(framePen(bottomRight));
  const Point lower[] = {
      {r.right - 1, r.top + 1}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}};
  canvas.polyline(lower);
}

}  // namespace

void drawPicturePlaceholder(Canvas& canvas, Point a, Point b, uint32_t background) {
  // Normalised first: shrinking the corners of a reversed box would grow it.
  const Rect r = boxOf(a, b).inflated(-1);
  drawFrame(canvas, r, kFrameDark, kFrameLight);
  canvas.fillRect(r.inflated(-1), background);
  if (r.width() < 10 || r.height() < 10) return;
  const int32_t w = std::min(16, r.width()), h = std::min(16, r.height());
  const Rect square{r.left + (r.width() - w) / 2, r.top + (r.height() - h) / 2, 0, 0};
  const Rect s{square.left, square.top, square.left + w, square.top + h};
  drawFrame(canvas, s, kFrameLight, kFrameDark);
  canvas.fillRect(s.inflated(-1), kWhite);
  const Rect cross = s.inflated(-4);
  canvas.setPen(framePen(kRed, 2));
  canvas.line({cross.left, cross.top}, {cross.right, cross.bottom});
  canvas.line({cross.right, cross.top}, {cross.left, cross.bottom});
}

bool ImageObject::attachPixels(std::vector<uint8_t> pixels, uint16_t width, uint16_t height,
                               Point a, Point b) {
  if (pixels.empty() || width == 0 || height == 0 || pixels.size() < pictureBytes(width, height)) {
    return false;
  }
  pixels_ = std::move(pixels);
  ++pixelsVersion_;
  width_ = width;
  height_ = height;
  p1_ = a;
  p2_ = b;
  setReferenceSize();
  return true;
}

void ImageObject::setReferenceSize() {
  refWidth_ = static_cast<uint16_t>(p2_.x - p1_.x);
  refHeight_ = static_cast<uint16_t>(p2_.y - p1_.y);
}

bool ImageObject::moveHandle(int handle, Point p) {
  const int32_t l = p1_.x, t = p1_.y, r = p2_.x, b = p2_.y;
  switch (handle) {
    case 0:
    case 2:
    case 4:
    case 6:
      return moveCorner(handle, p);
    case 1:
      if (p.y >= b) return false;
      p1_.y = p.y;
      return true;
    case 3:
      if (p.x <= l) return false;
      p2_.x = p.x;
      return true;
    case 5:
      if (p.y <= t) return false;
      p2_.y = p.y;
      return true;
    case 7:
      if (p.x >= r) return false;
      p1_.x = p.x;
      return true;
    case kMoveHandle:
      return true;
    default:
      return false;
  }
}

bool ImageObject::moveCorner(int handle, Point p) {
  const int64_t l = p1_.x, t = p1_.y, r = p2_.x, b = p2_.y, x = p.x, y = p.y;
  const int64_t w0 = refWidth_, h0 = refHeight_;
  // The corner's horizontal and vertical reach from the fixed opposite corner.
  const bool left = handle == 0 || handle == 6;
  const bool top = handle == 0 || handle == 2;
  const int64_t spanX = left ? r - x : x - l;
  const int64_t spanY = top ? b - y : y - t;
  if (spanX <= 0 || spanY <= 0) return false;
  int64_t newX = x, newY = y;
  // Without a reference side there is no ratio to keep: the corner follows the
  // pointer instead of dividing by zero.
  if (w0 != 0 && h0 != 0) {
    if (spanY * w0 <= spanX * h0) {
      const int64_t reach = spanY * w0 / h0;
      newX = left ? r - reach : l + reach;
    } else {
      const int64_t reach = spanX * h0 / w0;
      newY = top ? b - reach : t + reach;
    }
  }
  (left ? p1_.x : p2_.x) = static_cast<int32_t>(newX);
  (top ? p1_.y : p2_.y) = static_cast<int32_t>(newY);
  return true;
}

bool ImageObject::hitTest(Point p) {
  normalise();
  return box().contains(p);
}

std::unique_ptr<BoardObject> ImageObject::clone() const {
  if (pixels_.empty()) return nullptr;
  auto copy = std::make_unique<ImageObject>();
  copy->p1_ = p1_;
  copy->p2_ = p2_;
  copy->adjustmentA_ = adjustmentA_;
  copy->orientation_ = orientation_;
  copy->brightness_ = brightness_;
  copy->contrast_ = contrast_;
  copy->width_ = width_;
  copy->height_ = height_;
  copy->refWidth_ = refWidth_;
  copy->refHeight_ = refHeight_;
  copy->pixels_ = pixels_;
  return copy;
}

void ImageObject::draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) {
  if (!canvas) return;
  CanvasStateScope scope(*canvas);
  if (!pixels_.empty()) {
    const Rect dest =
        atOwnPosition ? Rect{p1_.x, p1_.y, p2_.x, p2_.y} : Rect{0, 0, p2_.x - p1_.x, p2_.y - p1_.y};
    if (brightness_ != 0 || contrast_ != 0) {
      std::vector<uint8_t> adjusted = pixels_;
      adjustPixels(adjusted, width_, height_, brightness_, contrast_);
      canvas->blitPixels(dest, adjusted, width_, height_);
    } else {
      canvas->blitPixels(dest, pixels_, width_, height_);
    }
  } else {
    drawPicturePlaceholder(*canvas, p1_, p2_, background);
  }
  drawBoxSelection(*canvas, mode);
}

size_t ImageObject::save(std::span<uint8_t> dest) const {
  ByteWriter out(kRecordSize);
  writeLayout(out, *this, [](auto& io, auto& s) { layout(io, s); });
  return emitRecord(dest, out.data());
}

bool ImageObject::load(std::span<const uint8_t> record) {
  if (record.size() >= kRecordSize)
    return readLayout(record, *this, [](auto& io, auto& s) { layout(io, s); });
  if (!readLayout(record, *this, [](auto& io, auto& s) { cornersLayout(io, s); })) return false;
  adjustmentA_ = orientation_ = brightness_ = contrast_ = 0;
  return true;
}

size_t ImageObject::saveBulkData(std::span<uint8_t> dest) const {
  if (pixels_.empty()) return 0;
  const size_t pictureSize = pictureBytes(width_, height_);
  if (dest.empty()) return pictureSize + kJpegHeaderBytes + kEnvelopeHeaderBytes;
  if (const auto jpeg = encodeJpeg(pixels_, width_, height_, pictureSize + kEnvelopeHeaderBytes)) {
    const size_t total = kJpegHeaderBytes + jpeg->size();
    ByteWriter out(total);
    out.u32(kJpegMarker).u32(static_cast<uint32_t>(total)).u16(width_).u16(height_);
    out.bytes(*jpeg);
    return emitRecord(dest, out.data());
  }
  // A picture so small that the JPEG stream's own headers pass its limit
  // (below about 30 x 20) goes as its pixels in an envelope, the other form
  // every receiver reads, and always within the limit.
  ByteWriter raw(4 + pictureSize);
  raw.u16(width_).u16(height_).bytes(std::span(pixels_).first(pictureSize));
  return emitRecord(dest, Compress(raw.data()));
}

bool ImageObject::loadBulkData(std::span<const uint8_t> bytes) {
  return loadBulkWithin(bytes, kMaxPictureBytes);
}

bool ImageObject::loadBulkWithin(std::span<const uint8_t> bytes, size_t maxPixelBytes) {
  if (!pixels_.empty()) return false;
  maxPixelBytes = std::min(maxPixelBytes, kMaxPictureBytes);
  ByteReader in(bytes);
  if (in.u32() == kJpegMarker && in.ok()) return loadJpegBulk(bytes, maxPixelBytes);
  return loadRawBulk(bytes, std::min(maxPixelBytes, rawBulkAllowance()));
}

size_t ImageObject::rawBulkAllowance() const {
  const Rect b = box();
  auto side = [](int32_t length) {
    return static_cast<uint32_t>(std::min<int64_t>(int64_t{length} * kRawSideFactor, 0xFFFF));
  };
  return std::clamp(pictureBytes(side(b.width()), side(b.height())), kRawFloorBytes,
                    kMaxPictureBytes);
}

bool ImageObject::reloadPixels(std::span<const uint8_t> bulk) {
  ImageObject fresh;
  if (!fresh.loadBulkData(bulk) || fresh.width_ != width_ || fresh.height_ != height_) return false;
  pixels_ = std::move(fresh.pixels_);
  ++pixelsVersion_;
  return true;
}

bool ImageObject::loadJpegBulk(std::span<const uint8_t> bytes, size_t maxPixelBytes) {
  ByteReader in(bytes);
  in.u32();
  const uint32_t total = in.u32();
  const uint16_t width = in.u16();
  const uint16_t height = in.u16();
  if (!in.ok() || total != bytes.size()) return false;
  const std::span<const uint8_t> jpeg = in.rest();
  const size_t allowed =
      std::min(maxPixelBytes, std::max(kJpegFloorBytes, kJpegMaxRatio * jpeg.size()));
  auto pixels =
      pictureBytes(width, height) <= allowed ? decodeJpeg(jpeg, width, height) : std::nullopt;
  if (!pixels) {
    width_ = height_ = 0;
    return false;
  }
  pixels_ = std::move(*pixels);
  ++pixelsVersion_;
  width_ = width;
  height_ = height;
  return true;
}

bool ImageObject::loadRawBulk(std::span<const uint8_t> envelope, size_t maxPixelBytes) {
  const auto payload = Decompress(envelope, maxPixelBytes + 4);
  if (!payload) return false;
  ByteReader in(*payload);
  const uint16_t width = in.u16();
  const uint16_t height = in.u16();
  const size_t size = pictureBytes(width, height);
  // A picture without pixels would leave nothing to draw or divide by.
  if (!in.ok() || size == 0 || size > maxPixelBytes || in.remaining() < size) return false;
  const auto body = in.bytes(size);
  pixels_.assign(body.begin(), body.end());
  ++pixelsVersion_;
  width_ = width;
  height_ = height;
  return true;
}

bool ImageObject::setAdjustmentA(int32_t v) {
  adjustmentA_ = v;
  return true;
}

bool ImageObject::getAdjustmentA(int32_t& v) const {
  v = adjustmentA_;
  return true;
}

bool ImageObject::setOrientation(int32_t code) {
  orientation_ = code;
  if (pixels_.empty()) return true;
  auto turned = reorientPixels(pixels_, width_, height_, static_cast<Orientation>(code));
  if (turned.empty()) return true;
  pixels_ = std::move(turned);
  ++pixelsVersion_;
  if (code == static_cast<int32_t>(Orientation::TurnLeft) ||
      code == static_cast<int32_t>(Orientation::TurnRight)) {
    std::swap(width_, height_);
    // The box turns about its centre: width and height exchange.
    const Rect r = box();
    const int32_t left = r.left + (r.width() - r.height()) / 2;
    const int32_t top = r.top + (r.height() - r.width()) / 2;
    p1_ = {left, top};
    p2_ = {left + r.height(), top + r.width()};
  }
  return true;
}

bool ImageObject::getOrientation(int32_t& v) const {
  v = orientation_;
  return true;
}

bool ImageObject::setBrightness(int32_t v) {
  brightness_ = v;
  return true;
}

bool ImageObject::getBrightness(int32_t& v) const {
  v = brightness_;
  return true;
}

bool ImageObject::setContrast(int32_t v) {
  contrast_ = v;
  return true;
}

bool ImageObject::getContrast(int32_t& v) const {
  v = contrast_;
  return true;
}

void ImageObject::invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const {
  invalidateBox(view, box(), standardMargin(0), dx, dy, erase);
}

}  // namespace scribly
