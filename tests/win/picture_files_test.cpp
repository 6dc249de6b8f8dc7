// Pictures from system bitmaps and picture files, and the module's object
// resources.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/bmp_file.h"
#include "objects/gdi_canvas_win.h"
#include "objects/image_object_win.h"
#include "tests/support/win_test_support.h"

namespace scribly {
namespace {

// A 24-bit BMP file of w x h whose pixel (x, y) from the top is (x*40, y*60, 200).
std::vector<uint8_t> bmpFile(uint16_t w, uint16_t h) {
  std::vector<uint8_t> pixels(pictureBytes(w, h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &pixels[(h - 1 - y) * pictureRowBytes(w) + 3 * x];
      p[0] = 200;
      p[1] = static_cast<uint8_t>(y * 60);
      p[2] = static_cast<uint8_t>(x * 40);
    }
  return bmpFileBytes(*bmpLayout(w, h, 24), {}, pixels);
}

class PictureFiles : public testing::Test {
 protected:
  // A file of `bytes` in this test's folder.
  std::wstring file(const wchar_t* name, const std::vector<uint8_t>& bytes) {
    writeFile(folder_ / name,
              std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return folder_ / name;
  }
  TempFolder folder_{L"scribly-pictures"};
};

// Pixel (x, y) from the top as blue, green, red.
std::array<uint8_t, 3> pixelAt(const ImageObject& img, int x, int y) {
  const uint8_t* p =
      &img.pixels()[(img.pictureHeight() - 1 - y) * pictureRowBytes(img.pictureWidth()) + 3 * x];
  return {p[0], p[1], p[2]};
}

TEST_F(PictureFiles, ABitmapFileLoadsInItsOwnSizeAndRendersBackTheSameOthersAreRefused) {
  const auto path = file(L"picture.bmp", bmpFile(5, 3));
  ImageObject img;
  ASSERT_TRUE(loadPictureFile(img, path, {10, 20}));
  EXPECT_EQ(img.pictureWidth(), 5);
  EXPECT_EQ(img.pictureHeight(), 3);
  EXPECT_EQ(img.first(), (Point{10, 20}));
  EXPECT_EQ(img.second(), (Point{15, 23}));
  EXPECT_EQ(img.referenceSize(), (Size{5, 3}));
  EXPECT_EQ(pixelAt(img, 0, 0), (std::array<uint8_t, 3>{200, 0, 0}));
  EXPECT_EQ(pixelAt(img, 4, 2), (std::array<uint8_t, 3>{200, 120, 160}));
  EXPECT_FALSE(loadPictureFile(img, path, {0, 0}));  // already has pixels

  // Rendered to a system bitmap, it reads back as the same pixels.
  Bitmap bitmap = renderToBitmap(img, GetDesktopWindow());
  ASSERT_TRUE(bitmap);
  ImageObject back;
  ASSERT_TRUE(attachFromBitmap(back, bitmap.get(), {0, 0}));
  ASSERT_EQ(back.pictureWidth(), 5);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(pixelAt(back, x, y), pixelAt(img, x, y)) << x << "," << y;
  }
  EXPECT_FALSE(attachFromBitmap(back, bitmap.get(), {0, 0}));
  ImageObject none;
  EXPECT_FALSE(attachFromBitmap(none, nullptr, {0, 0}));

  // Missing, empty, undecodable and oversized files are refused.
  EXPECT_FALSE(loadPictureFile(none, L"Z:\\no\\such\\picture.bmp", {0, 0}));
  EXPECT_FALSE(loadPictureFile(none, file(L"empty.bmp", {}), {0, 0}));
  EXPECT_FALSE(loadPictureFile(none, file(L"junk.bmp", std::vector<uint8_t>(300, 0x5A)), {0, 0}));
  auto cut = bmpFile(40, 40);
  cut.resize(60);
  ImageObject other;
  if (loadPictureFile(other, file(L"cut.bmp", cut), {0, 0})) {
    // A loader that pads a cut file must still give a picture of the stated size.
    EXPECT_EQ(other.pictureWidth(), 40);
  }
  EXPECT_FALSE(none.hasPixels());

  // Only pictures whose headers fit the room reach the system's loader.
  ImageObject small;
  EXPECT_FALSE(loadPictureFile(small, path, {0, 0}, pictureBytes(5, 3) - 1));
  EXPECT_TRUE(loadPictureFile(small, path, {0, 0}, pictureBytes(5, 3)));
  // A run-length bitmap of 30000 x 30000 in a hundred bytes, and an icon the
  // loader would read but no page shows.
  ByteWriter bomb;
  bomb.u8('B').u8('M').u32(0).u32(0).u32(54 + 1024).u32(40).u32(30000).u32(30000).u16(1).u16(8);
  bomb.u32(1).zeros(20).zeros(1024).u8(0).u8(1);
  ByteWriter icon;
  icon.u16(0).u16(1).u16(1).u8(1).u8(1).zeros(6).u32(40 + 8 + 8).u32(22);
  icon.u32(40).u32(1).u32(2).u16(1).u16(1).zeros(24).zeros(8).zeros(8);
  for (const auto& [name, bytes] :
       {std::pair{L"bomb.bmp", bomb.take()}, std::pair{L"icon.bmp", icon.take()}}) {
    ImageObject img;
    EXPECT_FALSE(loadPictureFile(img, file(name, bytes), {0, 0}));
  }
}

}  // namespace
}  // namespace scribly
