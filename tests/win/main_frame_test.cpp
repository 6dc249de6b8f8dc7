// The frame's side of the host contract: host data, privileges and commands
// arrive as window messages, in call order, and every posted copy is freed.
#include <gtest/gtest.h>
#include <scribly.h>

#include <string>
#include <vector>

#include "base/bmp_file.h"
#include "base/file_bytes.h"
#include "collab/messages.h"
#include "frame/frame_board_win.h"
#include "frame/host_channel_win.h"
#include "frame/main_frame_win.h"
#include "test_surface.h"
#include "tests/support/recording_sink.h"
#include "win/messages.h"
#include "win/text.h"

namespace scribly {
namespace {

// What the frame handed on, and in which order: "d" data, "p" privilege.
struct Recorder : FrameHandler {
  std::vector<std::vector<uint8_t>> data;
  std::vector<uint32_t> privileges;
  std::vector<std::pair<uintptr_t, intptr_t>> mirror, editing;
  std::string order;
  void dataIn(std::span<const uint8_t> b) override {
    data.emplace_back(b.begin(), b.end());
    order += 'd';
  }
  void privilegeChanged(uint32_t p) override {
    privileges.push_back(p);
    order += 'p';
  }
  void mirrorCommand(uintptr_t w, intptr_t l) override { mirror.emplace_back(w, l); }
  void editingCommand(uintptr_t w, intptr_t l) override { editing.emplace_back(w, l); }
  void joined(uint32_t, uint32_t) override {}
  void reset() override {}
};

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FrameSettings s;
    s.parent = parent_;
    s.skinFolder = "C:\\Skins\\Blue";
    frame_ = MainFrame::create(s, &recorder_);
    ASSERT_NE(frame_, nullptr);
  }
  HostWindow parent_{640, 480, WS_OVERLAPPEDWINDOW};
  Recorder recorder_;
  std::unique_ptr<MainFrame> frame_;
};

// The frame fills the host's window and finds backgrounds in the skin folder;
// data posted to it arrive in order with their bytes, and are freed.
TEST_F(FrameTest, FillsTheHostsWindowAndAThousandDataInCallsArriveInOrderAndAreFreed) {
  RECT parent, frame;
  GetClientRect(parent_, &parent);
  GetClientRect(frame_->window(), &frame);
  EXPECT_EQ(frame.right, parent.right);
  EXPECT_EQ(frame.bottom, parent.bottom);
  EXPECT_EQ(frame_->backgroundFolder(), "C:\\Skins\\Blue\\Scribly\\Back\\");

  std::vector<std::vector<uint8_t>> sent;
  for (int i = 0; i < 1000; ++i) {
    // A privilege keeps its place among the data.
    if (i == 500) {
      ASSERT_TRUE(frame_->postPrivilege(7));
    }
    std::vector<uint8_t> bytes(1 + (i * 37) % 500);
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<uint8_t>(i + k * 7);
    ASSERT_TRUE(frame_->postDataIn(bytes.data(), static_cast<uint32_t>(bytes.size())));
    // The caller's buffer is reused at once: the frame must own a copy.
    sent.push_back(bytes);
    std::fill(bytes.begin(), bytes.end(), 0xCC);
  }
  EXPECT_EQ(MainFrame::pendingDataCopies(), 1000);
  pump();
  EXPECT_EQ(recorder_.data, sent);
  EXPECT_EQ(recorder_.order, std::string(500, 'd') + 'p' + std::string(500, 'd'));
  EXPECT_EQ(MainFrame::pendingDataCopies(), 0);
}

TEST_F(FrameTest, OthersPostsCarryNothingOursArriveInTheirLimitsAndQueuedCopiesGoWithTheFrame) {
  // What another process could post: pointers of its own choosing, and the
  // privilege, mirroring and editing messages with words of its own.
  static uint8_t notACopy[] = {0x18, 1, 0, 0, 0};
  PostMessageW(frame_->window(), WM_PLUGIN_DATA_IN, reinterpret_cast<WPARAM>(notACopy),
               sizeof notACopy);
  PostMessageW(frame_->window(), WM_PLUGIN_DATA_IN, 0x1234, 5);
  PostMessageW(frame_->window(), WM_PLUGIN_SET_PRIVILEGE, 0, 0);
  PostMessageW(frame_->window(), WM_PLUGIN_CMD_MIRROR, 1, 0);
  PostMessageW(frame_->window(), WM_PLUGIN_CMD_EDITING, 0, 0);
  uint8_t bytes[] = {0x18, 2, 0, 0, 0};
  ASSERT_TRUE(frame_->postDataIn(bytes, sizeof bytes));
  ASSERT_TRUE(frame_->postPrivilege(7));
  pump();
  ASSERT_EQ(recorder_.data.size(), 1u);
  EXPECT_EQ(recorder_.data[0], std::vector<uint8_t>(bytes, bytes + sizeof bytes));
  EXPECT_EQ(MainFrame::pendingDataCopies(), 0);
  EXPECT_EQ(recorder_.privileges, std::vector<uint32_t>{7});
  EXPECT_TRUE(recorder_.mirror.empty());
  EXPECT_TRUE(recorder_.editing.empty());

  // Our own commands: sent ones are handled on return, posted ones later.
  ASSERT_TRUE(frame_->command(WM_PLUGIN_CMD_MIRROR, 1, 77, false));
  ASSERT_EQ(recorder_.mirror.size(), 1u);
  EXPECT_EQ(recorder_.mirror[0], (std::pair<uintptr_t, intptr_t>(1, 77)));

  ASSERT_TRUE(frame_->command(WM_PLUGIN_CMD_MIRROR, 0, 0, true));
  ASSERT_TRUE(frame_->command(WM_PLUGIN_CMD_EDITING, 0, 5, true));
  EXPECT_EQ(recorder_.mirror.size(), 1u);
  EXPECT_TRUE(recorder_.editing.empty());
  pump();
  EXPECT_EQ(recorder_.mirror.size(), 2u);
  ASSERT_EQ(recorder_.editing.size(), 1u);
  EXPECT_EQ(recorder_.editing[0].second, 5);

  // Nothing outside the limits is copied, and copies still queued go with the frame.
  uint8_t byte = 0xA0;
  std::vector<uint8_t> big(kMaxHostDataBytes + 1);
  EXPECT_FALSE(frame_->postDataIn(&byte, 0));
  EXPECT_FALSE(frame_->postDataIn(nullptr, 5));
  EXPECT_FALSE(frame_->postDataIn(big.data(), static_cast<uint32_t>(big.size())));
  EXPECT_TRUE(frame_->postDataIn(big.data(), kMaxHostDataBytes));
  pump();
  ASSERT_EQ(recorder_.data.size(), 2u);
  EXPECT_EQ(recorder_.data[1].size(), kMaxHostDataBytes);
  EXPECT_EQ(MainFrame::pendingDataCopies(), 0);
  // Bulk data (code 92) is longer by nature, up to the envelope's cap.
  std::vector<uint8_t> bulk(BulkData::kMaxBytes + 1);
  bulk[0] = 2 * 92;
  EXPECT_TRUE(frame_->postDataIn(bulk.data(), 40000));
  EXPECT_FALSE(frame_->postDataIn(bulk.data(), static_cast<uint32_t>(bulk.size())));
  pump();
  ASSERT_EQ(recorder_.data.size(), 3u);

  for (int i = 0; i < 10; ++i) frame_->postDataIn(&byte, 1);
  frame_.reset();
  EXPECT_EQ(MainFrame::pendingDataCopies(), 0);
  EXPECT_EQ(recorder_.data.size(), 3u);
}

