// Pasting from the real clipboard and capturing through the skin's capture
// element, on a board wired to a peer: what lands on the page, what the peer
// shows, and what the host and the frame are told.
#include <gtest/gtest.h>
#include <scribly.h>

#include <cstring>

#include "board/silent_surroundings.h"
#include "frame/host_channel_win.h"
#include "images/clipboard_capture_win.h"
#include "objects/image_object_win.h"
#include "objects/text_object.h"
#include "skin/skin_bridge_win.h"
#include "test_surface.h"
#include "tests/native/board_test_support.h"
#include "tests/support/recording_sink.h"
#include "win/dib.h"
#include "win/folders.h"
#include "win/messages.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

using testing::Bytes;

// The view's side as far as insertion goes: picture files are decoded.
struct PictureView final : SilentToolSurroundings {
  bool loadPictureFile(ImageObject& image, const std::string& path, Point at) override {
    return scribly::loadPictureFile(image, toWide(path), at);
  }
};

Bytes text(const std::string& s) { return Bytes(s.c_str(), s.c_str() + s.size() + 1); }

// A 64 x 32 bottom-up 24-bit bitmap with smooth colours, and the same pixels.
// (Much smaller pictures do not compress into their own size and are not
// sent at all.)
Bytes gradientDib(Bytes& pixels) {
  pixels.clear();
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x)
      pixels.insert(pixels.end(), {uint8_t(x * 4), uint8_t(y * 8), uint8_t(160)});
  const BITMAPINFOHEADER header = dibInfo(64, 32, 24, DibRows::BottomUp).bmiHeader;
  Bytes dib(sizeof header + pixels.size());
  memcpy(dib.data(), &header, sizeof header);
  memcpy(dib.data() + sizeof header, pixels.data(), pixels.size());
  return dib;
}

