#include <gtest/gtest.h>

#include <array>
#include <string>

#include "collab/conference_channel.h"
#include "collab/message_codec.h"
#include "collab/send_queue.h"
#include "tests/native/board_test_support.h"

namespace scribly {
namespace {

struct Sent {
  std::vector<uint8_t> bytes;
  uint32_t level;
};

class RecordingChannel : public SendChannel {
 public:
  void sendNow(std::span<const uint8_t> message, uint32_t hostLevel) override {
    sent.push_back({{message.begin(), message.end()}, hostLevel});
  }
  void mirror(std::span<const uint8_t> message, bool force) override {
    EXPECT_FALSE(force);
    mirrored.emplace_back(message.begin(), message.end());
    sentWhenMirrored.push_back(sent.size());
  }
  std::vector<Sent> sent;
  std::vector<std::vector<uint8_t>> mirrored;
  std::vector<size_t> sentWhenMirrored;
};

class SendQueueTest : public ::testing::Test {
 protected:
  // Puts one message in flight so that later ones wait.
  void makeBusy() {
    queue.Send(build(CurrentPage{1}), kLevelFirst);
    channel.sent.clear();
  }
  void drain() {
    while (queue.waiting(kLevelFirst) + queue.waiting(kLevelSecond) > 0) queue.Pump();
  }
  void sendTransfer(uint32_t key, uint32_t page) {
    const uint8_t data[] = {1};  // short enough that a chunk shows no second u32
    queue.Send(build(TransferBegin{key, 3, page, 2}), kLevelSecond);
    queue.Send(build(TransferChunk{key, data}), kLevelSecond);
    queue.Send(build(TransferChunk{key, data}), kLevelSecond);
    queue.Send(build(TransferEnd{key, page}), kLevelSecond);
  }
  // Codes and keys (offset 1) of everything sent, for compact expectations.
  std::vector<std::string> sentSummary() {
    std::vector<std::string> out;
    for (const Sent& s : channel.sent) {
      std::string entry = std::to_string(codeOf(s.bytes[0]));
      if (s.bytes.size() >= 5) entry += ":" + std::to_string(*readPage(s.bytes));
      if (s.bytes.size() >= 9) entry += ":" + std::to_string(*readObjectId(s.bytes));
      out.push_back(entry);
    }
    return out;
  }

  RecordingChannel channel;
  SendQueue queue{channel};
};

TEST_F(SendQueueTest, FirstQueuedMessageLeavesAtOnceFlaggedAndLaterOnesWait) {
  EXPECT_TRUE(queue.ready());
  queue.Send(build(ClearPage{7}), kLevelFirst);
  ASSERT_EQ(channel.sent.size(), 1u);
  EXPECT_EQ(channel.sent[0].bytes, (std::vector<uint8_t>{0x93, 7, 0, 0, 0, 0}));
  EXPECT_EQ(channel.sent[0].level, kHostLevelDirect);
  EXPECT_FALSE(queue.ready());

  queue.Send(build(ClearPage{8}), kLevelSecond);
  EXPECT_EQ(channel.sent.size(), 1u);
  EXPECT_EQ(queue.waiting(kLevelSecond), 1u);
}

TEST_F(SendQueueTest, LevelZeroLeavesWithFlagClearEvenWhileBusy) {
  makeBusy();
  auto ack = build(Acknowledgement{});
  ack[0] |= kQueuedFlag;  // a stale flag from the caller is cleared
  queue.Send(ack, kLevelDirect);
  ASSERT_EQ(channel.sent.size(), 1u);
  EXPECT_EQ(channel.sent[0].bytes, std::vector<uint8_t>{0xA0});
  EXPECT_EQ(channel.sent[0].level, kHostLevelDirect);
  EXPECT_FALSE(queue.ready());  // still waiting for the first acknowledgement
}

TEST_F(SendQueueTest, MirrorHookSeesEveryMessageFirstEvenDroppedOnes) {
  queue.Send(build(ClearPage{7}), kLevelFirst);
  queue.Send({}, kLevelFirst);
  std::vector<uint8_t> tooLong(kMaxMessageBytes + 1, 0x18);
  queue.Send(tooLong, kLevelDirect);
  std::vector<uint8_t> longest(kMaxMessageBytes, 0x18);
  queue.Send(longest, kLevelDirect);

  ASSERT_EQ(channel.mirrored.size(), 4u);
  EXPECT_EQ(channel.sentWhenMirrored[0], 0u);  // mirrored before it was sent
  EXPECT_EQ(channel.mirrored[0][0], 0x92);     // as the caller gave it
  ASSERT_EQ(channel.sent.size(), 2u);
  EXPECT_EQ(channel.sent[1].bytes.size(), kMaxMessageBytes);
}

TEST_F(SendQueueTest, EachPumpReleasesOneFlaggedMessageUntilNoneWaits) {
  makeBusy();
  for (uint32_t page : {11, 12}) queue.Send(build(ClearPage{page}), kLevelFirst);
  queue.Pump();
  queue.Pump();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"73:11", "73:12"}));
  for (const Sent& s : channel.sent) {
    EXPECT_EQ(s.level, kHostLevelQueued);
    EXPECT_TRUE(isQueued(s.bytes[0]));
  }
  EXPECT_FALSE(queue.ready());
  queue.Pump();  // nothing waits: ready again
  EXPECT_TRUE(queue.ready());
  queue.Send(build(ClearPage{14}), kLevelFirst);
  EXPECT_EQ(channel.sent.size(), 3u);
}

