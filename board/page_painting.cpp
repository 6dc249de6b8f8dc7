#include "board/page_painting.h"

#include <algorithm>

#include "board/backgrounds.h"

namespace scribly {

namespace {

// Whether an object's area, as it would invalidate it, meets a rectangle.
class Meets final : public Invalidator {
 public:
  explicit Meets(const Rect& r) : r_(r) {}
  void invalidateRect(const Rect& box, bool) override {
    met = met || (box.left < r_.right && r_.left < box.right && box.top < r_.bottom &&
                  r_.top < box.bottom);
  }
  bool met = false;

 private:
  Rect r_;
};

}  // namespace

void paintPage(const Page* page, Canvas& canvas, const Rect& area,
               const std::optional<Rect>& dirty) {
  if (!page) {
    canvas.fillRect(area, kBeyondPageGrey);
    return;
  }
  int32_t right = static_cast<int32_t>(page->width());
  int32_t bottom = static_cast<int32_t>(page->height());
  const BackgroundPicture* picture = page->backgroundPicture();
  Rect pictureBox;
  if (picture) {
    pictureBox = backgroundBox(page->scale(), picture->size(), Size{area.width(), area.height()});
    // A picture larger than the page makes the page as large.
    right = std::max(right, pictureBox.right);
    bottom = std::max(bottom, pictureBox.bottom);
  }
  const uint32_t paper = page->paperColour();
  canvas.fillRect(
      Rect{area.left, area.top, std::min(area.right, right), std::min(area.bottom, bottom)}, paper);
  if (picture) picture->draw(canvas, pictureBox);
  for (const PageObject& entry : page->objects()) {
    if (dirty) {
      Meets meets(*dirty);
      entry.object->invalidate(meets, 0, 0, false);
      if (!meets.met) continue;
    }
    entry.object->draw(&canvas, DrawMode::Plain, paper, true);
  }
  if (area.right > right)
    canvas.fillRect(Rect{right, area.top, area.right, area.bottom}, kBeyondPageGrey);
  if (area.bottom > bottom) {
    canvas.fillRect(Rect{area.left, bottom, std::min(area.right, right), area.bottom},
                    kBeyondPageGrey);
  }
}

}  // namespace scribly
