#include "objects/gdi_canvas_win.h"

#include <array>
#include <cstring>

#include "objects/pixel_ops.h"
#include "win/dib.h"

namespace scribly {

namespace {

static_assert(sizeof(Point) == sizeof(POINT) && offsetof(Point, x) == offsetof(POINT, x) &&
                  offsetof(Point, y) == offsetof(POINT, y),
              "points are handed to GDI as they are");
static_assert(FontRecord::kMetricsSize == offsetof(LOGFONTW, lfFaceName));

const POINT* asPoints(std::span<const Point> points) {
  return reinterpret_cast<const POINT*>(points.data());
}

DWORD penFlags(const PenSpec& pen) {
  DWORD flags = PS_GEOMETRIC | (pen.style & PS_STYLE_MASK);
  switch (pen.cap) {
    case PenCap::Round:
      flags |= PS_ENDCAP_ROUND;
      break;
    case PenCap::Square:
      flags |= PS_ENDCAP_SQUARE;
      break;
    case PenCap::Flat:
      flags |= PS_ENDCAP_FLAT;
      break;
  }
  switch (pen.join) {
    case PenJoin::Round:
      flags |= PS_JOIN_ROUND;
      break;
    case PenJoin::Bevel:
      flags |= PS_JOIN_BEVEL;
      break;
    case PenJoin::Miter:
      flags |= PS_JOIN_MITER;
      break;
  }
  return flags;
}

std::optional<Size> measureOn(HDC dc, const FontRecord& font, std::string_view utf8,
                              const Rect& start) {
  const auto text = wideFromUtf8(utf8);
  if (!text || !dc) return std::nullopt;
  const LOGFONTW lf = logFontFrom(font);
  Font made(CreateFontIndirectW(&lf));
  ScopedSelect selected(dc, made.get());
  RECT r = toRect(start);
  DrawTextW(dc, text->c_str(), static_cast<int>(text->size()), &r, DT_CALCRECT);
  return Size{r.right - r.left, r.bottom - r.top};
}

}  // namespace

Pen makePen(const PenSpec& pen) {
  if (!pen.geometric) return Pen(CreatePen(static_cast<int>(pen.style), pen.width, pen.colour));
  LOGBRUSH brush{BS_SOLID, pen.colour, 0};
  return Pen(ExtCreatePen(penFlags(pen), pen.width, &brush, 0, nullptr));
}

LOGFONTW logFontFrom(const FontRecord& font) {
  LOGFONTW lf{};
  ByteWriter metrics;
  font.write(metrics);
  std::memcpy(&lf, metrics.data().data(), FontRecord::kMetricsSize);
  const auto face = wideFromUtf8(font.face());
  const std::wstring chosen =
      face && face->size() < LF_FACESIZE ? *face : std::wstring(L"MS Shell Dlg");
  std::memcpy(lf.lfFaceName, chosen.c_str(), (chosen.size() + 1) * sizeof(wchar_t));
  return lf;
}

FontRecord fontRecordFrom(const LOGFONTW& lf) {
  std::array<uint8_t, FontRecord::kSize> bytes{};
  std::memcpy(bytes.data(), &lf, FontRecord::kMetricsSize);
  ByteReader in(bytes);
  FontRecord font = FontRecord::read(in);
  font.setFace(fromWide(std::wstring_view(lf.lfFaceName, wcsnlen(lf.lfFaceName, LF_FACESIZE))));
  return font;
}

HCURSOR cursorForHandle(HandleCursor cursor, HINSTANCE module) {
  switch (cursor) {
    case HandleCursor::SizeNwse:
      return LoadCursorW(nullptr, IDC_SIZENWSE);
    case HandleCursor::SizeNs:
      return LoadCursorW(nullptr, IDC_SIZENS);
    case HandleCursor::SizeNesw:
      return LoadCursorW(nullptr, IDC_SIZENESW);
    case HandleCursor::SizeWe:
      return LoadCursorW(nullptr, IDC_SIZEWE);
    case HandleCursor::Move:
      return LoadCursorW(module, MAKEINTRESOURCEW(kMoveCursorResource));
    case HandleCursor::None:
      break;
  }
  return nullptr;
}

GdiCanvas::GdiCanvas(HDC dc, HBITMAP handBitmap) : dc_(dc), hand_(handBitmap) {
  // A base scope, so that settings made outside any save() are undone too.
  save();
}

GdiCanvas::~GdiCanvas() {
  while (!scopes_.empty()) restore();
}

void GdiCanvas::save() {
  scopes_.emplace_back();
  current().savedState = SaveDC(dc_);
}

void GdiCanvas::restore() {
  if (scopes_.empty()) return;
  // Restoring the state selects what was selected at the save; only then may
  // the scope's own objects be deleted.
  if (current().savedState != 0) RestoreDC(dc_, current().savedState);
  scopes_.pop_back();
}

template <class H>
void GdiCanvas::replace(GdiHandle<H>& slot, GdiHandle<H> owned) {
  if (!owned) return;
  SelectObject(dc_, owned.get());
  slot = std::move(owned);
}

void GdiCanvas::setPen(const PenSpec& pen) {
  if (pen.colour == 0) {
    // The stock pen is never deleted; the scope's own pen goes once deselected.
    SelectObject(dc_, GetStockObject(NULL_PEN));
    current().pen.reset();
    return;
  }
  replace(current().pen, makePen(pen));
}

void GdiCanvas::setBrush(const BrushSpec& brush) {
  if (brush.null) {
    SelectObject(dc_, GetStockObject(NULL_BRUSH));
    current().brush.reset();
    return;
  }
  replace(current().brush, Brush(CreateSolidBrush(brush.colour)));
}

void GdiCanvas::setFillMode(FillMode mode) {
  SetPolyFillMode(dc_, mode == FillMode::Alternate ? ALTERNATE : WINDING);
}

void GdiCanvas::setFont(const FontRecord& font) {
  const LOGFONTW lf = logFontFrom(font);
  replace(current().font, Font(CreateFontIndirectW(&lf)));
}

void GdiCanvas::setTextColour(uint32_t colour) { SetTextColor(dc_, colour); }

void GdiCanvas::setTextBackground(std::optional<uint32_t> colour) {
  if (colour) {
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, *colour);
  } else {
    SetBkMode(dc_, TRANSPARENT);
  }
}

