#pragma once
// What the share dialog and the contents panel tell each other. The frame
// owns both on its thread, so these are plain calls: no window message
// carries a path or a pointer between them.
#include <cstddef>
#include <cstdint>
#include <string>

namespace scribly {

// What the printer did with the document, as the dialog's title says it.
enum class PrintStage { Printing, Printed, Failed };

// The dialog, as the contents panel drives it through a share.
class ShareStatus {
 public:
  // Hidden, its texts cleared and "start" disabled.
  virtual void reset() = 0;
  // Shown for a new share, "choose" in focus.
  virtual void choose() = 0;
  virtual void printStage(PrintStage stage) = 0;
  // The import makes the page with this number.
  virtual void uploading(uint32_t page) = 0;
  // `imported` of the document's `pages` are made.
  virtual void progress(size_t imported, size_t pages) = 0;

 protected:
  ~ShareStatus() = default;
};

// The contents panel, as the dialog asks it.
class ShareRunner {
 public:
  // Shares the document at `path` (system code page, shorter than the
  // printer's paths) with that print quality; nothing while a share runs.
  virtual void startShare(const std::string& path, int32_t quality) = 0;
  // Ends the share in progress: the printer stops, the import makes no
  // further page.
  virtual void stopShare() = 0;

 protected:
  ~ShareRunner() = default;
};

}  // namespace scribly
