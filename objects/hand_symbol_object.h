#pragma once
// The pointing-hand marker (kind 17): the hand bitmap up and left of a box
// holding the user's label. Every receiver sets the label from its own user
// list; the record carries only the user id.
#include <string>

#include "objects/board_object.h"

namespace scribly {

class HandSymbolObject : public Filled<Coloured<BoxObject>> {
 public:
  static constexpr size_t kRecordSize = 80;
  // The hand sits in the square this far up and left of the box.
  static constexpr int32_t kHandSpan = 20;

  explicit HandSymbolObject(TextMeasurer* measurer = nullptr) : measurer_(measurer) {}
  // The command's marker: the box starts at (x + 20, y + 20) with zero size.
  HandSymbolObject(uint32_t userId, Point at, TextMeasurer* measurer = nullptr);

  uint32_t userId() const { return userId_; }
  // Answers false when the label is unchanged; otherwise re-measures.
  bool setLabel(const std::string& utf8);
  // What the box shows: "name(id)", or only the id without a name.
  std::string displayText() const;

  int hitHandle(Point) const override { return kNoHandle; }
  HandleCursor handleCursor(int) const override { return HandleCursor::None; }
  bool moveHandle(int, Point) override { return false; }
  bool hitTest(Point p) override;
  std::unique_ptr<BoardObject> clone() const override { return nullptr; }
  ObjectKind kind() const override { return ObjectKind::HandSymbol; }
  void draw(Canvas* canvas, DrawMode mode, uint32_t background, bool atOwnPosition) override;
  size_t save(std::span<uint8_t> dest) const override;
  bool load(std::span<const uint8_t> record) override;
  bool setFont(const FontRecord& font) override;
  bool getFont(FontRecord& font) const override {
    font = font_;
    return true;
  }
  void invalidate(Invalidator& view, int32_t dx, int32_t dy, bool erase) const override;

 private:
  template <typename Io, typename Self>
  static void layout(Io& io, Self& s) {
    io(s.p1_)(s.p2_)(s.userId_)(s.colour_)(s.fill_)(s.font_);
  }
  void measure();

  TextMeasurer* measurer_;
  uint32_t userId_ = 0;
  std::string label_;
  FontRecord font_;
};

}  // namespace scribly
