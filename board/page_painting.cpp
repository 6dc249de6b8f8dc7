#include "board/page_painting.h"

#include <algorithm>

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

void paintPage(const Page* page, const BackgroundPicture* tile, Canvas& canvas, const Rect& area,
               const std::optional<Rect>& dirty) {
  if (!page) {
    canvas.fillRect(area, kBeyondPageGrey);
    return;
  }
  const Size size = page->size();
  const int32_t right = size.width;
  const int32_t bottom = size.height;
  const Rect onPage{area.left, area.top, std::min(area.right, right),
                    std::min(area.bottom, bottom)};
  Rect painted = onPage;
  if (dirty) {
    painted = Rect{std::max(onPage.left, dirty->left), std::max(onPage.top, dirty->top),
                   std::min(onPage.right, dirty->right), std::min(onPage.bottom, dirty->bottom)};
  }
  const uint32_t paper = page->paperColour();
  if (const BackgroundPicture* picture = page->shownPicture()) {
    canvas.fillRect(onPage, paper);
    picture->draw(canvas, Point{0, 0}, painted);
  } else if (tile) {
    tile->tile(canvas, Rect{0, 0, right, bottom}, painted);
  } else {
    canvas.fillRect(onPage, paper);
  }
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