void GdiCanvas::line(Point from, Point to) {
  MoveToEx(dc_, from.x, from.y, nullptr);
  LineTo(dc_, to.x, to.y);
}

void GdiCanvas::polyline(std::span<const Point> points) {
  if (points.size() >= 2) Polyline(dc_, asPoints(points), static_cast<int>(points.size()));
}

void GdiCanvas::polygon(std::span<const Point> points) {
  if (points.size() >= 2) Polygon(dc_, asPoints(points), static_cast<int>(points.size()));
}

void GdiCanvas::rectangle(const Rect& b) { Rectangle(dc_, b.left, b.top, b.right, b.bottom); }

void GdiCanvas::ellipse(const Rect& b) { Ellipse(dc_, b.left, b.top, b.right, b.bottom); }

void GdiCanvas::chord(const Rect& b, Point from, Point to) {
  Chord(dc_, b.left, b.top, b.right, b.bottom, from.x, from.y, to.x, to.y);
}

void GdiCanvas::fillRect(const Rect& box, uint32_t colour) {
  Brush brush(CreateSolidBrush(colour));
  const RECT r = toRect(box);
  if (brush) FillRect(dc_, &r, brush.get());
}

bool GdiCanvas::drawText(const Rect& box, std::string_view utf8) {
  const auto text = wideFromUtf8(utf8);
  if (!text) return false;
  RECT r = toRect(box);
  DrawTextW(dc_, text->c_str(), static_cast<int>(text->size()), &r, 0);
  return true;
}

void GdiCanvas::blitPixels(const Rect& dest, std::span<const uint8_t> pixels, uint16_t w,
                           uint16_t h) {
  if (w == 0 || h == 0 || pixels.size() < pictureBytes(w, h)) return;
  const BITMAPINFO info = dibInfo(w, h, 24, DibRows::BottomUp);
  const int previous = SetStretchBltMode(dc_, COLORONCOLOR);
  StretchDIBits(dc_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, 0, 0, w,
                h, pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  if (previous) SetStretchBltMode(dc_, previous);
}

bool drawTransparentBitmap(HDC dc, HBITMAP bitmap, Point at, COLORREF transparent) {
  BITMAP bm{};
  if (!dc || !bitmap || !GetObjectW(bitmap, sizeof bm, &bm)) return false;
  MemoryDc image(dc);
  MemoryDc mask(dc);
  Bitmap maskBitmap(CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, nullptr));
  if (!image || !mask || !maskBitmap) return false;
  ScopedSelect imageSelected(image.get(), bitmap);
  ScopedSelect maskSelected(mask.get(), maskBitmap.get());
  // Colour to monochrome: pixels of the background colour become 1.
  SetBkColor(image.get(), transparent);
  BitBlt(mask.get(), 0, 0, bm.bmWidth, bm.bmHeight, image.get(), 0, 0, SRCCOPY);
  // Monochrome to colour maps 0 to the text colour and 1 to the background:
  // black and white make the mask an exact AND mask.
  const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
  const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
  // XOR, AND, XOR: the image where the mask is 0, the destination elsewhere.
  BitBlt(dc, at.x, at.y, bm.bmWidth, bm.bmHeight, image.get(), 0, 0, SRCINVERT);
  BitBlt(dc, at.x, at.y, bm.bmWidth, bm.bmHeight, mask.get(), 0, 0, SRCAND);
  BitBlt(dc, at.x, at.y, bm.bmWidth, bm.bmHeight, image.get(), 0, 0, SRCINVERT);
  SetTextColor(dc, text);
  SetBkColor(dc, back);
  return true;
}

bool GdiCanvas::drawBitmap(CanvasBitmap, Point at, uint32_t transparent) {
  return drawTransparentBitmap(dc_, hand_, at, transparent);
}

std::optional<Size> GdiCanvas::measureText(const FontRecord& font, std::string_view utf8,
                                           const Rect& start) {
  return measureOn(dc_, font, utf8, start);
}

std::optional<Size> ScreenTextMeasurer::measureText(const FontRecord& font, std::string_view utf8,
                                                    const Rect& start) {
  ScreenDc screen;
  return measureOn(screen.get(), font, utf8, start);
}

}  // namespace scribly
