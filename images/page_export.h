#pragma once
// The board taken home: every page, in page order, as one page of a PDF file
// named by the page's name (an outline entry per page), written through
// libharu. Pages come as pictures of their pixels, drawn by the caller as the
// view draws them; the file holds them losslessly (Flate), one pixel to one
// point (72 dots per inch).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "board/page.h"

namespace scribly {

// A page's pixels: top-down rows of blue, green, red and one unused byte (a
// 32-bit DIB's layout), each row `stride` bytes apart.
struct PagePixels {
  int32_t width = 0;
  int32_t height = 0;
  size_t stride = 0;
  const uint8_t* bgrx = nullptr;
};

// Sides past this many pixels are refused, as the PNG writer refuses them.
inline constexpr int32_t kMaxExportSide = 0x4000;

// One PDF document built page by page in memory.
class PdfPages {
 public:
  PdfPages();
  ~PdfPages();
  PdfPages(const PdfPages&) = delete;
  PdfPages& operator=(const PdfPages&) = delete;

  // Appends a page of the picture's size showing it, with an outline entry
  // named `name` (UTF-8). False, and the document unusable, when the picture
  // is impossible or the library fails.
  bool addPage(std::string_view name, const PagePixels& pixels);
  size_t pageCount() const { return pages_; }
  // The file's bytes; empty when anything failed.
  std::vector<uint8_t> bytes();
  // The library's last error code (0: none), for the log.
  unsigned long errorCode() const { return error_; }

 private:
  struct Document;
  std::unique_ptr<Document> doc_;
  size_t pages_ = 0;
  unsigned long error_ = 0;
};

// A name as a PDF text string: a byte-order mark and big-endian UTF-16;
// malformed UTF-8 becomes U+FFFD.
std::vector<uint8_t> pdfTextString(std::string_view utf8);

enum class ExportResult { Written, NoPages, DrawFailed, BuildFailed, WriteFailed };

struct PageExport {
  // Draws one page and hands its pixels to `use` (whose answer it returns);
  // false when the page could not be drawn.
  std::function<bool(const Page&, const std::function<bool(const PagePixels&)>& use)> draw;
  // The page's name in UTF-8 (page names are kept in the system code page).
  std::function<std::string(const Page&)> nameOf;
  // Called before the first page (0) and after each page is drawn.
  std::function<void(size_t done, size_t total)> progress;
};

// Every page of `pages` in order into one PDF written to `path` (system code
// page) whole or not at all.
ExportResult exportPdf(const std::vector<std::unique_ptr<Page>>& pages, const PageExport& how,
                       const std::string& path);

}  // namespace scribly
