#include "objects/object_factory.h"

#include "objects/half_circle_object.h"
#include "objects/hand_symbol_object.h"
#include "objects/image_object.h"
#include "objects/line_object.h"
#include "objects/pencil_object.h"
#include "objects/rect_object.h"
#include "objects/text_object.h"
#include "objects/triangle_object.h"

namespace scribly {

std::unique_ptr<BoardObject> ObjectFactory::create(uint8_t kind) const {
  switch (static_cast<ObjectKind>(kind)) {
    case ObjectKind::Pencil:
      return std::make_unique<PencilObject>();
    case ObjectKind::Line:
      return std::make_unique<LineObject>();
    case ObjectKind::Rect:
      return std::make_unique<RectObject>();
    case ObjectKind::Ellipse:
      return std::make_unique<EllipseObject>();
    case ObjectKind::Image:
      return std::make_unique<ImageObject>();
    case ObjectKind::Text:
      return std::make_unique<TextObject>(measurer_);
    case ObjectKind::Triangle:
      return std::make_unique<TriangleObject>();
    case ObjectKind::HandSymbol:
      return std::make_unique<HandSymbolObject>(measurer_);
    case ObjectKind::ArrowLine:
      return std::make_unique<ArrowLineObject>(false);
    case ObjectKind::DoubleArrowLine:
      return std::make_unique<ArrowLineObject>(true);
    case ObjectKind::HalfCircleUpper:
    case ObjectKind::HalfCircleLower:
    case ObjectKind::HalfCircleLeft:
    case ObjectKind::HalfCircleRight:
      return std::make_unique<HalfCircleObject>(static_cast<HalfCircleOrientation>(kind - 21));
    default:
      return nullptr;
  }
}

ToolStart ObjectFactory::startFromTool(uint8_t tool, Point p, const ToolSettings& settings) const {
  const bool freeCut = tool == static_cast<uint8_t>(ObjectKind::FreeCut);
  ToolStart start;
  switch (static_cast<ObjectKind>(tool)) {
    case ObjectKind::Pencil:
    case ObjectKind::FreeCut: {
      auto pencil = std::make_unique<PencilObject>();
      pencil->addPoint(p);
      start.object = std::move(pencil);
      break;
    }
    case ObjectKind::Triangle: {
      auto triangle = std::make_unique<TriangleObject>();
      triangle->startAt(p);
      start.object = std::move(triangle);
      start.dragHandle = TriangleObject::kCreationHandle;
      break;
    }
    case ObjectKind::Line:
    case ObjectKind::ArrowLine:
    case ObjectKind::DoubleArrowLine:
      start.object = create(tool);
      start.dragHandle = 1;
      break;
    case ObjectKind::Rect:
    case ObjectKind::Ellipse:
    case ObjectKind::HalfCircleUpper:
    case ObjectKind::HalfCircleLower:
    case ObjectKind::HalfCircleLeft:
    case ObjectKind::HalfCircleRight:
      start.object = create(tool);
      start.dragHandle = 4;
      break;
    default:
      return {};
  }
  if (start.dragHandle != kNoHandle && tool != static_cast<uint8_t>(ObjectKind::Triangle)) {
    start.object->setPoints(PackedPoint::pack(p), PackedPoint::pack(p));
  }
  BoardObject& o = *start.object;
  o.setPenWidth(settings.width);
  o.setPenStyle(settings.style);
  o.setColour(settings.colour);
  o.setFill(settings.fill);
  if (freeCut) {
    // The cutting stroke is always a thin red line.
    constexpr uint32_t kRed = 255;
    o.setPenWidth(2);
    o.setColour(kRed);
    o.setFill(kRed);
  }
  return start;
}

std::unique_ptr<BoardObject> ObjectFactory::createFromRecord(
    uint8_t kind, std::span<const uint8_t> record) const {
  auto object = create(kind);
  if (!object || !object->load(record)) return nullptr;
  return object;
}

}  // namespace scribly
