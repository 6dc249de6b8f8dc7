#pragma once
// Text boxes (kind 15): UTF-8 text of up to 4020 bytes in a font; the box
// follows the measured text. The record travels enveloped.
#include <string>

#include "objects/board_object.h"

namespace scribly {

class TextObject : public Filled<Coloured<BoxObject>> {
 public:
  static constexpr size_t kMaxTextBytes = 4020;
  // Corners, colour, fill, font; the text and its terminator follow.
  static constexpr size_t kFixedRecordBytes = 76;
  // The longest record a text has: a peer's envelope inflates no further.
  static constexpr size_t kMaxRecordBytes = kFixedRecordBytes + kMaxTextBytes + 1;

  // The measurer sizes the box after every text or font change; without one
  // the box stays as it is.
  explicit TextObject(TextMeasurer* measurer = nullptr) : measurer_(measurer) {}

  const std::string& text() const { return text_; }
  const FontRecord& font() const { return font_; }

  int hitHandle(Point) const override { return kNoHandle; }
  HandleCursor handleCursor(int) const override { return HandleCursor::None; }
  bool moveHandle(int, Point) override { return false; }
  bool hitTest(Point p) override { return box().contains(p); }
  std::unique_ptr<BoardObject> clone() const override;
  ObjectKind kind() const override { return ObjectKind::Text; }
  void draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) override;
  size_t save(std::span<uint8_t> dest) const override;
  bool load(std::span<const uint8_t> record) override;
  bool setText(std::string_view utf8) override;
  bool getText(std::span<char> buffer, uint16_t& length) const override;
  bool setFont(const FontRecord& font) override;
  bool getFont(FontRecord& font) const override {
    font = font_;
    return true;
  }
  void invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const override;

 private:
  // The fixed part; the text follows it.
  template <typename Io, typename Self>
  static void layout(Io& io, Self& s) {
    io(s.p1_)(s.p2_)(s.colour_)(s.fill_)(s.font_);
  }
  void measure();

  TextMeasurer* measurer_;
  // Only feeds the invalidation margin.
  uint8_t width_ = 2;
  FontRecord font_;
  std::string text_;
};

// Text cut to at most maxBytes at its first terminator, never inside a UTF-8
// sequence.
std::string_view cutText(std::string_view utf8, size_t maxBytes);

}  // namespace scribly