TEST(HostChannel, SendsAddressedOnlyInPeerToPeerMirrorsWithTheLengthAndReadsUserInfo) {
  RecordingSink sink;
  const uint8_t msg[] = {0x19, 2, 0, 0, 0};
  {
    HostChannel host(&sink);
    EXPECT_EQ(sink.refs, 2);  // holds the sink while it lives
    ConferenceChannel p2p(host, true), server(host, false);
    p2p.setPeer(42);
    server.setPeer(42);
    p2p.sendNow(msg, 3);
    server.sendNow(msg, 1);
    host.sendTo(kWhiteboardType, 0, {}, 3);  // nothing to send
  }
  EXPECT_EQ(sink.refs, 1);
  const std::vector<uint8_t> bytes(msg, msg + sizeof msg);
  EXPECT_EQ(sink.sent, (Messages{bytes, bytes}));
  EXPECT_EQ(sink.addressed, (std::vector<std::array<ULONG, 3>>{{13049, 42, 3}, {13049, 0, 1}}));

  // Mirrored messages reach GetMessage with their length and bytes; the user
  // information stays terminated when the host fills the whole buffer.
  HostChannel host(&sink);
  const uint8_t mirrored[] = {0x18, 7, 0, 0, 0, 9, 0, 0, 0};
  host.hostMessage(121, mirrored);
  EXPECT_EQ(sink.notes, std::vector<UINT_PTR>{121});
  EXPECT_EQ(sink.mirrored, Messages{std::vector<uint8_t>(mirrored, mirrored + sizeof mirrored)});

  sink.info = "<userinfo><userbasic><name>Ann</name></userbasic></userinfo>";
  EXPECT_EQ(host.userInfo(1), sink.info);
  sink.info.assign(20000, 'x');
  EXPECT_EQ(host.userInfo(1).size(), HostChannel::kUserInfoBytes);
}

// A frame of its own board. Its message boxes show the language file's
// texts, not their keys: the refusal that removing a system page meets, read
// off the box as a user sees it. And it keeps its files to itself: the frame
// of another process that comes and goes takes none of this one's
// backgrounds with it, so the page still finds its picture when shown again.
TEST_F(FrameTest, ABoardFrameShowsTextsInItsBoxesAndKeepsItsBackgroundsToItself) {
  RecordingSink sink;
  FrameSettings settings;
  settings.parent = parent_;
  settings.sink = &sink;
  settings.peerToPeer = true;
  auto frame = MainFrame::create(settings, nullptr);
  ASSERT_TRUE(frame && frame->board());
  Board& board = frame->board()->board();
  const std::wstring shown = answerBox([&] { board.removePage(kFirstSystemPage, 0, true); });
  EXPECT_NE(shown.find(L"pages"), std::wstring::npos);
  EXPECT_EQ(shown.find(L"Scribly_"), std::wstring::npos);

  frame->join(1, 2);
  const std::string picture = narrow(tempPath(L"scribly-frame-files.bmp"));
  const BmpLayout layout = *bmpLayout(8, 8, 24);
  const std::vector<uint8_t> pixels(layout.pixelBytes(), 0x40);
  ASSERT_TRUE(writeFileBytes(picture, bmpFileBytes(layout, {}, pixels)));
  ASSERT_TRUE(board.setBackgroundFile(picture));
  DeleteFileA(picture.c_str());
  board.goToPage(2, false);
  ASSERT_EQ(runProcess(thisProgram(L"--frame-comes-and-goes")), 0u);
  board.goToPage(1, false);
  EXPECT_NE(board.currentPage()->backgroundPicture(), nullptr);
}

}  // namespace
}  // namespace scribly
