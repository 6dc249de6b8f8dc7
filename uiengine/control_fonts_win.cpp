#include "uiengine/control_fonts_win.h"

#include <algorithm>
#include <string>

#include "win/text.h"

namespace scribly {
namespace {

// A face from skin or markup text: UTF-8, or else the code-page-936 bytes
// the document trees write their font name in; cut to what a LOGFONT holds,
// never inside a character.
std::wstring faceName(std::string_view face) {
  std::wstring wide = wideFromUtf8(face).value_or(toWide(face, kCodePageChinese));
  size_t n = std::min<size_t>(wide.size(), LF_FACESIZE - 1);
  if (n < wide.size() && n > 0 && IS_HIGH_SURROGATE(wide[n - 1])) --n;
  wide.resize(n);
  return wide;
}

}  // namespace

HFONT defaultFont() {
  static Font font = [] {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return Font(CreateFontIndirectW(&metrics.lfMessageFont));
  }();
  return font.get() ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

Font pointFont(HFONT base, std::string_view face, int points, int dpi) {
  LOGFONTW description = {};
  if (!base || GetObjectW(base, sizeof description, &description) != sizeof description) {
    description = {};
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfHeight = -MulDiv(9, dpi, 72);
  }
  if (points > 0) {
    description.lfHeight = -MulDiv(points, dpi, 72);
    description.lfWidth = 0;
  }
  if (!face.empty()) {
    const std::wstring wide = faceName(face);
    const size_t n = wide.copy(description.lfFaceName, LF_FACESIZE - 1);
    description.lfFaceName[n] = L'\0';
    description.lfCharSet = DEFAULT_CHARSET;
  }
  description.lfQuality = CLEARTYPE_QUALITY;
  return Font(CreateFontIndirectW(&description));
}

}  // namespace scribly
