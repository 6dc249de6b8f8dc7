#pragma once
// Editing the selected picture: mirror and quarter turns, a turn by any
// angle, brightness, contrast and size. Every change goes through the drawing
// tools and the board, so peers receive it and end with the same picture.
//
// Size and angle count from the picture as it was selected (its base): size
// is a percentage of the base box, and an angle turns the base's pixels into
// a new picture that replaces the one shown. Typing "30" into the angle field
// so turns by 3 and then by 30 degrees, never by 33. A mirror or quarter turn
// makes the picture as it then is the new base.
#include <cstdint>
#include <optional>
#include <vector>

#include "board/board.h"
#include "board/drawing_tools.h"
#include "objects/pixel_ops.h"

namespace scribly {

class PictureEditor {
 public:
  PictureEditor(Board& board, DrawingTools& tools) : board_(board), tools_(tools) {}

  // The selection changed (or a picture was selected again): a picture other
  // than the one this editor shows becomes the new base with every value 0
  // but its own brightness and contrast. False when no picture is selected.
  bool follow();
  bool editing() const { return base_.has_value(); }

  // Each answers false when nothing changed: no picture, the same value, a
  // refused angle.
  bool reorient(Orientation code);
  bool setBrightness(int32_t value);
  bool setContrast(int32_t value);
  // The base box scaled to (value + 100) percent, top-left kept.
  bool setSize(int32_t value);
  // Turns the base by -360 < degrees < 360, not 0.
  bool turn(double degrees);
  // Brightness, contrast and size back to 0; orientation and angle stay.
  void reset();

  int32_t brightness() const { return brightness_; }
  int32_t contrast() const { return contrast_; }
  int32_t size() const { return size_; }
  double angle() const { return angle_; }

 private:
  struct Base {
    uint32_t page = 0;
    std::vector<uint8_t> pixels;
    uint16_t width = 0;
    uint16_t height = 0;
    Rect box;
    int32_t adjustmentA = 0;
  };

  // The picture shown for the base, when it is still selected.
  ImageObject* shown();
  void takeBase(uint32_t page, uint32_t id, const ImageObject& picture);
  // The base box as the current angle turns it.
  Rect unscaledBox() const;
  Rect scaledBox(Point topLeft) const;

  Board& board_;
  DrawingTools& tools_;
  std::optional<Base> base_;
  // Twice the centre turns keep, exact for odd sides, and the box the last
  // turn made: a picture moved since then turns about its new centre.
  Point centre2_;
  Rect turnedBox_;
  uint32_t shownId_ = 0;
  // The shown picture's pixel version as this editor left it: another one
  // means someone else turned or replaced the pixels (the context menu's
  // quarter turn, a peer), and the picture as it now is becomes the base.
  uint32_t seenPixels_ = 0;
  int32_t brightness_ = 0;
  int32_t contrast_ = 0;
  int32_t size_ = 0;
  double angle_ = 0;
};

}  // namespace scribly
