#include <gtest/gtest.h>

#include <string>

#include "collab/conference_channel.h"
#include "collab/message_codec.h"
#include "collab/send_queue.h"

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
    queue.send(build(CurrentPage{1}), kLevelFirst);
    channel.sent.clear();
  }
  void drain() {
    while (queue.waiting(kLevelFirst) + queue.waiting(kLevelSecond) > 0) queue.pump();
  }
  void sendTransfer(uint32_t key, uint32_t page) {
    const uint8_t data[] = {1};  // short enough that a chunk shows no second u32
    queue.send(build(TransferBegin{key, 3, page, 2}), kLevelSecond);
    queue.send(build(TransferChunk{key, data}), kLevelSecond);
    queue.send(build(TransferChunk{key, data}), kLevelSecond);
    queue.send(build(TransferEnd{key, page}), kLevelSecond);
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
  queue.send(build(ClearPage{7}), kLevelFirst);
  ASSERT_EQ(channel.sent.size(), 1u);
  EXPECT_EQ(channel.sent[0].bytes, (std::vector<uint8_t>{0x93, 7, 0, 0, 0, 0}));
  EXPECT_EQ(channel.sent[0].level, kHostLevelDirect);
  EXPECT_FALSE(queue.ready());

  queue.send(build(ClearPage{8}), kLevelSecond);
  EXPECT_EQ(channel.sent.size(), 1u);
  EXPECT_EQ(queue.waiting(kLevelSecond), 1u);
}

TEST_F(SendQueueTest, LevelZeroLeavesWithFlagClearEvenWhileBusy) {
  makeBusy();
  auto ack = build(Acknowledgement{});
  ack[0] |= kQueuedFlag;  // a stale flag from the caller is cleared
  queue.send(ack, kLevelDirect);
  ASSERT_EQ(channel.sent.size(), 1u);
  EXPECT_EQ(channel.sent[0].bytes, std::vector<uint8_t>{0xA0});
  EXPECT_EQ(channel.sent[0].level, kHostLevelDirect);
  EXPECT_FALSE(queue.ready());  // still waiting for the first acknowledgement
}

TEST_F(SendQueueTest, MirrorHookSeesEveryMessageFirstEvenDroppedOnes) {
  queue.send(build(ClearPage{7}), kLevelFirst);
  queue.send({}, kLevelFirst);
  std::vector<uint8_t> tooLong(kMaxMessageBytes + 1, 0x18);
  queue.send(tooLong, kLevelDirect);
  std::vector<uint8_t> longest(kMaxMessageBytes, 0x18);
  queue.send(longest, kLevelDirect);

  ASSERT_EQ(channel.mirrored.size(), 4u);
  EXPECT_EQ(channel.sentWhenMirrored[0], 0u);  // mirrored before it was sent
  EXPECT_EQ(channel.mirrored[0][0], 0x92);     // as the caller gave it
  ASSERT_EQ(channel.sent.size(), 2u);
  EXPECT_EQ(channel.sent[1].bytes.size(), kMaxMessageBytes);
}

TEST_F(SendQueueTest, EachPumpReleasesOneFlaggedMessageUntilNoneWaits) {
  makeBusy();
  for (uint32_t page : {11, 12}) queue.send(build(ClearPage{page}), kLevelFirst);
  queue.pump();
  queue.pump();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"73:11", "73:12"}));
  for (const Sent& s : channel.sent) {
    EXPECT_EQ(s.level, kHostLevelQueued);
    EXPECT_TRUE(isQueued(s.bytes[0]));
  }
  EXPECT_FALSE(queue.ready());
  queue.pump();  // nothing waits: ready again
  EXPECT_TRUE(queue.ready());
  queue.send(build(ClearPage{14}), kLevelFirst);
  EXPECT_EQ(channel.sent.size(), 3u);
}

TEST_F(SendQueueTest, LevelOneDrainsBeforeLevelTwoAndHigherLevelsCountAsTwo) {
  makeBusy();
  queue.send(build(MissingItem{1}), 7);
  queue.send(build(MissingItem{2}), kLevelFirst);
  queue.send(build(MissingItem{3}), kLevelSecond);
  queue.send(build(MissingItem{4}), kLevelFirst);
  EXPECT_EQ(queue.waiting(kLevelSecond), 2u);
  drain();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"84:2", "84:4", "84:1", "84:3"}));
  const std::vector<uint32_t> levels = {1, 1, 3, 3};
  for (size_t i = 0; i < levels.size(); ++i) EXPECT_EQ(channel.sent[i].level, levels[i]) << i;
}

