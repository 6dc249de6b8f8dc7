// The GDI canvas drawn into a 32-bit memory DIB and checked pixel by pixel.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "objects/gdi_canvas_win.h"
#include "objects/hand_symbol_object.h"
#include "objects/image_object.h"
#include "objects/line_object.h"
#include "objects/object_factory.h"
#include "objects/pencil_object.h"
#include "objects/rect_object.h"
#include "tests/win/test_surface.h"

namespace scribly {
namespace {

constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kGreen = 0x00FF00;

void paint(Surface& s, BoardObject& o, DrawMode mode = DrawMode::Plain, uint32_t page = 0,
           bool placed = true) {
  GdiCanvas canvas(s.dc());
  o.draw(&canvas, mode, page, placed);
}

// Puts `o` from `from` to `to` with a pen of `width` in `colour`.
void place(BoardObject& o, Point from, Point to, int width, COLORREF colour) {
  o.setPoints(PackedPoint::pack(from), PackedPoint::pack(to));
  o.setPenWidth(width);
  o.setColour(colour);
}

TEST(GdiCanvas, ArrowHeadsOutlinesAndSelectionsDrawAsTheirRecordsSay) {
  // The head's corners sit ten pixels back and six aside (the other corner
  // is LineObject's to check).
  Surface s(200, 100);
  ArrowLineObject arrow(false);
  place(arrow, {0, 50}, {100, 50}, 1, kBlue);
  paint(s, arrow);
  EXPECT_EQ(s.at(92, 56), kBlue);
  EXPECT_EQ(s.at(96, 50), kBlue);  // inside the filled head
  EXPECT_EQ(s.at(92, 58), kWhite);
  EXPECT_EQ(s.at(90, 53), kWhite);  // behind the head, beside the line

  // Colour 0 is no pen, not a black one: the fill shows to the edge.
  Surface filled(100, 100);
  RectObject r;
  place(r, {10, 10}, {60, 60}, 5, 0);
  r.setFill(kRed);
  paint(filled, r);
  EXPECT_EQ(filled.at(35, 35), kRed);
  EXPECT_EQ(filled.at(11, 11), kRed);
  EXPECT_EQ(filled.count(RGB(0, 0, 0)), 0);
  r.setColour(kBlue);
  Surface outlined(100, 100);
  paint(outlined, r);
  EXPECT_EQ(outlined.at(11, 11), kBlue);
  EXPECT_EQ(outlined.at(35, 35), kRed);

  // Handles only with handles, and a dashed green outline when selected.
  RectObject framed;
  place(framed, {20, 20}, {120, 80}, 1, kBlue);
  Surface plain(150, 100), selected(150, 100), handles(150, 100);
  paint(plain, framed);
  paint(selected, framed, DrawMode::Selected);
  paint(handles, framed, DrawMode::SelectedWithHandles);
  EXPECT_EQ(plain.count(kGreen), 0);
  // Dashed: green and blue alternate along the top edge.
  const int greenTop = selected.count(kGreen, {30, 20, 110, 21});
  EXPECT_GT(greenTop, 20);
  EXPECT_LT(greenTop, 80);
  EXPECT_EQ(selected.count(kGreen, {68, 48, 72, 52}), 0);  // no centre handle
  EXPECT_EQ(handles.count(kGreen, {68, 48, 72, 52}), 16);  // the centre handle square
  EXPECT_EQ(handles.count(kGreen, {118, 78, 122, 82}), 16);
}

TEST(GdiCanvas, APictureStretchesToItsBoxAndWithoutPixelsShowsTheRedCross) {
  Surface s(60, 50);
  ImageObject img;
  img.setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({40, 30}));
  const COLORREF page = RGB(0x56, 0x34, 0x12);
  paint(s, img, DrawMode::Plain, page);
  EXPECT_EQ(s.at(5, 25), page);
  EXPECT_EQ(s.at(20, 15), kRed);   // where the cross's strokes meet
  EXPECT_EQ(s.at(14, 9), kWhite);  // the square's white corner
  EXPECT_GT(s.count(kRed), 10);
  EXPECT_EQ(s.at(50, 40), kWhite);  // outside the box

