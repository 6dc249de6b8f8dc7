#include "docprint/text_pages_win.h"

#include <windows.h>

#include <array>

#include "base/file_bytes.h"
#include "base/jpeg_codec.h"
#include "docprint/print_job.h"
#include "docprint/text_layout.h"
#include "win/dib.h"
#include "win/handles.h"
#include "win/text.h"

namespace scribly {

namespace {

constexpr int kMarginTenthsMm = 150;
constexpr int kFontPoints = 10;
// The rasteriser's own default: strokes stay crisp, and a full page of text
// at 150 dpi is about a fifth smaller than at the codec's default 85.
constexpr int kTextJpegQuality = 75;
constexpr size_t kMaxPageJpegBytes = size_t{16} << 20;

// The first monospace face the system has; GDI silently substitutes another
// face for a missing one, so the face it chose is checked.
Font monospaceFont(HDC dc, int dpi) {
  static constexpr std::array<const wchar_t*, 4> kFaces = {L"Courier New", L"DejaVu Sans Mono",
                                                           L"Liberation Mono", L"Courier"};
  const int height = -MulDiv(kFontPoints, dpi, 72);
  for (const wchar_t* face : kFaces) {
    Font font(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                          FIXED_PITCH | FF_MODERN, face));
    if (!font) continue;
    ScopedSelect select(dc, font.get());
    wchar_t chosen[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, chosen);
    if (lstrcmpiW(chosen, face) == 0) return font;
  }
  return Font(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                          FIXED_PITCH | FF_MODERN, nullptr));
}

}  // namespace

bool printTextPages(std::string text, const std::string& folder, const std::string& base, int dpi,
                    const std::atomic<bool>& stop, std::vector<std::string>& written) {
  if (text.size() > kMaxTextFileBytes) return false;
  if (!isUtf8(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()))) {
    text = recode(text, kCodePageSystem, kCodePageUtf8);
  }

  const int width = pagePixels(kPageWidthTenthsMm, dpi);
  const int height = pagePixels(kPageHeightTenthsMm, dpi);
  const int margin = pagePixels(kMarginTenthsMm, dpi);
  MemoryDc dc(nullptr);
  BITMAPINFO info = dibInfo(width, height, 24, DibRows::BottomUp);
  void* bits = nullptr;
  Bitmap page(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  Font font = monospaceFont(dc.get(), dpi);
  if (!dc || !page || !bits || !font) return false;
  ScopedSelect selectPage(dc.get(), page.get());
  ScopedSelect selectFont(dc.get(), font.get());
  SIZE cell{};
  TEXTMETRICW metrics{};
  if (!GetTextExtentPoint32W(dc.get(), L"M", 1, &cell) || !GetTextMetricsW(dc.get(), &metrics) ||
      cell.cx <= 0) {
    return false;
  }
  const int lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
  const TextLayout layout =
      layoutText(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                 (width - 2 * margin) / cell.cx, (height - 2 * margin) / lineHeight);
  if (layout.tooLong) return false;
  SetBkMode(dc.get(), TRANSPARENT);
  SetTextColor(dc.get(), RGB(0, 0, 0));
  SetTextAlign(dc.get(), TA_LEFT | TA_TOP | TA_NOUPDATECP);

  const std::span<const uint8_t> pixels(static_cast<const uint8_t*>(bits),
                                        dibStride(width, 24) * height);
  uint32_t number = 0;
  for (const TextPage& textPage : layout.pages) {
    if (stop) return false;
    PatBlt(dc.get(), 0, 0, width, height, WHITENESS);
    int y = margin;
    for (const std::string& line : textPage.lines) {
      const std::wstring wide = toWide(line);
      if (!wide.empty()) {
        TextOutW(dc.get(), margin, y, wide.data(), static_cast<int>(wide.size()));
      }
      y += lineHeight;
    }
    GdiFlush();
    const auto jpeg =
        encodeJpeg(pixels, static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                   kMaxPageJpegBytes, kTextJpegQuality);
    if (!jpeg) return false;
    const std::string name = folder + pageFileName(base, ++number, ".jpg");
    written.push_back(name);
    if (!writeFileBytes(name, *jpeg)) return false;
  }
  return true;
}

}  // namespace scribly
