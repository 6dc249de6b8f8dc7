#pragma once
// The controls of the engine's own class that the engine paints: windows and
// panels, buttons and images. Each is its background, a picture from a file
// and its caption, drawn off screen in one go.
#include <windows.h>

#include <cstdint>
#include <optional>

#include "uiengine/control_win.h"

namespace scribly {

class DrawnControl : public Control {
 public:
  using Control::Control;

 protected:
  bool hasPicture() const { return static_cast<bool>(picture_); }
  SIZE pictureSize() const { return pictureSize_; }
  uint32_t transparentKey() const { return transparentKey_; }
  HBITMAP picture() const { return picture_.get(); }
  // Pixels at 96 dots per inch, at the engine's.
  int scaled(int pixels) const;

  std::optional<LRESULT> kindMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void draw(HDC dc) override;
  // What the kinds change about the drawing: a frame under the picture,
  // whether the caption shows, where the picture goes (and the caption below
  // it), and what a newly loaded picture means besides.
  virtual void drawFrame(HDC, const RECT&) {}
  virtual bool showsCaption() const { return true; }
  virtual RECT pictureArea(const RECT& client, bool captioned, int lineHeight, RECT& textArea);
  virtual void pictureLoaded() {}

 private:
  LRESULT onPicture(WPARAM keyAndSize, LPARAM file);
  LRESULT onIconPosition(WPARAM x, LPARAM y);

  Bitmap picture_;
  SIZE pictureSize_{};
  uint32_t transparentKey_ = kNoColour;
  int iconSize_ = 0;
  POINT iconPosition_{-1, -1};
};

}  // namespace scribly
