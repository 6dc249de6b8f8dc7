#include "images/page_export.h"

#include <hpdf.h>

#include "base/file_bytes.h"

namespace scribly {

// The document and the first error the library reported through its handler;
// every later call is refused once one came.
struct PdfPages::Document {
  HPDF_Doc pdf = nullptr;
  HPDF_STATUS error = HPDF_OK;

  static void HPDF_STDCALL onError(HPDF_STATUS error, HPDF_STATUS, void* self) {
    auto* doc = static_cast<Document*>(self);
    if (doc->error == HPDF_OK) doc->error = error;
  }
  ~Document() {
    if (pdf) HPDF_Free(pdf);
  }
  bool ok() const { return pdf && error == HPDF_OK; }
};

PdfPages::PdfPages() : doc_(std::make_unique<Document>()) {
  doc_->pdf = HPDF_New(&Document::onError, doc_.get());
  if (!doc_->pdf) return;
  HPDF_SetCompressionMode(doc_->pdf, HPDF_COMP_ALL);
  // A viewer opens with the pages' names beside them.
  HPDF_SetPageMode(doc_->pdf, HPDF_PAGE_MODE_USE_OUTLINE);
}

PdfPages::~PdfPages() = default;

bool PdfPages::addPage(std::string_view name, const PagePixels& pixels) {
  Document& doc = *doc_;
  if (!doc.ok()) return false;
  const bool possible = pixels.bgrx && pixels.width > 0 && pixels.height > 0 &&
                        pixels.width <= kMaxExportSide && pixels.height <= kMaxExportSide &&
                        pixels.stride >= size_t(pixels.width) * 4;
  if (!possible) {
    doc.error = HPDF_INVALID_PARAMETER;
    error_ = doc.error;
    return false;
  }
  const auto width = static_cast<size_t>(pixels.width);
  const auto height = static_cast<size_t>(pixels.height);
  std::vector<uint8_t> rgb(width * height * 3);
  for (size_t y = 0; y < height; ++y) {
    const uint8_t* from = pixels.bgrx + y * pixels.stride;
    uint8_t* to = &rgb[y * width * 3];
    for (size_t x = 0; x < width; ++x, from += 4, to += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
  const auto w = static_cast<HPDF_REAL>(pixels.width), h = static_cast<HPDF_REAL>(pixels.height);
  HPDF_Page page = HPDF_AddPage(doc.pdf);
  HPDF_Image image =
      page ? HPDF_LoadRawImageFromMem(doc.pdf, rgb.data(), static_cast<HPDF_UINT>(width),
                                      static_cast<HPDF_UINT>(height), HPDF_CS_DEVICE_RGB, 8)
           : nullptr;
  if (image && doc.ok()) {
    HPDF_Page_SetWidth(page, w);
    HPDF_Page_SetHeight(page, h);
    HPDF_Page_DrawImage(page, image, 0, 0, w, h);
    // The title as a UTF-16 text string: libharu's own strings know only
    // single-byte encodings.
    const std::vector<uint8_t> title = pdfTextString(name);
    HPDF_Outline entry = HPDF_CreateOutline(doc.pdf, nullptr, "", nullptr);
    HPDF_Binary text = entry ? HPDF_Binary_New(doc.pdf->mmgr, const_cast<uint8_t*>(title.data()),
                                               static_cast<HPDF_UINT>(title.size()))
                             : nullptr;
    if (text && HPDF_Dict_Add(entry, "Title", text) == HPDF_OK)
      HPDF_Outline_SetDestination(entry, HPDF_Page_CreateDestination(page));
  }
  if (!doc.ok()) {
    if (doc.error == HPDF_OK) doc.error = HPDF_FAILD_TO_ALLOC_MEM;
    error_ = doc.error;
    return false;
  }
  ++pages_;
  return true;
}

std::vector<uint8_t> PdfPages::bytes() {
  Document& doc = *doc_;
  if (!doc.ok() || HPDF_SaveToStream(doc.pdf) != HPDF_OK || !doc.ok()) {
    error_ = doc.error;
    return {};
  }
  std::vector<uint8_t> file(HPDF_GetStreamSize(doc.pdf));
  HPDF_UINT32 size = static_cast<HPDF_UINT32>(file.size());
  HPDF_ResetStream(doc.pdf);
  if (file.empty() || HPDF_ReadFromStream(doc.pdf, file.data(), &size) != HPDF_OK ||
      size != file.size()) {
    error_ = doc.error;
    return {};
  }
  return file;
}

std::vector<uint8_t> pdfTextString(std::string_view utf8) {
  std::vector<uint8_t> out = {0xFE, 0xFF};
  auto unit = [&out](uint32_t u) {
    out.push_back(static_cast<uint8_t>(u >> 8));
    out.push_back(static_cast<uint8_t>(u & 0xFF));
  };
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    const size_t length = lead < 0x80       ? 1
                          : lead >> 5 == 6  ? 2
                          : lead >> 4 == 14 ? 3
                          : lead >> 3 == 30 ? 4
                                            : 0;
    uint32_t code = length == 1 ? lead : length ? lead & (0x7F >> length) : 0xFFFD;
    bool whole = length != 0 && i + length <= utf8.size();
    for (size_t k = 1; whole && k < length; ++k) {
      const auto next = static_cast<uint8_t>(utf8[i + k]);
      whole = next >> 6 == 2;
      code = code << 6 | (next & 0x3F);
    }
    constexpr uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!whole || code < kShortest[length] || code > 0x10FFFF ||
        (code >= 0xD800 && code < 0xE000)) {
      code = 0xFFFD;
      i += 1;
    } else {
      i += length;
    }
    if (code >= 0x10000) {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      unit(code);
    }
  }
  return out;
}

ExportResult exportPdf(const std::vector<std::unique_ptr<Page>>& pages, const PageExport& how,
                       const std::string& path) {
  if (pages.empty()) return ExportResult::NoPages;
  PdfPages pdf;
  size_t done = 0;
  if (how.progress) how.progress(0, pages.size());
  for (const auto& page : pages) {
    bool handed = false, added = false;
    how.draw(*page, [&](const PagePixels& pixels) {
      handed = true;
      added = pdf.addPage(how.nameOf ? how.nameOf(*page) : page->name(), pixels);
      return added;
    });
    if (!handed) return ExportResult::DrawFailed;
    if (!added) return ExportResult::BuildFailed;
    if (how.progress) how.progress(++done, pages.size());
  }
  const std::vector<uint8_t> file = pdf.bytes();
  if (file.empty()) return ExportResult::BuildFailed;
  return writeFileBytes(path, file) ? ExportResult::Written : ExportResult::WriteFailed;
}

}  // namespace scribly
