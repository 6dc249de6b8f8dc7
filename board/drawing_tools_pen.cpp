// The pen the tools draw with: set from the panels, applied to the selection,
// and taking the selection's values when a peer changes them.
#include "board/drawing_tools.h"

namespace scribly {
namespace {

ObjectChange valueChange(MessageCode code, uint32_t value) {
  ObjectChange change;
  change.code = code;
  change.value = value;
  return change;
}

}  // namespace

void DrawingTools::applyToSelection(const ObjectChange& change) {
  // Without the write privilege the pen changes, the page does not.
  if (mayWrite() && selection()) board_.changeObject(activePage_, activeId_, change);
}

void DrawingTools::setColour(uint32_t colour) {
  pen_.colour = colour;
  applyToSelection(valueChange(MessageCode::kSetColor, colour));
}

void DrawingTools::setFill(uint32_t fill) {
  pen_.fill = fill;
  applyToSelection(valueChange(MessageCode::kSetFill, fill));
}

void DrawingTools::setWidth(uint8_t width) {
  pen_.width = width;
  applyToSelection(valueChange(MessageCode::kSetWidth, width));
}

void DrawingTools::setStyle(uint32_t style) {
  pen_.style = style;
  applyToSelection(valueChange(MessageCode::kSetStyle, style));
}

void DrawingTools::setFont(const FontRecord& font) {
  pen_.font = font;
  ObjectChange change = valueChange(MessageCode::kSetFont, 0);
  change.font = font;
  applyToSelection(change);
}

void DrawingTools::setPictureValue(MessageCode code, int32_t value) {
  if (!PenState::isPictureCode(code)) return;
  pen_.pictureValue(code) = value;
  applyToSelection(valueChange(code, static_cast<uint32_t>(value)));
}

uint32_t DrawingTools::paperColour() const {
  const Page* page = board_.currentPage();
  return page ? page->paperColour() : kPaperWhite;
}

uint32_t DrawingTools::editBrushColour() const {
  return pen_.fill != 0 ? pen_.fill : paperColour();
}

void DrawingTools::peerChangedObject(uint32_t pageId, uint32_t objectId, MessageCode code) {
  if (drawing_ || objectId == 0 || objectId != activeId_ || pageId != activePage_) return;
  const BoardObject* object = active();
  if (!object) return;
  uint32_t bits = 0;
  switch (code) {
    case MessageCode::kSetColor:
      if (object->getColour(pen_.colour)) bits = kPenColourBit;
      break;
    case MessageCode::kSetFill:
      if (object->getFill(pen_.fill)) bits = kPenFillBit;
      break;
    case MessageCode::kSetWidth:
      if (object->getPenWidth(pen_.width)) bits = kPenWidthBit;
      break;
    case MessageCode::kSetFont:
      if (object->getFont(pen_.font)) bits = kPenFontBit;
      break;
    case MessageCode::kSetStyle:
      // The line-style buttons show the selection's style too.
      if (object->getPenStyle(pen_.style)) {
        surroundings_.penStateChanged(kPenStyleBit, pen_.style);
      }
      return;
    default:
      return;
  }
  if (bits != 0) surroundings_.penStateChanged(bits, 0);
}

}  // namespace scribly
