#pragma once
// Pictures (kind 14): 24-bit pixels scaled into the box, with brightness and
// contrast applied when drawn. The pixels travel separately as a bulk record.
#include <vector>

#include "objects/board_object.h"
#include "objects/pixel_ops.h"

namespace scribly {

class ImageObject : public BoxObject {
 public:
  static constexpr size_t kRecordSize = 24;
  static constexpr size_t kMinRecordSize = 8;
  // Marker, total length, width, height.
  static constexpr size_t kJpegHeaderBytes = 12;
  static constexpr uint32_t kJpegMarker = 1;
  // Guards on what a bulk record may decode to, checked before anything is
  // allocated. The raw form is bzip2, which turns a hundred bytes into
  // megabytes: it holds at most the pixels of a picture twice as wide and as
  // high as the box (shown at half its size), or a small picture whatever the
  // box. A JPEG stream decodes to at most kJpegMaxRatio times its own length
  // (ours stay under 200) or kJpegFloorBytes.
  static constexpr int32_t kRawSideFactor = 2;
  static constexpr size_t kRawFloorBytes = size_t{64} << 10;
  static constexpr size_t kJpegMaxRatio = 1024;
  static constexpr size_t kJpegFloorBytes = size_t{1} << 20;

  // Takes the pixels of a w x h picture placed in the box from a to b; the
  // reference size becomes the box's. Refuses an empty picture or a buffer
  // shorter than its size.
  bool attachPixels(std::vector<uint8_t> pixels, uint16_t width, uint16_t height, Point a, Point b);
  // The aspect ratio corner drags keep: the box's, taken when a drag starts.
  void setReferenceSize();
  bool hasPixels() const { return !pixels_.empty(); }
  const std::vector<uint8_t>& pixels() const { return pixels_; }
  // Counts the times the pixels were replaced or turned, so an editor holding
  // a copy can tell that someone else changed them.
  uint32_t pixelsVersion() const { return pixelsVersion_; }
  uint16_t pictureWidth() const { return width_; }
  uint16_t pictureHeight() const { return height_; }
  Size referenceSize() const { return {refWidth_, refHeight_}; }

  bool moveHandle(int handle, Point p) override;
  bool hitTest(Point p) override;
  std::unique_ptr<BoardObject> clone() const override;
  ObjectKind kind() const override { return ObjectKind::Image; }
  void draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) override;
  size_t save(std::span<uint8_t> dest) const override;
  bool load(std::span<const uint8_t> record) override;
  bool hasBulkData() const override { return true; }
  size_t saveBulkData(std::span<uint8_t> dest) const override;
  bool loadBulkData(std::span<const uint8_t> bytes) override;
  // The same within maxPixelBytes of pixels: the room its board has left.
  bool loadBulkWithin(std::span<const uint8_t> bytes, size_t maxPixelBytes);
  // The pixel bytes a raw bulk record may inflate to in this box.
  size_t rawBulkAllowance() const;
  // Replaces the pixels by those of a bulk record of the same picture size,
  // so that the sender shows what its peers decode; false leaves them.
  bool reloadPixels(std::span<const uint8_t> bulk);
  bool setAdjustmentA(int32_t v) override;
  bool getAdjustmentA(int32_t& v) const override;
  bool setOrientation(int32_t v) override;
  bool getOrientation(int32_t& v) const override;
  bool setBrightness(int32_t v) override;
  bool getBrightness(int32_t& v) const override;
  bool setContrast(int32_t v) override;
  bool getContrast(int32_t& v) const override;
  void invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const override;

 private:
  // The corners, then the adjustments, which records of 8 bytes go without.
  template <typename Io, typename Self>
  static void cornersLayout(Io& io, Self& s) {
    io(s.p1_)(s.p2_);
  }
  template <typename Io, typename Self>
  static void layout(Io& io, Self& s) {
    cornersLayout(io, s);
    io(s.adjustmentA_)(s.orientation_)(s.brightness_)(s.contrast_);
  }
  bool moveCorner(int handle, Point p);
  void drawPlaceholder(Canvas& canvas, uint32_t background) const;
  bool loadRawBulk(std::span<const uint8_t> envelope, size_t maxPixelBytes);
  bool loadJpegBulk(std::span<const uint8_t> bytes, size_t maxPixelBytes);

  std::vector<uint8_t> pixels_;
  uint16_t width_ = 0;
  uint16_t height_ = 0;
  int32_t adjustmentA_ = 0;
  int32_t orientation_ = 0;
  int32_t brightness_ = 0;
  int32_t contrast_ = 0;
  uint16_t refWidth_ = 0;
  uint16_t refHeight_ = 0;
  uint32_t pixelsVersion_ = 0;
};

// The placeholder's pieces, shared with the drawing of pictures not yet
// received: a sunken frame filled with the page colour and, in boxes of at
// least 10 x 10, a raised white square crossed in red.
void drawPicturePlaceholder(Canvas& canvas, Point a, Point b, uint32_t background);

}  // namespace scribly
