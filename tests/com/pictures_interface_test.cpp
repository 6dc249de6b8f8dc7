// Pictures and backgrounds brought in and edited through the interface as a
// hand does it (the clipboard, the paste button, the context menu, the picture
// panel's controls, the background menus and the open dialog), then both
// participants' views compared pixel for pixel: Ben sees what Ann sees. A
// scrolled view's repaints are compared with a repaint of the whole.
#include <gtest/gtest.h>
#include <scribly.h>
// After windows.h, which scribly.h brings.
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/bmp_file.h"
#include "base/file_bytes.h"
#include "collab/recording.h"
#include "host_session.h"
#include "tests/win/office_documents.h"

namespace scribly::test {
namespace {

constexpr int kFrameWidth = 788;
constexpr int kFrameHeight = 660;

// A photo-like landscape as 0xRRGGBB: a sky darkening upwards, a sun, two
// rows of shaded hills and a striped field, so scaling, turning and the
// JPEG form all have edges and gradients to get wrong.
uint32_t landscape(int x, int y, int w, int h) {
  auto rgb = [](int r, int g, int b) { return static_cast<uint32_t>(r << 16 | g << 8 | b); };
  const int horizon = h * 11 / 20;
  const int sunX = w * 3 / 4, sunY = h / 4, sunR = h / 10;
  const int dx = x - sunX, dy = y - sunY;
  if (dx * dx + dy * dy <= sunR * sunR) return rgb(255, 214, 90);
  const int period = w / 5 + 1, t = x % period;
  const int ridge = horizon - h / 6 + (h / 10) * std::abs(2 * t - period) / period;
  const int foot = horizon + h / 12 - (h / 12) * (2 * x - w) * (2 * x - w) / (w * w);
  if (y < ridge) return rgb(70 + 110 * y / h, 130 + 90 * y / h, 235 - 20 * y / h);
  if (y < foot) return rgb(60 + 40 * (y - ridge) / (foot - ridge + 1), 110, 150 - x * 60 / w);
  const int depth = y - foot;
  return (depth / 9 + x / 40) % 2 ? rgb(88, 150 - depth * 40 / h, 52) : rgb(120, 170, 60);
}

// The landscape as a w x h picture file: 24-bit, rows bottom-up.
std::vector<uint8_t> landscapeBmp(int w, int h) {
  const BmpLayout layout = *bmpLayout(w, h, 24);
  std::vector<uint8_t> pixels(layout.pixelBytes());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = landscape(x, y, w, h);
      uint8_t* p = &pixels[layout.rowBytes() * (h - 1 - y) + 3 * x];
      p[0] = c & 0xFF;
      p[1] = c >> 8 & 0xFF;
      p[2] = c >> 16 & 0xFF;
    }
  return bmpFileBytes(layout, {}, pixels);
}

// The landscape on the clipboard as a paint program leaves it: the picture
// file without its file header.
bool copyLandscape(int w, int h) {
  const std::vector<uint8_t> file = landscapeBmp(w, h);
  return putOnClipboard(
      {{CF_DIB, std::vector<uint8_t>(file.begin() + sizeof(BITMAPFILEHEADER), file.end())}});
}

// The smallest rectangle holding every pixel that is not white.
RECT inkBox(const Shot& shot) {
  RECT box = {shot.width, shot.height, 0, 0};
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x)
      if (shot.at(x, y) != kWhite) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  return box;
}

class PicturesInterface : public Interface {
 protected:
  void SetUp() override {
    Interface::SetUp();
    // Side by side, the same size, so the views can be compared whole.
    MoveWindow(parent_, 0, 0, 1600, kFrameHeight + 60, FALSE);
    MoveWindow(ann_->frame, 0, 0, kFrameWidth, kFrameHeight, TRUE);
    MoveWindow(ben_->frame, kFrameWidth + 6, 0, kFrameWidth, kFrameHeight, TRUE);
    pump();
    benView_ = findSkinWindow(ben_->frame, "view wnd");
    ASSERT_TRUE(benView_);
  }