class ClipboardCaptureTest : public SkinHostTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(relay_.drain());
    ASSERT_NO_FATAL_FAILURE(SkinHostTest::SetUp());
    // The frame's part: capture reports to the capture, select-tool
    // notifications recorded.
    program_.route = [this](SkinElement& source, UINT message, WPARAM, LPARAM l, LRESULT&) {
      if (&source != &source.ownerWindow()) return false;
      if (message == WM_PLUGIN_SELECT_TOOL) toolNotes_.push_back(l);
      return capture_ && capture_->handle(message);
    };
    ASSERT_NO_FATAL_FAILURE(openFrame(program_));
    view_ = element("view wnd");
    files_ = InstanceFolder::create();
    ASSERT_TRUE(files_);
    capture_ = std::make_unique<ScreenCapture>(
        tools_, [this](uintptr_t code) { host_.notify(code); }, frame_->find("screen cap"),
        frame_->window(), files_->subfolderForCodePage(L""));
  }
  void TearDown() override {
    program_.route = nullptr;
    capture_.reset();
    SkinHostTest::TearDown();
  }
  // Each board's current page once everything arrived.
  const std::vector<PageObject>& objects(size_t board) {
    EXPECT_TRUE(relay_.drain());
    return relay_.board(board).currentPage()->objects();
  }
  const ImageObject& picture(size_t board, size_t index) {
    return static_cast<const ImageObject&>(*objects(board).at(index).object);
  }
  // A press, a drag and a release on the capture's still picture.
  void dragOut(POINT from, POINT to) {
    const HWND cap = element("screen cap");
    SendMessageW(cap, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    SendMessageW(cap, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
    SendMessageW(cap, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
  }

  testing::InMemoryRelay relay_{testing::InMemoryRelay::Mode::PeerToPeer, 2, 7};
  PictureView surroundings_;
  DrawingTools tools_{relay_.board(0), surroundings_, 1};
  RecordingSink sink_;
  HostChannel host_{&sink_};
  HWND view_ = nullptr;
  RoutingProgram program_;
  std::vector<LPARAM> toolNotes_;
  std::unique_ptr<InstanceFolder> files_;
  std::unique_ptr<ScreenCapture> capture_;
};

TEST_F(ClipboardCaptureTest, TextComesBeforeAPictureAPictureIsSelectedAndSentWithItsPixels) {
  Bytes pixels;
  ASSERT_TRUE(
      putOnClipboard({{CF_TEXT, text(std::string(5000, 'x'))}, {CF_DIB, gradientDib(pixels)}}));
  ASSERT_TRUE(pasteFromClipboard(tools_, view_, frame_->window()));
  ASSERT_EQ(objects(1).size(), 1u);
  const auto& pasted = static_cast<const TextObject&>(*objects(1)[0].object);
  EXPECT_EQ(pasted.text(), std::string(4020, 'x'));
  EXPECT_EQ(pasted.firstPoint().unpack(), kPastePoint);
  EXPECT_FALSE(tools_.selection());
  EXPECT_EQ(toolNotes_, std::vector<LPARAM>{0});

  // The system code page's text arrives as UTF-8.
  if (GetACP() == 1252) {
    ASSERT_TRUE(putOnClipboard({{CF_TEXT, text("caf\xE9")}}));
    ASSERT_TRUE(pasteFromClipboard(tools_, view_, frame_->window()));
    EXPECT_EQ(static_cast<const TextObject&>(*objects(1).at(1).object).text(), "caf\xC3\xA9");
  }
  // An empty text pastes nothing, not even the picture beside it.
  ASSERT_TRUE(putOnClipboard({{CF_TEXT, text("")}, {CF_DIB, gradientDib(pixels)}}));
  const size_t before = objects(0).size();
  EXPECT_FALSE(pasteFromClipboard(tools_, view_, frame_->window()));
  EXPECT_EQ(objects(0).size(), before);

  // A picture alone is pasted selected, and sent with its pixels to the peer.
  ASSERT_TRUE(putOnClipboard({{CF_DIB, gradientDib(pixels)}}));
  ASSERT_TRUE(pasteFromClipboard(tools_, view_, frame_->window()));
  ASSERT_EQ(objects(0).size(), before + 1);
  // Kept as its compressed form decodes: close to the clipboard's pixels.
  const ImageObject& own = picture(0, before);
  ASSERT_EQ(own.pixels().size(), pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) ASSERT_NEAR(own.pixels()[i], pixels[i], 12) << i;
  EXPECT_EQ(own.firstPoint().unpack(), kPastePoint);
  EXPECT_EQ(own.secondPoint().unpack(), (Point{4 + 64, 4 + 32}));
  EXPECT_EQ(tools_.selection(),
            (SelectedObject{relay_.board(0).currentPageId(), objects(0)[before].id}));

  // The peer decodes the same compressed form: the same pixels.
  ASSERT_EQ(objects(1).size(), before + 1);
  const ImageObject& peer = picture(1, before);
  EXPECT_EQ(peer.pixels(), own.pixels());
  EXPECT_EQ(peer.secondPoint().unpack(), own.secondPoint().unpack());
}

TEST_F(ClipboardCaptureTest, ACaptureThatHidesThePluginIsAnnouncedAndInsertsItsArea) {
  capture_->start(true);
  EXPECT_EQ(sink_.notes, std::vector<UINT_PTR>{ScreenCapture::kCaptureBegins});
  EXPECT_TRUE(IsWindowVisible(element("screen cap")));
  dragOut({40, 30}, {10, 10});  // up and left: the same area
  EXPECT_FALSE(IsWindowVisible(element("screen cap")));
  EXPECT_EQ(sink_.notes,
            (std::vector<UINT_PTR>{ScreenCapture::kCaptureBegins, ScreenCapture::kCaptureEnds}));
  ASSERT_EQ(objects(1).size(), 1u);
  EXPECT_EQ(picture(0, 0).pictureWidth(), 30);
  EXPECT_EQ(picture(0, 0).pictureHeight(), 20);
  EXPECT_EQ(picture(1, 0).firstPoint().unpack(), kPastePoint);
  // Written where only this frame writes, and gone once inserted.
  EXPECT_EQ(capture_->filePath().rfind(files_->subfolderForCodePage(L""), 0), 0u);
  EXPECT_EQ(GetFileAttributesA(capture_->filePath().c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(capture_->capturing());

  // "Cut" keeps the host out of it; a cancelled capture inserts nothing.
  capture_->start(false);
  SendMessageW(element("screen cap"), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(objects(0).size(), 1u);
  EXPECT_EQ(sink_.notes.size(), 2u);
  // A report nobody asked for changes nothing.
  SendMessageW(frame_->window(), kCaptureNone, 0, 0);
  EXPECT_EQ(sink_.notes.size(), 2u);
  EXPECT_EQ(toolNotes_, (std::vector<LPARAM>{0, 0}));
}

}  // namespace
}  // namespace scribly
