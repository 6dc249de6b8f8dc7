#pragma once
// The share dialog, the skin window "scribly tip panel": a document's path
// (typed, or chosen with "choose"), the print quality, "start" and "stop",
// and what the share is doing. It asks the contents panel to share and
// shows what the panel tells it (share_seams.h).
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "share/share_seams.h"
#include "skin/skin_bridge_win.h"

namespace scribly {

inline constexpr std::string_view kShareDialogWindowName = "scribly tip panel";

class ShareDialog final : public SkinProgram, public ShareStatus {
 public:
  // `owner` owns the dialog's window; the dialog centres itself over it.
  ShareDialog(SkinSystem& skin, HWND owner);
  ~ShareDialog();
  ShareDialog(const ShareDialog&) = delete;
  ShareDialog& operator=(const ShareDialog&) = delete;

  HWND window() const { return window_ ? window_->window() : nullptr; }
  SkinElement* find(std::string_view name) { return window_ ? window_->find(name) : nullptr; }
  // Who shares what "start" asks for; it must outlive the dialog or be
  // replaced first.
  void setRunner(ShareRunner* runner) { runner_ = runner; }
  int32_t quality() const { return quality_; }
  // Shown with a document's path (UTF-8) filled in.
  void showPath(std::string_view path);
  // Saving the pages: `done` of `pages` drawn, shown at once (the pages are
  // drawn on this thread); hidden again after the last.
  void exportProgress(size_t done, size_t pages);

  // ShareStatus
  void reset() override;
  void choose() override;
  void printStage(PrintStage stage) override;
  void uploading(uint32_t page) override;
  void progress(size_t imported, size_t pages) override;

  // SkinProgram
  LRESULT onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                        bool& handled) override;
  LRESULT onNamedCommand(SkinElement& source, std::string_view name,
                         std::string_view argument) override;

 private:
  void showCentred();
  void chooseDocument();
  void start();
  void stop();
  void setText(std::string_view control, const std::string& text);
  void enableStart(bool enabled);

  SkinSystem& skin_;
  HWND owner_;
  ShareRunner* runner_ = nullptr;
  std::unique_ptr<SkinWindow> window_;
  std::string uploadTitle_;
  int32_t quality_;
};

}  // namespace scribly
