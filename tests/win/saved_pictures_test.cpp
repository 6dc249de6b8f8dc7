// Pages and objects saved as bitmap files, and the names they are saved under.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <fstream>
#include <iterator>

#include "base/bmp_file.h"
#include "base/byte_io.h"
#include "images/picture_files_win.h"
#include "objects/image_object.h"
#include "objects/pixel_ops.h"
#include "tests/support/win_test_support.h"

namespace scribly {
namespace {

// Colours every palette holds exactly, as blue, green, red.
constexpr std::array<std::array<uint8_t, 3>, 6> kColours = {
    {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0, 0, 0}, {0, 255, 255}, {255, 0, 255}}};

std::array<uint8_t, 3> colourAt(int x, int y) { return kColours[(x / 7 + 2 * (y / 5)) % 6]; }

// A picture of w x h in kColours placed at `at`.
std::unique_ptr<ImageObject> picture(uint16_t w, uint16_t h, Point at) {
  std::vector<uint8_t> pixels(pictureBytes(w, h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const auto c = colourAt(x, y);
      std::copy(c.begin(), c.end(), &pixels[(h - 1 - y) * pictureRowBytes(w) + 3 * x]);
    }
  auto image = std::make_unique<ImageObject>();
  EXPECT_TRUE(image->attachPixels(std::move(pixels), w, h, at, {at.x + w, at.y + h}));
  return image;
}

std::vector<uint8_t> readAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A written file's sides, bit count and each pixel as blue, green, red
// (through the table up to 8 bits). Its other fields are BmpFile's to check.
struct ReadBack {
  explicit ReadBack(const std::wstring& path) : file(readAll(path)) {
    ByteReader in(file);
    in.skip(18);
    width = in.i32();
    height = in.i32();
    in.skip(2);
    bits = in.u16();
    EXPECT_TRUE(in.ok());
  }
  std::array<uint8_t, 3> pixel(int x, int y) const {
    const BmpLayout layout{width, height, bits};
    const size_t row =
        kBmpHeaderBytes + layout.colourTableBytes() + (height - 1 - y) * layout.rowBytes();
    const size_t at =
        bits <= 8 ? kBmpHeaderBytes + 4 * size_t{file.at(row + x)} : row + x * bits / 8;
    return {file.at(at), file.at(at + 1), file.at(at + 2)};
  }

  std::vector<uint8_t> file;
  int32_t width = 0, height = 0;
  uint16_t bits = 0;
};

TEST(SavedPictures, PagesAndObjectsReadBackAndChosenNamesGetTheExtensionOnlyWhenMissing) {
  const TempFolder folder(L"scribly-saved");
  Page page(7, "p", 120, 100);
  ASSERT_TRUE(page.addObject(1, picture(30, 20, {10, 40})));
  const auto path = folder / L"page.bmp";
  const std::pair<int, uint16_t> depths[] = {{8, 8}, {16, 24}, {32, 32}};
  for (auto [screen, bits] : depths) {
    SCOPED_TRACE(screen);
    ASSERT_TRUE(writePagePicture(page, path, screen));
    const ReadBack back(path);
    EXPECT_EQ(back.bits, bits);
    EXPECT_EQ(back.width, 120);
    EXPECT_EQ(back.height, 100);
    EXPECT_EQ(back.pixel(0, 0), (std::array<uint8_t, 3>{255, 255, 255}));
    EXPECT_EQ(back.pixel(119, 99), (std::array<uint8_t, 3>{255, 255, 255}));
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) ASSERT_EQ(back.pixel(10 + x, 40 + y), colourAt(x, y)) << x;
    EXPECT_EQ(back.pixel(40, 40), (std::array<uint8_t, 3>{255, 255, 255}));
  }

  // An object at the origin in its own size.
  auto image = picture(100, 50, {300, 200});
  ASSERT_TRUE(writeObjectPicture(*image, kPaperWhite, folder / L"object.bmp", 32));
  const ReadBack back(folder / L"object.bmp");
  EXPECT_EQ(back.width, 100);
  EXPECT_EQ(back.height, 50);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(back.pixel(x, y), colourAt(x, y)) << x << "," << y;
  EXPECT_EQ(image->first(), (Point{300, 200}));

  // Chosen names get the bitmap extension only when it is missing.
  std::wstring proposed;
  auto choose = [&](const std::wstring& name) {
    return [&, name](HWND, const std::wstring& offered) -> std::optional<std::wstring> {
      proposed = offered;
      return name;
    };
  };
  const auto png = folder / L"saved.png";
  const auto appended = folder / L"saved.png.bmp";
  ASSERT_TRUE(savePagePicture(&page, nullptr, choose(png)));
  EXPECT_EQ(GetFileAttributesW(png.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(readAll(appended).empty());
  EXPECT_EQ(proposed.rfind(L"Scribly-7-", 0), 0u);

  const auto upper = folder / L"saved.BMP";
  const auto doubled = folder / L"saved.BMP.bmp";
  auto object = picture(3, 3, {50, 50});
  ASSERT_TRUE(saveObjectPicture(&page, *object, nullptr, choose(upper)));
  EXPECT_EQ(ReadBack(upper).width, 3);
  EXPECT_EQ(GetFileAttributesW(doubled.c_str()), INVALID_FILE_ATTRIBUTES);

  const auto cancelled = [](HWND, const std::wstring&) -> std::optional<std::wstring> {
    return std::nullopt;
  };
  EXPECT_FALSE(savePagePicture(&page, nullptr, cancelled));
  bool asked = false;
  EXPECT_FALSE(savePagePicture(nullptr, nullptr, [&](HWND, const std::wstring&) {
    asked = true;
    return std::optional<std::wstring>(png);
  }));
  EXPECT_FALSE(asked);
  EXPECT_FALSE(writePagePicture(page, L"Z:\\no\\such\\folder\\page.bmp", 32));
}

}  // namespace
}  // namespace scribly
