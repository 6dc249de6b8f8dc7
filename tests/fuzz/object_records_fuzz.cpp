// Loads every kind's record, and the picture's bulk record, from arbitrary
// bytes; whatever loads is saved, hit, moved and drawn again.
#include <cstddef>
#include <cstdint>
#include <span>

#include "objects/object_factory.h"

namespace {

using namespace scribly;

class NullCanvas : public Canvas {
 public:
  void save() override {}
  void restore() override {}
  void setPen(const PenSpec&) override {}
  void setBrush(const BrushSpec&) override {}
  void setFillMode(FillMode) override {}
  void setFont(const FontRecord&) override {}
  void setTextColour(uint32_t) override {}
  void setTextBackground(std::optional<uint32_t>) override {}
  void line(Point, Point) override {}
  void polyline(std::span<const Point>) override {}
  void polygon(std::span<const Point>) override {}
  void rectangle(const Rect&) override {}
  void ellipse(const Rect&) override {}
  void chord(const Rect&, Point, Point) override {}
  void fillRect(const Rect&, uint32_t) override {}
  bool drawText(const Rect&, std::string_view) override { return true; }
  void blitPixels(const Rect&, std::span<const uint8_t> pixels, uint16_t w, uint16_t h) override {
    // Touch the last byte the blit would read.
    if (w && h) sink += pixels[pixelsNeeded(w, h) - 1];
  }
  bool drawBitmap(CanvasBitmap, Point, uint32_t) override { return true; }
  std::optional<Size> measureText(const FontRecord&, std::string_view utf8, const Rect&) override {
    return Size{static_cast<int32_t>(utf8.size()), 10};
  }
  static size_t pixelsNeeded(uint16_t w, uint16_t h) {
    return ((3 * size_t{w} - 1) / 4 + 1) * 4 * h;
  }
  uint8_t sink = 0;
};

class NullInvalidator : public Invalidator {
 public:
  void invalidateRect(const Rect&, bool) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // First byte picks the kind; for pictures the second picks record or bulk.
  static const uint8_t kKinds[] = {10, 11, 12, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25};
  const uint8_t kind = kKinds[data[0] % sizeof kKinds];
  std::span<const uint8_t> record(data + 1, size - 1);
  NullCanvas canvas;
  ObjectFactory factory(&canvas);
  std::unique_ptr<BoardObject> object;
  if (kind == 14 && !record.empty() && (record[0] & 1)) {
    object = factory.create(kind);
    if (!object->loadBulkData(record.subspan(1))) return 0;
  } else {
    object = factory.createFromRecord(kind, record);
    if (!object) return 0;
  }
  std::vector<uint8_t> saved = saveRecord(*object);
  saveBulkRecord(*object);
  NullInvalidator view;
  for (auto mode : {DrawMode::Plain, DrawMode::Selected, DrawMode::SelectedWithHandles}) {
    object->draw(&canvas, mode, 0xFFFFFF, true);
  }
  object->hitTest({10, 10});
  object->hitHandle({10, 10});
  object->invalidate(view, 3, 4, true);
  object->moveHandle(4, {50, 60});
  object->setOrientation(static_cast<int32_t>(size % 5));
  object->draw(&canvas, DrawMode::Plain, 0, false);
  if (auto copy = object->clone()) saveRecord(*copy);
  return 0;
}
