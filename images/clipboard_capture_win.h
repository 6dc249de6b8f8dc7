#pragma once
// Outside text and pictures onto the current page: the clipboard's text or
// bitmap ("Paste"), and a screen area the person drags out over a still
// picture of the screen ("CaptureScreen", "Cut"), which the skin's capture
// element writes to a bitmap file and reports to the frame.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "board/drawing_tools.h"

namespace scribly {

class SkinElement;

// Where pasted and captured things land: the view's corner.
inline constexpr Point kPastePoint{4, 4};

// The clipboard's text, else its bitmap, as a new object at kPastePoint; text
// is not selected, a picture is. `view` owns the clipboard while it is read;
// `frame` then hears the select-tool notification. False when nothing was
// pasted (no clipboard, nothing usable on it, or the page refused it).
bool pasteFromClipboard(DrawingTools& tools, HWND view, HWND frame);

class ScreenCapture {
 public:
  // Host notifications around a capture that hides the plug-in.
  static constexpr uintptr_t kCaptureBegins = 100;
  static constexpr uintptr_t kCaptureEnds = 101;
  // Time the host gets to hide the plug-in before the screen is taken.
  static constexpr DWORD kSettleMilliseconds = 120;

  // `element` is the skin's capture element ("screen cap"); without one the
  // commands do nothing. Its reports go to `frame`, which hands them to
  // handle(). The element writes its picture into `folder` (8-bit, ending
  // in "\", the frame's own; empty: no capture). `tellHost` passes the
  // notifications on to the host. `tools` must outlive this object.
  ScreenCapture(DrawingTools& tools, std::function<void(uintptr_t)> tellHost, SkinElement* element,
                HWND frame, const std::string& folder);
  ScreenCapture(const ScreenCapture&) = delete;
  ScreenCapture& operator=(const ScreenCapture&) = delete;

  // "CaptureScreen" (hidePlugin: the host hears kCaptureBegins first) and
  // "Cut" (the plug-in stays visible).
  void start(bool hidePlugin);
  // The frame's messages kCaptureDone (the picture is inserted at
  // kPastePoint and its file deleted) and kCaptureNone; true when the
  // message was one of them. Either ends the capture; when it hid the
  // plug-in the host hears kCaptureEnds.
  bool handle(UINT message);

  bool hidesPlugin() const { return hidePlugin_; }
  bool capturing() const { return capturing_; }
  // The bitmap file the element writes; 8-bit in the system code page, as
  // the element takes it.
  const std::string& filePath() const { return path_; }

 private:
  DrawingTools& tools_;
  std::function<void(uintptr_t)> tellHost_;
  SkinElement* element_;
  HWND frame_;
  const std::string path_;
  // Set until "Cut" clears it, as the frame starts out hiding the plug-in.
  bool hidePlugin_ = true;
  bool capturing_ = false;
};

}  // namespace scribly
