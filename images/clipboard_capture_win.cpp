#include "images/clipboard_capture_win.h"

#include <memory>
#include <optional>
#include <span>
#include <utility>

#include "images/clipboard_data.h"
#include "objects/image_object_win.h"
#include "skin/skin_bridge_win.h"
#include "win/handles.h"
#include "win/messages.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr char kCaptureFileName[] = "varden_scribly_sc_temp_bitmap.bmp";

// The clipboard, open for one scope.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~OpenClipboardScope() {
    if (open_) CloseClipboard();
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_;
};

// The bytes of a clipboard format, locked for a scope; empty when absent.
// The block's own size bounds every read, whatever its contents claim.
class ClipboardBlock {
 public:
  explicit ClipboardBlock(UINT format)
      : memory_(GetClipboardData(format)),
        lock_(memory_),
        size_(lock_.data() ? GlobalSize(memory_) : 0) {}
  std::span<const uint8_t> bytes() const {
    return {static_cast<const uint8_t*>(lock_.data()), size_};
  }

 private:
  HGLOBAL memory_;
  GlobalMemoryLock lock_;
  size_t size_;
};

bool pasteText(DrawingTools& tools) {
  ClipboardBlock block(CF_TEXT);
  const std::string utf8 = recode(clipboardText(block.bytes()), kCodePageSystem, kCodePageUtf8);
  return tools.insertText(utf8, kPastePoint);
}

bool pastePicture(DrawingTools& tools) {
  auto image = std::make_unique<ImageObject>();
  const Point at = tools.toPage(kPastePoint);
  std::optional<ClipboardPicture> picture;
  if (IsClipboardFormatAvailable(CF_DIB)) picture = pictureFromDib(ClipboardBlock(CF_DIB).bytes());
  if (picture) {
    const uint16_t w = picture->width, h = picture->height;
    image->attachPixels(std::move(picture->pixels), w, h, at, {at.x + w, at.y + h});
  } else if (IsClipboardFormatAvailable(CF_BITMAP)) {
    // Compressed bitmaps are left to the system to read.
    attachFromBitmap(*image, static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)), at);
  }
  return tools.insertPicture(std::move(image));
}

void selectToolNotification(HWND frame) { SendMessageW(frame, WM_PLUGIN_SELECT_TOOL, 0, 0); }

}  // namespace

bool pasteFromClipboard(DrawingTools& tools, HWND view, HWND frame) {
  bool pasted = false;
  {
    OpenClipboardScope clipboard(view);
    if (!clipboard) return false;
    // Text comes first: with text there, a picture beside it is not pasted.
    if (IsClipboardFormatAvailable(CF_TEXT))
      pasted = pasteText(tools);
    else if (IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP))
      pasted = pastePicture(tools);
  }
  selectToolNotification(frame);
  return pasted;
}

ScreenCapture::ScreenCapture(DrawingTools& tools, std::function<void(uintptr_t)> tellHost,
                             SkinElement* element, HWND frame, const std::string& folder)
    : tools_(tools),
      tellHost_(std::move(tellHost)),
      element_(element),
      frame_(frame),
      path_(folder.empty() ? std::string() : folder + kCaptureFileName) {}

void ScreenCapture::start(bool hidePlugin) {
  if (!element_ || !element_->window() || path_.empty()) return;
  hidePlugin_ = hidePlugin;
  if (hidePlugin_ && tellHost_) tellHost_(kCaptureBegins);
  Sleep(kSettleMilliseconds);
  capturing_ = true;
  element_->send(kCaptureStart, reinterpret_cast<WPARAM>(frame_),
                 reinterpret_cast<LPARAM>(path_.c_str()));
  selectToolNotification(frame_);
}

bool ScreenCapture::handle(UINT message) {
  if (message != kCaptureDone && message != kCaptureNone) return false;
  // The path in the report is not read: the file is the one this capture
  // asked for, and a report nobody asked for is dropped.
  if (!std::exchange(capturing_, false)) return true;
  if (message == kCaptureDone)
    tools_.insertPictureFile(recode(path_, kCodePageSystem, kCodePageUtf8), kPastePoint);
  DeleteFileW(toWide(path_, kCodePageSystem).c_str());
  if (hidePlugin_ && tellHost_) tellHost_(kCaptureEnds);
  return true;
}

}  // namespace scribly
