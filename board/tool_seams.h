#pragma once
// What the drawing tools ask of the view and the frame around it. The Win32
// layer implements it over the view window (capture, focus, the edit control,
// the open-file dialog, picture decoding) and the frame's notifications;
// tests fake it.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "objects/font_record.h"
#include "objects/geometry.h"

namespace scribly {

class ImageObject;

// Bits of the pen-state notification: which of the pen's values changed.
enum PenStateBits : uint32_t {
  kPenColourBit = 1,
  kPenFillBit = 2,
  kPenWidthBit = 4,
  kPenFontBit = 8,
  kPenStyleBit = 16,
};

// Values of the selected object for the picture panel.
enum class SelectionProperty : uint32_t {
  Brightness = 0,
  Contrast = 1,
  // Always 0; tells the panel that a picture is selected.
  Picture = 2,
  // Packed points of a selected picture.
  FirstPoint = 3,
  SecondPoint = 4,
};

class ToolSurroundings {
 public:
  virtual ~ToolSurroundings() = default;

  // Pointer capture for the view; the tools ask rather than remember, as the
  // window system may take it away.
  virtual void captureMouse() = 0;
  virtual void releaseMouse() = 0;
  virtual bool holdsMouse() const = 0;
  virtual void focusView() = 0;
  // Drawing and the drawing tools are off while the write privilege is
  // missing; the rest of the frame (pages, scrolling, the library) stays.
  virtual void enableDrawing(bool enable) = 0;

  // The frame highlights the tool button for a shortcut key (0: "choice").
  virtual void toolButtonChanged(uint32_t keyCode) = 0;
  // The tool panels show the pen again; `style` counts with kPenStyleBit.
  virtual void penStateChanged(uint32_t bits, uint32_t style) = 0;
  virtual void selectionProperty(SelectionProperty which, uint32_t value) = 0;

  // Opens the in-place editor at a view point; its text comes back through
  // DrawingTools::insertText with the same point.
  virtual void openTextEditor(Point viewPoint, const FontRecord& font, std::string_view utf8) = 0;
  // The picture file a person chooses (UTF-8 path), or none when cancelled.
  virtual std::optional<std::string> choosePictureFile() = 0;
  // Decodes a picture file into `image` with its top-left at the page point.
  virtual bool loadPictureFile(ImageObject& image, const std::string& path, Point at) = 0;
  // The view's pixels inside the outline (view coordinates), white outside,
  // over the outline's bounding box enlarged by one pixel on every side, put
  // into `image` with its top-left at the page point `at`.
  virtual bool cutFromView(ImageObject& image, std::span<const Point> outline, Point at) = 0;
};

}  // namespace scribly