  // A picture stretches to its box; brightness 255 draws it white.
  std::vector<uint8_t> px(pictureBytes(2, 2), 0);
  // Bottom-up: the first row is the bottom one. Bottom-left red.
  px[2] = 255;
  ImageObject picture;
  ASSERT_TRUE(picture.attachPixels(px, 2, 2, {10, 10}, {30, 30}));
  Surface stretched(50, 50);
  paint(stretched, picture);
  EXPECT_EQ(stretched.at(12, 28), kRed);
  EXPECT_EQ(stretched.at(28, 12), RGB(0, 0, 0));
  EXPECT_EQ(stretched.at(5, 5), kWhite);

  picture.setBrightness(255);
  Surface bright(50, 50, kBlue);
  paint(bright, picture);
  EXPECT_EQ(bright.count(kWhite, {10, 10, 30, 30}), 400);
  EXPECT_EQ(bright.at(5, 5), kBlue);

  // Placement 0 draws at the origin.
  Surface origin(50, 50);
  paint(origin, picture, DrawMode::Plain, 0, false);
  EXPECT_EQ(origin.count(kWhite, {0, 0, 20, 20}), 400);
}

TEST(GdiCanvas, FontFacesConvertFromWholeCharactersOrFallBack) {
  FontRecord f;
  f.height = -12;
  f.setFace("\xff\xfe bad");
  LOGFONTW lf = logFontFrom(f);
  EXPECT_STREQ(lf.lfFaceName, L"MS Shell Dlg");
  EXPECT_EQ(lf.lfHeight, -12);
  f.setFace("Caf\xc3\xa9");
  EXPECT_STREQ(logFontFrom(f).lfFaceName, L"Caf\u00e9");
  // A face longer than the record holds loses the character its last byte cuts.
  f.setFace(std::string(30, 'x') + "\xc3\xa9z");
  EXPECT_EQ(std::wstring(logFontFrom(f).lfFaceName), std::wstring(30, L'x'));
  // A record without a terminator may end inside a character too.
  const std::string unterminated = std::string(31, 'y') + "\xe4";
  std::copy(unterminated.begin(), unterminated.end(), f.faceName.begin());
  EXPECT_EQ(std::wstring(logFontFrom(f).lfFaceName), std::wstring(31, L'y'));
  f.faceName.fill('a');  // 32 characters: too long for a face
  EXPECT_STREQ(logFontFrom(f).lfFaceName, L"MS Shell Dlg");

  // Back from what the font dialog hands out: every value, the face as UTF-8.
  lf = {};
  lf.lfHeight = -19;
  lf.lfWeight = 700;
  lf.lfItalic = 1;
  lf.lfCharSet = 134;
  lf.lfPitchAndFamily = 0x31;
  wcscpy(lf.lfFaceName, L"Caf\u00e9 Sans");
  const FontRecord back = fontRecordFrom(lf);
  EXPECT_EQ(back.face(), "Caf\xc3\xa9 Sans");
  const LOGFONTW again = logFontFrom(back);
  EXPECT_EQ(std::memcmp(&again, &lf, sizeof lf), 0);
  // 31 wide characters are more bytes than the record holds.
  std::fill_n(lf.lfFaceName, 30, L'x');
  wcscpy(lf.lfFaceName + 30, L"\u00e9");
  EXPECT_EQ(fontRecordFrom(lf).face(), std::string(30, 'x'));
}

// A stand-in hand: white all round a black 9 x 7 block.
Bitmap makeHand(HDC dc) {
  Bitmap bmp(CreateCompatibleBitmap(dc, 19, 17));
  MemoryDc mem(dc);
  ScopedSelect selected(mem.get(), bmp.get());
  RECT all{0, 0, 19, 17}, block{5, 5, 14, 12};
  FillRect(mem.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FillRect(mem.get(), &block, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  return bmp;
}

TEST(GdiCanvas, HandSymbolBitmapIsTransparentWhereWhiteAndAnEmptyLabelShowsTheId) {
  Surface s(120, 60, kBlue);
  Surface reference(120, 60, kBlue);
  Bitmap hand = makeHand(s.dc());
  FontRecord font;
  font.height = -12;
  font.setFace("Tahoma");
  HandSymbolObject marker(42, {0, 0});
  {
    GdiCanvas canvas(s.dc(), hand.get());
    marker.setColour(kRed);
    marker.setFont(font);
    marker.setPoints(PackedPoint::pack({20, 20}), PackedPoint::pack({100, 40}));
    marker.draw(&canvas, DrawMode::Plain, 0, true);
  }
  // The bitmap sits at (x1 - 19, y1 - 16): its white is not drawn.
  EXPECT_EQ(s.at(1, 4), kBlue);
  EXPECT_EQ(s.at(1 + 7, 4 + 6), RGB(0, 0, 0));
  {
    // The same text drawn directly: the label adds nothing to the id.
    GdiCanvas canvas(reference.dc());
    canvas.drawBitmap(CanvasBitmap::Hand, {1, 4}, kWhite);
    canvas.setFont(font);
    canvas.setTextBackground(std::nullopt);
    canvas.setTextColour(kRed);
    canvas.drawText({20, 20, 100, 40}, "42");
  }
  EXPECT_GT(s.count(kRed), 0);
  EXPECT_EQ(s.count(kRed), reference.count(kRed));
  Surface none(120, 60, kBlue);
  paint(none, marker, DrawMode::Selected);  // no bitmap: nothing at all
  EXPECT_EQ(none.count(kBlue), 120 * 60);
}

TEST(GdiCanvas, DrawingRestoresTheContextAndLeaksNoGdiObjectInAThousandRounds) {
  Surface s(200, 200);
  HGDIOBJ pen = GetCurrentObject(s.dc(), OBJ_PEN);
  HGDIOBJ brush = GetCurrentObject(s.dc(), OBJ_BRUSH);
  const int fillMode = GetPolyFillMode(s.dc());
  {
    GdiCanvas canvas(s.dc());
    ArrowLineObject arrow(true);
    place(arrow, {0, 0}, {40, 40}, 3, kRed);
    arrow.draw(&canvas, DrawMode::SelectedWithHandles, 0, true);
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_PEN), pen);
    canvas.setPen({kPenSolid, 2, kRed, PenCap::Flat, PenJoin::Miter, true});
  }
  EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
  EXPECT_EQ(GetPolyFillMode(s.dc()), fillMode);

  // Every kind in every mode, a thousand times.
  Bitmap hand = makeHand(s.dc());
  GdiCanvas measurer(s.dc());
  ObjectFactory factory(&measurer);
  FontRecord font;
  font.height = -11;
  font.setFace("Tahoma");
  std::vector<std::unique_ptr<BoardObject>> objects;
  for (uint8_t kind : {10, 11, 12, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25}) {
    auto o = factory.create(kind);
    place(*o, {10, 10}, {150, 120}, 3, kRed);
    if (auto* p = dynamic_cast<PencilObject*>(o.get())) {
      p->addPoint({10, 10});
      p->addPoint({100, 50});
      p->addPoint({30, 140});
    }
    o->setPenStyle(kPenDash);
    o->setFill(kBlue);
    o->setFont(font);
    o->setText("leak\ncheck");
    o->setBrightness(10);
    objects.push_back(std::move(o));
  }
  ImageObject withPixels;
  withPixels.attachPixels(std::vector<uint8_t>(pictureBytes(8, 8), 77), 8, 8, {0, 0}, {60, 60});
  withPixels.setContrast(20);
  auto drawAll = [&] {
    GdiCanvas canvas(s.dc(), hand.get());
    for (auto mode : {DrawMode::Plain, DrawMode::Selected, DrawMode::SelectedWithHandles}) {
      for (auto& o : objects) o->draw(&canvas, mode, kWhite, true);
      withPixels.draw(&canvas, mode, kWhite, true);
    }
  };
  drawAll();  // the system's own first-use objects are no leak
  const long systemBefore = liveGdiObjects();
  const GdiObjectStats before = gdiObjectStats();
  for (int i = 0; i < 1000; ++i) drawAll();
  const GdiObjectStats after = gdiObjectStats();
  EXPECT_EQ(after.live, before.live);
  EXPECT_EQ(after.deferredDeletes, before.deferredDeletes);
  // Also what the drawing code makes without an owner.
  EXPECT_EQ(liveGdiObjects(), systemBefore);
}

}  // namespace
}  // namespace scribly