TEST_F(SendQueueTest, DeleteDropsQueuedUpdatesOfSameObjectOnly) {
  makeBusy();
  const uint8_t record[] = {1, 2, 3};
  queue.send(build(CreateObject{12, 7, 5, record}), kLevelFirst);
  queue.send(build(SetObjectValue{42, 7, 5, 0xFF}), kLevelFirst);
  queue.send(build(SetObjectValue{42, 7, 6, 0xFF}), kLevelFirst);
  queue.send(build(SetObjectWidth{8, 5, 2}), kLevelFirst);  // same id, other page
  queue.send(build(RemovePage{7, 5}), kLevelFirst);         // not an object message
  queue.send(build(DeleteObject{7, 5}), kLevelFirst);
  drain();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"42:7:6", "44:8:5", "76:7:5", "47:7:5"}));
}

TEST_F(SendQueueTest, DeletingAnObjectDropsItsWaitingTransfer) {
  makeBusy();
  sendTransfer(500, 9);
  sendTransfer(600, 9);
  queue.send(build(DeleteObject{9, 500}), kLevelFirst);
  drain();
  EXPECT_EQ(sentSummary(),
            (std::vector<std::string>{"47:9:500", "32:600:3", "33:600", "33:600", "34:600:9"}));
}

TEST_F(SendQueueTest, ClearingAPageDropsTransfersEndingThereAndItsObjectUpdates) {
  makeBusy();
  sendTransfer(500, 9);
  sendTransfer(600, 10);
  queue.send(build(SetObjectValue{42, 9, 5, 0xFF}), kLevelFirst);
  queue.send(build(SetObjectValue{42, 10, 5, 0xFF}), kLevelFirst);
  queue.send(build(ClearPage{9}), kLevelFirst);
  drain();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"42:10:5", "73:9", "32:600:3", "33:600",
                                                     "33:600", "34:600:10"}));
}

TEST_F(SendQueueTest, ClearingAPageWithBackgroundKeepsThatBackgroundOnItsWay) {
  makeBusy();
  queue.send(build(BackgroundAnnounce{9, 777}), kLevelFirst);
  queue.send(build(SetObjectValue{42, 9, 5, 0xFF}), kLevelFirst);
  sendTransfer(777, 9);
  sendTransfer(500, 9);
  queue.send(build(ClearPageWithBackground{9, 777}), kLevelFirst);
  drain();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"19:9:777", "90:9:777", "32:777:3", "33:777",
                                                     "33:777", "34:777:9"}));
}

TEST_F(SendQueueTest, ClearEmptiesBothListsAndMakesReady) {
  makeBusy();
  queue.send(build(MissingItem{1}), kLevelFirst);
  sendTransfer(500, 9);
  queue.clear();
  EXPECT_TRUE(queue.ready());
  EXPECT_EQ(queue.waiting(kLevelFirst) + queue.waiting(kLevelSecond), 0u);
  queue.pump();
  EXPECT_TRUE(channel.sent.empty());
}

class RecordingHost : public HostLink {
 public:
  void sendTo(uint32_t type, uint32_t target, std::span<const uint8_t> message,
              uint32_t level) override {
    calls.push_back({type, target, level, message.size()});
  }
  void hostMessage(uint32_t command, std::span<const uint8_t> message) override {
    hostMessages.push_back({command, codeOf(message[0])});
  }
  struct Call {
    uint32_t type, target, level;
    size_t length;
    bool operator==(const Call&) const = default;
  };
  std::vector<Call> calls;
  std::vector<std::pair<uint32_t, uint8_t>> hostMessages;
};

TEST(ConferenceChannel, SendNowAddressesThePeerOnlyInPeerToPeer) {
  RecordingHost host;
  ConferenceChannel direct(host, true);
  direct.setPeer(42);
  ConferenceChannel relayed(host, false);
  relayed.setPeer(42);
  SendQueue queue(direct);
  queue.send(build(ClearPage{7}), kLevelFirst);
  queue.send(build(ClearPage{8}), kLevelFirst);
  queue.pump();
  relayed.sendNow(build(Acknowledgement{}), kHostLevelDirect);
  EXPECT_EQ(host.calls, (std::vector<RecordingHost::Call>{
                            {13049, 42, 3, 6}, {13049, 42, 1, 6}, {13049, 0, 3, 1}}));
}

TEST(ConferenceChannel, MirrorsContentMessagesWhenMirroringOrForced) {
  RecordingHost host;
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
  EXPECT_TRUE(host.hostMessages.empty());
  channel.mirror(messages[0], true);
  EXPECT_EQ(host.hostMessages.size(), 1u);

  host.hostMessages.clear();
  channel.setMirroring(true);
  for (const auto& m : messages) channel.mirror(m, false);
  channel.mirror({}, true);
  std::vector<std::pair<uint32_t, uint8_t>> expected = {{121, 12}, {121, 44}, {121, 74}, {121, 89}};
  EXPECT_EQ(host.hostMessages, expected);
}

}  // namespace
}  // namespace scribly