  // Both views, once everything sent has arrived and the pointer is away.
  void expectSameViews() {
    relay();
    SetCursorPos(kPointerAway.x, kPointerAway.y);
    const Shot ann = shoot(view_), ben = shoot(benView_);
    EXPECT_TRUE(ann == ben);
    EXPECT_EQ(report(*ben_), report(*ann_));
    annShot_ = ann;
  }

  HWND benView_ = nullptr;
  Shot annShot_;
};

TEST_F(PicturesInterface, APastedPictureEditedIsTheSameOnThePeerAndAScrolledViewRepaintsInPlace) {
  ASSERT_TRUE(copyLandscape(120, 80));
  pump();
  relay();
  click("paste");          // at (4, 4), selected
  drag(64, 44, 264, 244);  // its centre, with the selection tool
  relay();
  // The panel open while the menu turns the picture a quarter.
  chooseFromContextMenu(3, 264, 244);  // editpic
  chooseFromContextMenu(4, 264, 244);  // rotate90
  HWND panel = visiblePanel("scribly EditPicture panel");
  ASSERT_TRUE(panel);
  HWND angle = findSkinWindow(panel, "scribly editpic editRotateAngle");
  HWND brightness = findSkinWindow(panel, "painter trackbar brightness");
  HWND size = findSkinWindow(panel, "painter trackbar size");
  ASSERT_TRUE(angle && brightness && size);
  SetFocus(angle);
  for (wchar_t c : std::wstring(L"30")) SendMessageW(angle, WM_CHAR, c, 0);
  pump();
  auto press = [](HWND control, UINT key, int times) {
    SetFocus(control);
    for (int i = 0; i < times; ++i) {
      SendMessageW(control, WM_KEYDOWN, key, 0);
      SendMessageW(control, WM_KEYUP, key, 0);
    }
    pump();
  };
  press(brightness, VK_NEXT, 3);
  press(size, VK_PRIOR, 1);
  EXPECT_EQ(SendMessageW(brightness, TBM_GETPOS, 0, 0), 30);
  EXPECT_EQ(SendMessageW(size, TBM_GETPOS, 0, 0), -25);
  SendMessageW(panel, WM_CLOSE, 0, 0);
  click("choice");
  drag(480, 560, 480, 560);  // on bare paper: nothing selected, no marks
  expectSameViews();

  // Upright after the quarter turn (80 x 120), the 30 degrees make a box of
  // 129 x 144, and 75% of that shows.
  const RECT ink = inkBox(annShot_);
  EXPECT_NEAR(ink.right - ink.left, 97, 3);
  EXPECT_NEAR(ink.bottom - ink.top, 108, 3);

  // Scrolled, the view repaints what changes where it shows, on the one who
  // draws and on the peer: what the screen then holds equals a repaint of
  // the whole.
  relay();
  SendMessageW(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
  SendMessageW(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
  SendMessageW(view_, WM_HSCROLL, SB_PAGEDOWN, 0);
  SendMessageW(ann_->frame, WM_TIMER, kPollTimer, 0);
  relay();
  ASSERT_GT(GetScrollPos(view_, SB_VERT), 0);
  ASSERT_EQ(GetScrollPos(benView_, SB_VERT), GetScrollPos(view_, SB_VERT));
  ASSERT_EQ(GetScrollPos(benView_, SB_HORZ), GetScrollPos(view_, SB_HORZ));
  SetCursorPos(kPointerAway.x, kPointerAway.y);
  shoot(view_);
  shoot(benView_);
  auto inPlace = [](HWND view) {
    pump();
    return shown(view) == shoot(view);
  };
  click("rect");
  drag(100, 100, 300, 220);
  EXPECT_TRUE(inPlace(view_));
  click("choice");
  drag(100, 160, 180, 240);  // taken by its edge and moved
  EXPECT_TRUE(inPlace(view_));
  relay();
  EXPECT_TRUE(inPlace(benView_));
}

// A page poppler rendered: "P6", its size, 255, then rows of red, green, blue.
Shot readPpm(const std::string& path) {
  const FileReadResult file = readFileBytes(path, size_t{64} << 20);
  Shot shot;
  int max = 0, used = 0;
  const std::string head(file.bytes.begin(),
                         file.bytes.begin() + std::min<size_t>(32, file.bytes.size()));
  if (std::sscanf(head.c_str(), "P6 %d %d %d%n", &shot.width, &shot.height, &max, &used) != 3 ||
      max != 255 || file.bytes.size() != size_t(used + 1) + size_t(shot.width) * shot.height * 3)
    return {};
  const uint8_t* p = &file.bytes[size_t(used + 1)];
  for (size_t i = 0; i < size_t(shot.width) * shot.height; ++i, p += 3)
    shot.pixels.push_back(uint32_t{p[0]} << 16 | p[1] << 8 | p[2]);
  return shot;
}

// scribly-export's exit code over a recording of `messages`, cut to `bytes`
// when given; -1 when it did not run.
int exportRecording(const Messages& messages, const std::string& recording, const std::string& pdf,
                    std::optional<size_t> bytes = std::nullopt) {
  FILE* file = std::fopen(recording.c_str(), "wb");
  if (!file) return -1;
  writeRecordingHeader(file);
  for (const auto& m : messages) appendRecordedMessage(file, m);
  endRecording(file);
  std::fclose(file);
  std::error_code cut;
  if (bytes) std::filesystem::resize_file(recording, *bytes, cut);
  return static_cast<int>(runProcess(L"\"" + besideSelf(L"scribly-export.exe") + L"\" \"" +
                                     toWide(recording) + L"\" \"" + toWide(pdf) + L"\""));
}

// A session with every kind of object but the hand marker (a recording holds
// no user names, so a replayed marker shows its id alone), a photo background
// at 65 % (the same on the peer), a turned picture and a shared three-page
// document. Every page saved
// from the contents menu as a person does it (the right button on a page, the
// menu item, the file typed into the save dialog), and rendered by poppler's
// pdftoppm: each page equals the view's own screenshot of that page where the
// view shows it, pixel for pixel. At 72 dots per inch pdftoppm smooths
// pictures (a line's edge moves by up to 159 steps); at four times that it
// draws each pixel as a 4 x 4 block, whose centre is compared.
TEST_F(PicturesInterface, APhotoBackgroundNeedsPagesAndAllPagesSavedAsPdfAreWhatTheViewShows) {
  // Only the page privilege sets a background: with write alone, a picture
  // file is refused with the box before the dialog, and nothing is sent.
  ann_->plugin->SetPrivilege(0x01);  // write alone
  pump();
  relay();
  {
    Hand hand;  // "custom": what comes up is answered with its first button
    hand.menuItem = 0;
    hand.click(element("bkgnd"));
    ASSERT_EQ(hand.dialogs, 1);
    // The refusal, not the open dialog.
    EXPECT_NE(std::find(hand.texts.begin(), hand.texts.end(), L"Whiteboard"), hand.texts.end());
  }
  EXPECT_TRUE(relay().empty());
  ann_->plugin->SetPrivilege(0x07);  // write, lead and pages: all a peer-to-peer word gives
  pump();

  // With it, "custom" and the open dialog take a photo whose name is beyond
  // ASCII and beyond the system's code page; "scale_65" scales it.
  const std::wstring photo = tempPath(L"scribly-landscape \u00e9t\u00e9 \u0416.bmp");
  const std::vector<uint8_t> landscapeFile = landscapeBmp(900, 600);
  ASSERT_TRUE(writeFile(
      photo, {reinterpret_cast<const char*>(landscapeFile.data()), landscapeFile.size()}));
  {
    Hand hand;
    hand.menuItem = 0;
    hand.path = photo;
    hand.click(element("bkgnd"));
    EXPECT_EQ(hand.dialogs, 1);
  }
  const Messages set = relay();
  ASSERT_FALSE(set.empty());
  EXPECT_EQ(codeOf(set[0]), 19);
  {
    Hand hand;
    hand.menuItem = 4;  // scale_65
    hand.click(element("bkgnd scale"));
  }
  const Messages scaled = relay();
  ASSERT_EQ(scaled.size(), 1u);
  EXPECT_EQ(codeOf(scaled[0]), 91);
  DeleteFileW(photo.c_str());
  expectSameViews();
  // 600 rows at 0.65 end near y 390, where the paper begins.
  EXPECT_NE(annShot_.at(300, 386), kWhite);
  EXPECT_EQ(annShot_.at(300, 392), kWhite);

  ASSERT_TRUE(copyLandscape(120, 80));
  pump();
  relay();
  click("paste");                    // at (4, 4), selected
  chooseFromContextMenu(4, 64, 44);  // rotate90
  const std::pair<const char*, RECT> shapes[] = {
      {"rect", {300, 40, 460, 150}},        {"ellipse", {80, 300, 260, 420}},
      {"line", {20, 460, 600, 380}},        {"pencial", {500, 200, 640, 330}},
      {"lineDA", {300, 170, 460, 190}},     {"halfcircle2", {40, 180, 140, 260}},
      {"halfcircle3", {160, 180, 260, 260}}};
  for (const auto& [tool, at] : shapes) {
    click(tool);
    drag(at.left, at.top, at.right, at.bottom);
  }
  ASSERT_TRUE(typeText(320, 250, L"Taken home"));
  SetFocus(view_);  // leaving the editor commits it
  relay();
  ASSERT_EQ(shareDocument(writeNotes(3)), 3);  // three pages with their printed pictures
  click("add page");                           // a user page, shown, with the contents panel
  click("trigon");
  drag(100, 100, 400, 300);
  click("choice");
  relay();

  HWND panel = visiblePanel("scribly contents panel");
  ASSERT_TRUE(panel);
  HWND tree = findSkinWindow(panel, "vdtree");
  size_t pages = 0;
  for (HTREEITEM root : treeChildren(tree, nullptr)) pages += treeChildren(tree, root).size();
  ShowWindow(panel, SW_HIDE);

  // The view's own picture of every page, from the first on, and its name as
  // the page bar shows it after the folder ("My pages / Ann-107").
  SetCursorPos(kPointerAway.x, kPointerAway.y);
  std::vector<Shot> views;
  std::vector<std::string> names;
  for (size_t page = 0; page < pages; ++page) {
    click("pageRight");  // from the last page, the first comes round
    views.push_back(shoot(view_));
    const std::string info = fromWide(pageInfo());
    names.push_back(info.substr(info.rfind(" / ") + 3));
  }
  ASSERT_TRUE(openContents(*ann_));
  const std::string folder = fromWide(tempPath(L"scribly-export"));
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string pdf = folder + "\\pages.pdf";
  DeleteFileA(pdf.c_str());
  {
    Hand hand;
    hand.menuItem = 3;  // savepdf
    hand.path = toWide(pdf);
    clickTreeItem(tree, treeChildren(tree, treeChildren(tree, nullptr).back()).back(), true);
    pumpUntil([&] { return hand.dialogs == 1 && !visibleThreadWindow(L"#32770"); },
              "the save dialog to be answered");
    EXPECT_EQ(hand.menus, 1);
  }
  pump();
  EXPECT_EQ(visiblePanel("scribly tip panel"), nullptr) << "the bar stays after saving";

  const int w = views[0].width, h = views[0].height;
  // The pages of a PDF as pictures `prefix`-N.ppm at four times the view's size.
  auto render = [&](const std::string& file, const char* prefix) {
    return runLinuxProgram(
        {"pdftoppm", "-r", "288", "-x", "0", "-y", "0", "-W", std::to_string(4 * w), "-H",
         std::to_string(4 * h), linuxPathOf(file), linuxPathOf(folder) + "/" + prefix},
        folder, 120);
  };
  ASSERT_TRUE(render(pdf, "page"));
  ASSERT_TRUE(runLinuxProgram(
      {"pdftohtml", "-xml", "-i", "-q", linuxPathOf(pdf), linuxPathOf(folder) + "/outline"}, folder,
      60));
  const FileReadResult xml = readFileBytes(folder + "\\outline.xml", 1 << 20);
  const std::string outline(xml.bytes.begin(), xml.bytes.end());
  // pdftoppm pads page numbers to the digits of the last one.
  const auto ppm = [&](const char* prefix, size_t page) {
    std::string n = std::to_string(page);
    const size_t digits = std::to_string(views.size()).size();
    if (n.size() < digits) n.insert(0, digits - n.size(), '0');
    return folder + "\\" + prefix + "-" + n + ".ppm";
  };
  size_t at = 0;
  for (size_t page = 0; page < views.size(); ++page) {
    SCOPED_TRACE("page " + std::to_string(page + 1));
    // Named as the page bar names it after its folder (a document's pages
    // as "notes.txt/2").
    const std::string item = "<item page=\"" + std::to_string(page + 1) + "\">";
    at = outline.find(item, at);
    ASSERT_NE(at, std::string::npos) << item << "\n" << outline;
    const size_t end = outline.find("</item>", at);
    EXPECT_TRUE(outline.substr(0, end).ends_with(names[page])) << outline.substr(at, end - at);
    const Shot rendered = readPpm(ppm("page", page + 1));
    ASSERT_EQ(rendered.width * rendered.height, 16 * w * h);
    int differing = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        differing += views[page].at(x, y) != rendered.at(4 * x + 2, 4 * y + 2);
    EXPECT_EQ(differing, 0);
  }
  EXPECT_EQ(outline.find("<item page=\"" + std::to_string(views.size() + 1)), std::string::npos);

  // Ann's board as a recording holds it: the export tool saves the same pages
  // as the menu did, the same once rendered; cut short in its last message,
  // it still saves what it holds and says so (exit code 3).
  const std::string recording = folder + "\\board.rec", replayed = folder + "\\replayed.pdf";
  report(*ann_);
  const Messages board = ann_->sink.mirrored;  // with the page shown, as the host records it
  ASSERT_EQ(exportRecording(board, recording, replayed), 0);
  ASSERT_TRUE(render(replayed, "replayed"));
  // Pictures reach a replaying board as peers get them, through JPEG: a pixel
  // may differ there, at most one in a thousand by more than 48 steps.
  for (size_t page = 1; page <= views.size(); ++page) {
    SCOPED_TRACE("replayed page " + std::to_string(page));
    const Shot menu = readPpm(ppm("page", page)), replay = readPpm(ppm("replayed", page));
    ASSERT_EQ(replay.pixels.size(), menu.pixels.size());
    size_t distant = 0;
    for (size_t i = 0; i < menu.pixels.size(); ++i)
      for (int shift : {0, 8, 16}) {
        const int a = (menu.pixels[i] >> shift) & 0xFF, b = (replay.pixels[i] >> shift) & 0xFF;
        if (std::abs(a - b) > 48) {
          ++distant;
          break;
        }
      }
    EXPECT_LE(distant, menu.pixels.size() / 1000);
  }
  DeleteFileA(replayed.c_str());
  const size_t whole = readFileBytes(recording, size_t{64} << 20).bytes.size();
  EXPECT_EQ(exportRecording(board, recording, replayed, whole - 6), 3);
  EXPECT_NE(GetFileAttributesA(replayed.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(ppm("page", views.size() + 1).c_str()), INVALID_FILE_ATTRIBUTES);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace
}  // namespace scribly::test
