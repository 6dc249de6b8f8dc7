// Recordings: the file as the host writes it, read back whole or cut short,
// and replayed into a fresh board.
#include "collab/recording.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "board/recording_replay.h"
#include "tests/native/board_test_support.h"

namespace scribly {
namespace {

using Bytes = std::vector<uint8_t>;

// The bytes the writer puts in a file for these messages.
Bytes written(const std::vector<Bytes>& messages) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
  EXPECT_TRUE(writeRecordingHeader(file.get()));
  for (const Bytes& m : messages) EXPECT_TRUE(appendRecordedMessage(file.get(), m));
  EXPECT_TRUE(endRecording(file.get()));
  Bytes bytes(static_cast<size_t>(std::ftell(file.get())));
  std::rewind(file.get());
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
  return bytes;
}

TEST(Recording, EveryCutYieldsTheWholeMessagesBeforeItAndOtherFilesAreRefused) {
  const std::vector<Bytes> messages = {{0x2A}, Bytes(300, 0x51), {0x94, 1, 2, 3}};
  const Bytes file = written(messages);
  ASSERT_EQ(file.size(), kRecordingHeaderBytes + 4 * 4 + 1 + 300 + 4);
  for (size_t n = 0; n <= file.size(); ++n) {
    const auto read = readRecording(std::span(file).first(n));
    ASSERT_TRUE(read) << n;
    size_t whole = 0;
    for (size_t end = kRecordingHeaderBytes; whole < messages.size(); ++whole) {
      end += 4 + messages[whole].size();
      if (end > n) break;
    }
    EXPECT_EQ(read->messages, std::vector<Bytes>(messages.begin(), messages.begin() + whole)) << n;
    EXPECT_EQ(read->cut, n != file.size()) << n;
    EXPECT_FALSE(read->damaged) << n;
  }

  // Other files are refused, and lengths no message has end the reading.
  for (size_t at : {size_t{0}, size_t{7}, size_t{8}}) {
    Bytes other = file;
    other[at] ^= 1;  // the magic, or the version
    EXPECT_FALSE(readRecording(other)) << at;
  }
  EXPECT_FALSE(appendRecordedMessage(nullptr, Bytes{1}));
  // After the end, or a length past the limit where the end was.
  for (uint32_t length : {uint32_t{0}, uint32_t(kMaxRecordedMessageBytes + 1)}) {
    Bytes bad = file;
    for (int i = 0; i < 4; ++i) bad.end()[i - 4] = static_cast<uint8_t>(length >> (8 * i));
    bad.resize(bad.size() + 64, 0x2A);
    const auto read = readRecording(bad);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->messages, messages);
    EXPECT_EQ(read->cut, length != 0);
    EXPECT_TRUE(read->damaged);
  }
}

// Two boards at work, the first recorded from the start (peer to peer) or
// from the middle of the session (server mode: the recording opens with a
// full board): objects of every kind, pictures, backgrounds and templates,
// pages added, renamed and removed, backgrounds scaled, by both. Its
// recording replayed holds what it held; cut further on, what it held then.
TEST(RecordingReplay, ReplayedBoardHoldsWhatTheRecordedParticipantHeld) {
  using namespace scribly::testing;
  for (auto mode : {InMemoryRelay::Mode::PeerToPeer, InMemoryRelay::Mode::Server}) {
    InMemoryRelay relay(mode, 2, 7, withTemplates());
    Board& recorded = relay.board(0);
    const int recordFrom = mode == InMemoryRelay::Mode::Server ? 150 : 0;
    RandomOperations operations(relay);
    operations.addOwnPages(2);
    std::vector<Bytes> half;
    size_t halfMessages = 0;
    for (int step = 0; step < 600; ++step) {
      if (step == recordFrom) recorded.setMirroring(true);
      operations.step();
      if (step % 150 == 0) {
        for (size_t who = 0; who < 2; ++who) {
          operations.setBackground(relay.node(who), relay.board(who).pages().back()->id());
          relay.board(who).applyScale(who ? 1.5f : 0.65f);
        }
      }
      if (step == 400) {
        ASSERT_TRUE(relay.drain());
        half = recorded.contentReport();
        halfMessages = relay.node(0).host.mirrored.size();
      }
    }
    ASSERT_TRUE(relay.drain());
    const Bytes file = written(relay.node(0).host.mirrored);

    const auto whole = readRecording(file);
    ASSERT_TRUE(whole && !whole->cut);
    ReplayBoard replayed(withTemplates().templates);
    replayRecording(*replayed, whole->messages);
    EXPECT_EQ(replayed->contentReport(), recorded.contentReport());

    size_t cutAt = kRecordingHeaderBytes;
    for (size_t i = 0; i < halfMessages; ++i) cutAt += 4 + whole->messages[i].size();
    const auto cut = readRecording(std::span(file).first(cutAt + 5));
    ASSERT_TRUE(cut && cut->cut);
    ASSERT_EQ(cut->messages.size(), halfMessages);
    ReplayBoard replayedHalf(withTemplates().templates);
    replayRecording(*replayedHalf, cut->messages);
    EXPECT_EQ(replayedHalf->contentReport(), half);
  }
}

}  // namespace
}  // namespace scribly