TEST_F(SendQueueTest, LevelOneDrainsBeforeLevelTwoAndHigherLevelsCountAsTwo) {
  makeBusy();
  queue.Send(build(MissingItem{1}), 7);
  queue.Send(build(MissingItem{2}), kLevelFirst);
  queue.Send(build(MissingItem{3}), kLevelSecond);
  queue.Send(build(MissingItem{4}), kLevelFirst);
  EXPECT_EQ(queue.waiting(kLevelSecond), 2u);
  drain();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"84:2", "84:4", "84:1", "84:3"}));
  const std::vector<uint32_t> levels = {1, 1, 3, 3};
  for (size_t i = 0; i < levels.size(); ++i) EXPECT_EQ(channel.sent[i].level, levels[i]) << i;
}

TEST_F(SendQueueTest, DeleteDropsQueuedUpdatesOfSameObjectOnly) {
  makeBusy();
  const uint8_t record[] = {1, 2, 3};
  queue.Send(build(CreateObject{12, 7, 5, record}), kLevelFirst);
  queue.Send(build(SetObjectValue{42, 7, 5, 0xFF}), kLevelFirst);
  queue.Send(build(SetObjectValue{42, 7, 6, 0xFF}), kLevelFirst);
  queue.Send(build(SetObjectWidth{8, 5, 2}), kLevelFirst);  // same id, other page
  queue.Send(build(RemovePage{7, 5}), kLevelFirst);         // not an object message
  queue.Send(build(DeleteObject{7, 5}), kLevelFirst);
  drain();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"42:7:6", "44:8:5", "76:7:5", "47:7:5"}));
}

TEST_F(SendQueueTest, DeletingAnObjectDropsItsWaitingTransfer) {
  makeBusy();
  sendTransfer(500, 9);
  sendTransfer(600, 9);
  queue.Send(build(DeleteObject{9, 500}), kLevelFirst);
  drain();
  EXPECT_EQ(sentSummary(),
            (std::vector<std::string>{"47:9:500", "32:600:3", "33:600", "33:600", "34:600:9"}));
}

TEST_F(SendQueueTest, ClearingAPageDropsTransfersEndingThereAndItsObjectUpdates) {
  makeBusy();
  sendTransfer(500, 9);
  sendTransfer(600, 10);
  queue.Send(build(SetObjectValue{42, 9, 5, 0xFF}), kLevelFirst);
  queue.Send(build(SetObjectValue{42, 10, 5, 0xFF}), kLevelFirst);
  queue.Send(build(ClearPage{9}), kLevelFirst);
  drain();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"42:10:5", "73:9", "32:600:3", "33:600",
                                                     "33:600", "34:600:10"}));
}

TEST_F(SendQueueTest, ClearingAPageWithBackgroundKeepsThatBackgroundOnItsWay) {
  makeBusy();
  queue.Send(build(BackgroundAnnounce{9, 777}), kLevelFirst);
  queue.Send(build(SetObjectValue{42, 9, 5, 0xFF}), kLevelFirst);
  sendTransfer(777, 9);
  sendTransfer(500, 9);
  queue.Send(build(ClearPageWithBackground{9, 777}), kLevelFirst);
  drain();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"19:9:777", "90:9:777", "32:777:3", "33:777",
                                                     "33:777", "34:777:9"}));
}

TEST_F(SendQueueTest, ClearEmptiesBothListsAndMakesReady) {
  makeBusy();
  queue.Send(build(MissingItem{1}), kLevelFirst);
  sendTransfer(500, 9);
  queue.Clear();
  EXPECT_TRUE(queue.ready());
  EXPECT_EQ(queue.waiting(kLevelFirst) + queue.waiting(kLevelSecond), 0u);
  queue.Pump();
  EXPECT_TRUE(channel.sent.empty());
}

TEST(ConferenceChannel, SendNowAddressesThePeerOnlyInPeerToPeer) {
  testing::RecordingHost host;
  ConferenceChannel direct(host, true);
  direct.setPeer(42);
  ConferenceChannel relayed(host, false);
  relayed.setPeer(42);
  SendQueue queue(direct);
  queue.Send(build(ClearPage{7}), kLevelFirst);
  queue.Send(build(ClearPage{8}), kLevelFirst);
  queue.Pump();
  relayed.sendNow(build(Acknowledgement{}), kHostLevelDirect);
  std::vector<std::array<size_t, 4>> calls;
  for (const auto& s : host.sent) calls.push_back({s.type, s.target, s.level, s.bytes.size()});
  EXPECT_EQ(calls, (std::vector<std::array<size_t, 4>>{
                       {13049, 42, 3, 6}, {13049, 42, 1, 6}, {13049, 0, 3, 1}}));
}

TEST(ConferenceChannel, MirrorsContentMessagesWhenMirroringOrForced) {
  testing::RecordingHost host;
  ConferenceChannel channel(host, false);
  const uint8_t record[] = {1};
  const std::vector<std::vector<uint8_t>> messages = {build(CreateObject{12, 7, 5, record}),
                                                      build(SetObjectWidth{7, 5, 2}),
                                                      build(CurrentPage{7}),
                                                      build(Scroll{1, 2}),
                                                      build(TransferEnd{5, 7}),
                                                      build(RemoveDocumentPages{"d", {9}}),
                                                      build(Acknowledgement{}),
                                                      build(PageShown{7})};
  for (const auto& m : messages) channel.mirror(m, false);
  EXPECT_TRUE(host.mirrored.empty());
  channel.mirror(messages[0], true);
  EXPECT_EQ(host.mirrored.size(), 1u);

  host.mirrored.clear();
  channel.setMirroring(true);
  for (const auto& m : messages) channel.mirror(m, false);
  channel.mirror({}, true);
  std::vector<uint8_t> codes;
  for (const auto& m : host.mirrored) codes.push_back(m.empty() ? 0 : codeOf(m[0]));
  EXPECT_EQ(codes, (std::vector<uint8_t>{12, 44, 74, 89}));
}

}  // namespace
}  // namespace scribly
