#pragma once
// Makes objects by kind id: empty ones for the tools, loaded ones from a
// peer's record.
#include <memory>
#include <span>

#include "objects/board_object.h"

namespace scribly {

// The drawing settings a tool applies to what it makes.
struct ToolSettings {
  uint8_t width = 1;
  uint32_t style = kPenSolid;
  uint32_t colour = 0;
  uint32_t fill = 0;
};

// A shape begun by a press of a drawing tool, and the handle the drag that
// follows moves (kNoHandle for strokes, which grow point by point instead).
struct ToolStart {
  std::unique_ptr<BoardObject> object;
  int dragHandle = kNoHandle;
};

class ObjectFactory {
 public:
  // Text and hand symbols measure their boxes through the measurer (may be
  // null in tests that do not look at text boxes).
  explicit ObjectFactory(TextMeasurer* measurer = nullptr) : measurer_(measurer) {}

  // An empty object for kinds 10..17 and 20..25; none for any other id (18 is
  // a tool whose strokes are pencil objects, 19 a page record).
  std::unique_ptr<BoardObject> create(uint8_t kind) const;

  // The object a drawing tool starts at press point p, with the settings
  // applied; none for tools that make nothing this way (selection, deletion,
  // text and picture, which have their own insertion paths).
  ToolStart startFromTool(uint8_t tool, Point p, const ToolSettings& settings) const;

  // The record-reading half of creating an object for a peer: the object for
  // the kind, loaded from the record; none when the kind makes no object or
  // the record is refused.
  std::unique_ptr<BoardObject> createFromRecord(uint8_t kind,
                                                std::span<const uint8_t> record) const;

 private:
  TextMeasurer* measurer_;
};

}  // namespace scribly
