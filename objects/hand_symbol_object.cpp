#include "objects/hand_symbol_object.h"

#include <string>

#include "objects/record_layout.h"

namespace scribly {

HandSymbolObject::HandSymbolObject(uint32_t userId, Point at, TextMeasurer* measurer)
    : measurer_(measurer), userId_(userId) {
  p1_ = {at.x + kHandSpan, at.y + kHandSpan};
  p2_ = p1_;
}

bool HandSymbolObject::setLabel(const std::string& utf8) {
  if (!assignIfChanged(label_, utf8)) return false;
  measure();
  return true;
}

std::string HandSymbolObject::displayText() const {
  // The id prints as a signed decimal, as the marker always showed it.
  const std::string id = std::to_string(static_cast<int32_t>(userId_));
  return label_.empty() ? id : label_ + "(" + id + ")";
}

bool HandSymbolObject::hitTest(Point p) {
  const Rect hand{p1_.x - kHandSpan, p1_.y - kHandSpan, p1_.x, p1_.y};
  return box().contains(p) || hand.contains(p);
}

void HandSymbolObject::draw(Canvas* canvas, DrawMode mode, uint32_t, bool) {
  if (!canvas) return;
  CanvasStateScope scope(*canvas);
  constexpr uint32_t kWhite = 0xFFFFFF;
  if (!canvas->drawBitmap(CanvasBitmap::Hand, {p1_.x - 19, p1_.y - 16}, kWhite)) return;
  canvas->setFont(font_);
  if (fill_ != 0) {
    canvas->fillRect(box(), fill_);
    canvas->setTextBackground(fill_);
  } else {
    canvas->setTextBackground(std::nullopt);
  }
  if (colour_ != 0) {
    canvas->setTextColour(colour_);
    canvas->drawText(box(), displayText());
  }
  drawBoxSelection(*canvas, mode, false);
}

size_t HandSymbolObject::save(std::span<uint8_t> dest) const {
  ByteWriter out(kRecordSize);
  writeLayout(out, *this, [](auto& io, auto& s) { layout(io, s); });
  return emitRecord(dest, out.data());
}

bool HandSymbolObject::load(std::span<const uint8_t> record) {
  return record.size() >= kRecordSize &&
         readLayout(record, *this, [](auto& io, auto& s) { layout(io, s); });
}

bool HandSymbolObject::setFont(const FontRecord& font) {
  if (!assignIfChanged(font_, font)) return false;
  measure();
  return true;
}

void HandSymbolObject::invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const {
  const Rect withHand{p1_.x - kHandSpan, p1_.y - kHandSpan, p2_.x, p2_.y};
  invalidateBox(view, withHand, standardMargin(0), dx, dy, erase);
}

void HandSymbolObject::measure() {
  if (!measurer_) return;
  const Rect current = box();
  const auto size = measurer_->measureText(font_, displayText(), current);
  if (!size) return;
  p1_ = {current.left, current.top};
  p2_ = {current.left + size->width, current.top + size->height};
}

}  // namespace scribly
