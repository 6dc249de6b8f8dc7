#include "images/picture_editor.h"

#include <algorithm>
#include <memory>

namespace scribly {
namespace {

ImageObject* asPicture(BoardObject* object) {
  return object && object->kind() == ObjectKind::Image ? static_cast<ImageObject*>(object)
                                                       : nullptr;
}

int32_t adjustment(const BoardObject& object, bool (BoardObject::*get)(int32_t&) const) {
  int32_t value = 0;
  (object.*get)(value);
  return value;
}

// (value + 100) percent of a side, truncated; never below one pixel.
int32_t scaledSide(int32_t side, int32_t value) {
  return std::max<int32_t>(1, static_cast<int32_t>(int64_t{value + 100} * side / 100));
}

}  // namespace

ImageObject* PictureEditor::shown() {
  // Editing is drawing: without the write privilege nothing changes.
  if (!board_.privileges().write) return nullptr;
  const std::optional<SelectedObject> selected = tools_.selection();
  if (!base_ || !selected || selected->page != base_->page || selected->object != shownId_) {
    return nullptr;
  }
  return asPicture(tools_.activeObject());
}

bool PictureEditor::follow() {
  if (const ImageObject* picture = shown(); picture && picture->pixelsVersion() == seenPixels_) {
    return true;
  }
  const std::optional<SelectedObject> selected = tools_.selection();
  const ImageObject* picture = selected ? asPicture(tools_.activeObject()) : nullptr;
  if (!picture || !picture->hasPixels()) {
    base_.reset();
    shownId_ = 0;
    return false;
  }
  takeBase(selected->page, selected->object, *picture);
  brightness_ = adjustment(*picture, &BoardObject::getBrightness);
  contrast_ = adjustment(*picture, &BoardObject::getContrast);
  return true;
}

void PictureEditor::takeBase(uint32_t page, uint32_t id, const ImageObject& picture) {
  base_ = Base{page,
               picture.pixels(),
               picture.pictureWidth(),
               picture.pictureHeight(),
               picture.box(),
               adjustment(picture, &BoardObject::getAdjustmentA)};
  shownId_ = id;
  seenPixels_ = picture.pixelsVersion();
  turnedBox_ = {};
  size_ = 0;
  angle_ = 0;
}

bool PictureEditor::reorient(Orientation code) {
  ImageObject* picture = shown();
  if (!picture) return false;
  tools_.setPictureValue(MessageCode::kSetOrientation, static_cast<int32_t>(code));
  // The turned pixels are what later sizes and angles start from.
  takeBase(base_->page, shownId_, *picture);
  return true;
}

bool PictureEditor::setBrightness(int32_t value) {
  if (value == brightness_ || !shown()) return false;
  brightness_ = value;
  tools_.setPictureValue(MessageCode::kSetBrightness, value);
  return true;
}

bool PictureEditor::setContrast(int32_t value) {
  if (value == contrast_ || !shown()) return false;
  contrast_ = value;
  tools_.setPictureValue(MessageCode::kSetContrast, value);
  return true;
}

Rect PictureEditor::unscaledBox() const {
  return angle_ == 0 ? base_->box : turnedBox(base_->box, angle_);
}

Rect PictureEditor::scaledBox(Point topLeft) const {
  const Rect box = unscaledBox();
  return {topLeft.x, topLeft.y, topLeft.x + scaledSide(box.width(), size_),
          topLeft.y + scaledSide(box.height(), size_)};
}

bool PictureEditor::setSize(int32_t value) {
  ImageObject* picture = shown();
  if (value == size_ || !picture) return false;
  size_ = value;
  const Rect box = scaledBox({picture->box().left, picture->box().top});
  ObjectChange change;
  change.code = MessageCode::kSetPoints;
  change.value = PackedPoint::pack({box.left, box.top}).value;
  change.second = PackedPoint::pack({box.right, box.bottom}).value;
  return board_.changeObject(base_->page, shownId_, change);
}

bool PictureEditor::turn(double degrees) {
  ImageObject* picture = shown();
  if (!picture || !(degrees > -360 && degrees < 360) || degrees == 0 || degrees == angle_) {
    return false;
  }
  std::optional<TurnedPicture> turned =
      turnPixels(base_->pixels, base_->width, base_->height, degrees);
  if (!turned) return false;
  const double previous = angle_;
  angle_ = degrees;
  const Rect now = picture->box();
  if (now != turnedBox_) centre2_ = {now.left + now.right, now.top + now.bottom};
  // Scaled as the size says, about the same centre.
  const Rect sized = scaledBox({0, 0});
  const Rect box =
      sized.offset((centre2_.x - sized.width()) / 2, (centre2_.y - sized.height()) / 2);
  auto copy = std::make_unique<ImageObject>();
  copy->attachPixels(std::move(turned->pixels), turned->width, turned->height, {box.left, box.top},
                     {box.right, box.bottom});
  copy->setAdjustmentA(base_->adjustmentA);
  copy->setBrightness(brightness_);
  copy->setContrast(contrast_);
  const uint32_t replaced = shownId_;
  if (!tools_.insertPicture(std::move(copy))) {
    angle_ = previous;
    return false;
  }
  shownId_ = tools_.selection()->object;
  if (const ImageObject* now = shown()) seenPixels_ = now->pixelsVersion();
  turnedBox_ = box;
  board_.deleteObject(base_->page, replaced);
  return true;
}

void PictureEditor::reset() {
  setBrightness(0);
  setContrast(0);
  setSize(0);
}

}  // namespace scribly
