#include "objects/text_object.h"

#include <algorithm>
#include <cstring>

#include "collab/envelope.h"
#include "objects/record_layout.h"

namespace scribly {

std::string_view cutText(std::string_view utf8, size_t maxBytes) {
  utf8 = utf8.substr(0, std::min(utf8.find('\0'), utf8.size()));
  if (utf8.size() <= maxBytes) return utf8;
  size_t n = maxBytes;
  // Step back over continuation bytes so a cut character is dropped whole.
  while (n > 0 && (static_cast<uint8_t>(utf8[n]) & 0xC0) == 0x80) --n;
  return utf8.substr(0, n);
}

std::unique_ptr<BoardObject> TextObject::clone() const {
  auto copy = std::make_unique<TextObject>(measurer_);
  copy->p1_ = p1_;
  copy->p2_ = p2_;
  copy->fill_ = fill_;
  copy->colour_ = colour_;
  copy->font_ = font_;
  copy->text_ = text_;
  return copy;
}

void TextObject::draw(Canvas* canvas, DrawMode mode, uint32_t, bool) {
  if (!canvas) return;
  CanvasStateScope scope(*canvas);
  canvas->setFont(font_);
  if (fill_ != 0) {
    canvas->fillRect(box(), fill_);
    canvas->setTextBackground(fill_);
  } else {
    canvas->setTextBackground(std::nullopt);
  }
  if (colour_ != 0) {
    canvas->setTextColour(colour_);
    if (!canvas->drawText(box(), text_)) return;
  }
  drawBoxSelection(*canvas, mode, false);
}

size_t TextObject::save(std::span<uint8_t> dest) const {
  if (text_.size() > kMaxTextBytes) return 0;
  if (dest.empty()) return text_.size() + 1 + kFixedRecordBytes + kEnvelopeHeaderBytes;
  ByteWriter out(kFixedRecordBytes + text_.size() + 1);
  writeLayout(out, *this, [](auto& io, auto& s) { layout(io, s); });
  out.terminatedString(text_);
  return emitRecord(dest, Compress(out.data()));
}

bool TextObject::load(std::span<const uint8_t> record) {
  const auto payload = Decompress(record, kMaxRecordBytes);
  if (!payload || payload->size() < kFixedRecordBytes + 1) return false;
  // The text must end inside the record: a peer's missing terminator is
  // refused instead of read past.
  const auto* text = reinterpret_cast<const char*>(payload->data() + kFixedRecordBytes);
  const size_t room = payload->size() - kFixedRecordBytes;
  const size_t length = strnlen(text, room);
  if (length == room) return false;
  if (!readLayout(*payload, *this, [](auto& io, auto& s) { layout(io, s); })) return false;
  // The record's box stands, so the text is not measured here.
  text_.assign(cutText({text, length}, kMaxTextBytes));
  return true;
}

bool TextObject::setText(std::string_view utf8) {
  text_.assign(cutText(utf8, kMaxTextBytes));
  measure();
  return true;
}

bool TextObject::getText(std::span<char> buffer, uint16_t& length) const {
  if (buffer.size() < text_.size() + 1) return false;
  std::memcpy(buffer.data(), text_.c_str(), text_.size() + 1);
  length = static_cast<uint16_t>(text_.size());
  return true;
}

bool TextObject::setFont(const FontRecord& font) {
  if (!assignIfChanged(font_, font)) return false;
  measure();
  return true;
}

void TextObject::invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const {
  invalidateBox(view, box(), standardMargin(width_), dx, dy, erase);
}

void TextObject::measure() {
  if (!measurer_) return;
  const Rect current = box();
  const auto size = measurer_->measureText(font_, text_, current);
  if (!size) return;
  p1_ = {current.left, current.top};
  p2_ = {current.left + size->width, current.top + size->height};
}

}  // namespace scribly
