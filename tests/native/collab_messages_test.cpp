// Golden vectors: for every message, the exact bytes its builder writes for
// chosen values, the parser reading them back, and the malformed forms. Then
// the send queue's levels and drops, and the conference channel.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "collab/conference_channel.h"
#include "collab/message_codec.h"
#include "collab/send_queue.h"
#include "tests/native/board_test_support.h"

namespace scribly {
namespace {

std::vector<uint8_t> hex(std::string text) {
  std::erase(text, ' ');
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < text.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  return out;
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> shortByOne(std::vector<uint8_t> v) {
  v.pop_back();
  return v;
}

// Builds, compares with the golden bytes, then checks the parser: it reads the
// bytes (flag set or not) into a message that builds the same bytes again, and
// refuses them under another code.
template <class M>
M roundTrip(const M& message, const std::vector<uint8_t>& golden) {
  const std::vector<uint8_t> built = build(message);
  EXPECT_EQ(built, golden);
  auto parsed = parse<M>(golden);
  EXPECT_TRUE(parsed.has_value());
  if (!parsed) return M{};
  EXPECT_EQ(build(*parsed), golden);
  EXPECT_TRUE(parse<M>(testing::queued(golden)).has_value());
  auto otherCode = golden;
  otherCode[0] = firstByteOf(127);
  EXPECT_FALSE(parse<M>(otherCode).has_value());
  return *parsed;
}

// A message whose fields are all fixed: the golden bytes less one are refused.
template <class M>
M fixedLayout(const M& message, const std::vector<uint8_t>& golden) {
  EXPECT_FALSE(parse<M>(shortByOne(golden)).has_value()) << "one byte short";
  EXPECT_TRUE(parse<M>(concat(golden, {0xEE})).has_value()) << "trailing byte";
  return roundTrip(message, golden);
}

TEST(CollabMessages, ObjectCreationCarriesKindPageIdAndRecord) {
  const uint8_t record[] = {0xAA, 0xBB};
  roundTrip(CreateObject{12, 7, 0x01020304, record}, hex("18 07000000 04030201 AABB"));

  EXPECT_TRUE(parse<CreateObject>(hex("14 07000000 04030201")).has_value());  // empty record
  EXPECT_FALSE(parse<CreateObject>(hex("14 07000000 040302")).has_value());
  for (uint8_t kind : {9, 18, 19, 26, 31}) {
    EXPECT_TRUE(build(CreateObject{kind, 7, 1, record}).empty()) << int(kind);
    auto bytes = hex("00 07000000 04030201 AABB");
    bytes[0] = firstByteOf(kind);
    EXPECT_FALSE(parse<CreateObject>(bytes).has_value()) << int(kind);
  }
  std::vector<uint8_t> tooLong(kMaxMessageBytes - 8);  // 9 + this = one past the limit
  EXPECT_TRUE(build(CreateObject{12, 7, 1, tooLong}).empty());
  tooLong.pop_back();
  EXPECT_EQ(build(CreateObject{12, 7, 1, tooLong}).size(), kMaxMessageBytes);
}

TEST(CollabMessages, TransferMessages) {
  fixedLayout(TransferBegin{500, 3, 9, 70000}, hex("40 F4010000 03000000 09000000 70110100"));
  fixedLayout(TransferEnd{500, 9}, hex("44 F4010000 09000000"));
  fixedLayout(TransferProgress{500, 2}, hex("AA F4010000 02000000"));

  const uint8_t chunk[] = {1, 2, 3};
  roundTrip(TransferChunk{500, chunk}, hex("42 F4010000 0300 010203"));
  // A stated length larger than the bytes that follow is refused.
  EXPECT_FALSE(parse<TransferChunk>(hex("42 F4010000 0300 0102")).has_value());
  EXPECT_FALSE(parse<TransferChunk>(hex("42 F4010000 FFFF 0102")).has_value());
  EXPECT_FALSE(parse<TransferChunk>(hex("42 F4010000 03")).has_value());

  std::vector<uint8_t> full(kMaxChunkBytes, 0x5A);
  EXPECT_EQ(build(TransferChunk{1, full}).size(), kMaxChunkBytes + 7);
  full.push_back(0);
  EXPECT_TRUE(build(TransferChunk{1, full}).empty());
}

TEST(CollabMessages, PropertyPageAndJoiningMessages) {
  fixedLayout(SetObjectValue{42, 7, 5, 0x010000}, hex("54 07000000 05000000 00000100"));
  fixedLayout(SetObjectValue{43, 7, 5, 0xFF}, hex("56 07000000 05000000 FF000000"));
  fixedLayout(SetObjectValue{45, 7, 5, 0x00200010}, hex("5A 07000000 05000000 10002000"));
  fixedLayout(SetObjectValue{50, 7, 5, 2}, hex("64 07000000 05000000 02000000"));
  fixedLayout(SetObjectValue{53, 7, 5, 30}, hex("6A 07000000 05000000 1E000000"));
  EXPECT_TRUE(build(SetObjectValue{44, 7, 5, 1}).empty());
  EXPECT_FALSE(parse<SetObjectValue>(hex("58 07000000 05000000 03000000")).has_value());

  fixedLayout(SetObjectWidth{7, 5, 3}, hex("58 07000000 05000000 03"));
  fixedLayout(SetObjectPoints{7, 5, 0x00140010, 0x00280030},
              hex("5C 07000000 05000000 10001400 30002800"));
  EXPECT_EQ(fixedLayout(SetObjectStyle{7, 5, -2}, hex("62 07000000 05000000 FE")).style, -2);
  fixedLayout(DeleteObject{7, 5}, hex("5E 07000000 05000000 00"));  // a spare byte

  SetObjectFont font{7, 5, {}};
  for (size_t i = 0; i < font.font.size(); ++i) font.font[i] = static_cast<uint8_t>(i + 1);
  std::vector<uint8_t> golden = hex("60 07000000 05000000");
  golden.insert(golden.end(), font.font.begin(), font.font.end());
  ASSERT_EQ(golden.size(), 69u);
  EXPECT_EQ(fixedLayout(font, golden).font, font.font);

  fixedLayout(ClearPage{7}, hex("92 07000000 00"));
  fixedLayout(CurrentPage{7}, hex("94 07000000 00"));
  fixedLayout(RemovePage{10, 1}, hex("98 0A000000 01000000 00"));
  fixedLayout(Scroll{1, 0x1234}, hex("9A 01 3412"));
  fixedLayout(ClearPageWithBackground{7, 1234}, hex("B4 07000000 D2040000"));
  fixedLayout(BackgroundScale{7, 3}, hex("B6 07000000 03000000 00"));
  fixedLayout(BackgroundReady{7, 1234}, hex("BE 07000000 D2040000"));
  fixedLayout(PageShown{7}, hex("BC 07000000"));
  fixedLayout(BackgroundAnnounce{8, 0x1234}, hex("26 08000000 34120000 01000000 01000000"));

  roundTrip(Acknowledgement{}, hex("A0"));
  roundTrip(IdRangeRequest{}, hex("A2"));
  fixedLayout(IdRangeGrant{1000, 1999}, hex("A2 E8030000 CF070000"));
  fixedLayout(MissingItem{500}, hex("A8 F4010000"));
  fixedLayout(StateReplyEnd{}, hex("AE 00000000 00"));
  fixedLayout(StateReplyItem{42}, hex("BA 2A000000"));
  EXPECT_FALSE(parse<Acknowledgement>({}).has_value());
}

TEST(CollabMessages, NamedPageMessagesEndWithATerminator) {
  roundTrip(SetBackgroundByName{7, "grid"}, hex("90 07000000 67726964 00"));
  roundTrip(AddPage{10, ""}, hex("96 0A000000 00"));
  roundTrip(RenamePage{10, "Plan"}, hex("9C 0A000000 506C616E 00"));
  roundTrip(RenamePageAndRefresh{10, "Plan"}, hex("9E 0A000000 506C616E 00"));
  roundTrip(CreateNamedPage{11, "Doc-1"}, hex("B0 0B000000 446F632D31 00"));

  EXPECT_FALSE(parse<AddPage>(hex("96 0A0000")).has_value());  // page cut short

  // Names without a terminator end at the message and are cut.
  auto parsed = parse<RenamePage>(hex("9C 0A000000 506C616E"));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->name, "Plan");

  std::vector<uint8_t> longName = hex("B0 0B000000");
  longName.insert(longName.end(), 300, 'x');
  auto page = parse<CreateNamedPage>(longName);
  ASSERT_TRUE(page.has_value());
  EXPECT_EQ(page->name, std::string(kMaxNameBytes - 1, 'x'));

  // The builder cuts the same way, so a page name always fits its field.
  EXPECT_EQ(build(AddPage{10, std::string(300, 'y')}).size(), 5 + kMaxNameBytes);
}

TEST(CollabMessages, IdListsEndAtZeroOrAtTheMessageEnd) {
  roundTrip(StateRequest{}, hex("A4 00000000"));
  roundTrip(PageContents{7, {500, 1234}}, hex("BC 07000000 F4010000 D2040000 00000000"));

  // Without its terminator the list runs to the end; a partial value is dropped.
  auto open = parse<PageContents>(hex("BC 07000000 F4010000 D2040000 D204"));
  ASSERT_TRUE(open.has_value());
  EXPECT_EQ(open->ids, (std::vector<uint32_t>{500, 1234}));
  // Values after the terminator are not part of the list.
  auto closed = parse<StateRequest>(hex("A4 03000000 00000000 04000000"));
  ASSERT_TRUE(closed.has_value());
  EXPECT_EQ(closed->values, std::vector<uint32_t>{3});

  EXPECT_TRUE(build(StateRequest{{3, 0, 4}}).empty());

  // RemoveDocumentPages uses a name field and four spare bytes.
  std::vector<uint8_t> golden = hex("B2 7265706F72742E646F63");
  golden.resize(1 + kDocumentNameBytes, 0);
  golden = concat(golden, hex("0B000000 0C000000 00000000 00000000"));
  EXPECT_EQ(golden.size(), 265u + 4 * 2);
  roundTrip(RemoveDocumentPages{"report.doc", {11, 12}}, golden);

  // The spare bytes and even the terminator may be missing; the name field may not.
  EXPECT_EQ(parse<RemoveDocumentPages>(std::span(golden).first(1 + 256 + 8))->pages.size(), 2u);
  EXPECT_FALSE(parse<RemoveDocumentPages>(std::span(golden).first(256)).has_value());

  // A name filling its field is cut to leave room for the terminator.
  std::vector<uint8_t> unterminated(1 + kDocumentNameBytes, 'n');
  unterminated[0] = firstByteOf(MessageCode::kRemoveDocumentPages);
  auto full = parse<RemoveDocumentPages>(unterminated);
  ASSERT_TRUE(full.has_value());
  EXPECT_EQ(full->documentName.size(), kDocumentNameBytes - 1);
  EXPECT_TRUE(full->pages.empty());
}

TEST(CollabMessages, BulkDataMayExceedTheMessageLimitButNotItsLength) {
  const uint8_t data[] = {9, 8, 7};
  roundTrip(BulkData{7, 500, data}, hex("B8 07000000 F4010000 03000000 090807"));
  EXPECT_FALSE(parse<BulkData>(hex("B8 07000000 F4010000 04000000 090807")).has_value());
  EXPECT_FALSE(parse<BulkData>(hex("B8 07000000 F4010000 FFFFFFFF 090807")).has_value());

  std::vector<uint8_t> picture(100000, 0x11);
  auto big = build(BulkData{7, 500, picture});
  ASSERT_EQ(big.size(), 13 + picture.size());
  auto parsed = parse<BulkData>(big);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->data.size(), picture.size());
}

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

// The first flagged message leaves at once, later ones one a pump while level
// zero never waits; the queue is ready again once a pump finds nothing.
TEST_F(SendQueueTest, FlaggedMessagesLeaveOneAPumpAndLevelZeroAtOnceWithFlagClear) {
  EXPECT_TRUE(queue.ready());
  queue.send(build(ClearPage{7}), kLevelFirst);
  ASSERT_EQ(channel.sent.size(), 1u);
  EXPECT_EQ(channel.sent[0].bytes, (std::vector<uint8_t>{0x93, 7, 0, 0, 0, 0}));
  EXPECT_EQ(channel.sent[0].level, kHostLevelDirect);
  EXPECT_FALSE(queue.ready());
  channel.sent.clear();

  queue.send(build(ClearPage{11}), kLevelFirst);
  queue.send(build(ClearPage{12}), kLevelSecond);
  EXPECT_EQ(queue.waiting(kLevelSecond), 1u);
  auto ack = build(Acknowledgement{});
  ack[0] |= kQueuedFlag;  // a stale flag from the caller is cleared
  queue.send(ack, kLevelDirect);
  ASSERT_EQ(channel.sent.size(), 1u);
  EXPECT_EQ(channel.sent[0].bytes, std::vector<uint8_t>{0xA0});
  EXPECT_EQ(channel.sent[0].level, kHostLevelDirect);
  channel.sent.clear();

  queue.pump();
  queue.pump();
  EXPECT_EQ(sentSummary(), (std::vector<std::string>{"73:11", "73:12"}));
  EXPECT_EQ(channel.sent[0].level, kHostLevelQueued);
  for (const Sent& s : channel.sent) EXPECT_TRUE(isQueued(s.bytes[0]));
  EXPECT_FALSE(queue.ready());
  queue.pump();  // nothing waits: ready again
  EXPECT_TRUE(queue.ready());
  queue.send(build(ClearPage{14}), kLevelFirst);
  EXPECT_EQ(channel.sent.size(), 3u);
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

TEST_F(SendQueueTest, LevelOneDrainsBeforeLevelTwoHigherLevelsCountAsTwoAndClearEmptiesBoth) {
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

  // Clearing empties both lists and makes the queue ready.
  makeBusy();
  queue.send(build(MissingItem{1}), kLevelFirst);
  sendTransfer(500, 9);
  queue.clear();
  EXPECT_TRUE(queue.ready());
  EXPECT_EQ(queue.waiting(kLevelFirst) + queue.waiting(kLevelSecond), 0u);
  queue.pump();
  EXPECT_TRUE(channel.sent.empty());
}

// A delete or a clear drops what waits for its object or page and nothing
// else: updates, transfers, but not the background a clear brings.
TEST_F(SendQueueTest, DeletesAndClearsDropWhatWaitsForTheirObjectOrPageOnly) {
  const auto sentAfter = [&](const std::function<void()>& send) {
    queue.clear();
    makeBusy();
    send();
    drain();
    return sentSummary();
  };
  using Summary = std::vector<std::string>;
  EXPECT_EQ(sentAfter([&] {
              const uint8_t record[] = {1, 2, 3};
              queue.send(build(CreateObject{12, 7, 5, record}), kLevelFirst);
              queue.send(build(SetObjectValue{42, 7, 5, 0xFF}), kLevelFirst);
              queue.send(build(SetObjectValue{42, 7, 6, 0xFF}), kLevelFirst);
              queue.send(build(SetObjectWidth{8, 5, 2}), kLevelFirst);  // same id, other page
              queue.send(build(RemovePage{7, 5}), kLevelFirst);         // not an object message
              queue.send(build(DeleteObject{7, 5}), kLevelFirst);
            }),
            (Summary{"42:7:6", "44:8:5", "76:7:5", "47:7:5"}));
  EXPECT_EQ(sentAfter([&] {
              sendTransfer(500, 9);
              sendTransfer(600, 9);
              queue.send(build(DeleteObject{9, 500}), kLevelFirst);
            }),
            (Summary{"47:9:500", "32:600:3", "33:600", "33:600", "34:600:9"}));
  EXPECT_EQ(sentAfter([&] {
              sendTransfer(500, 9);
              sendTransfer(600, 10);
              queue.send(build(SetObjectValue{42, 9, 5, 0xFF}), kLevelFirst);
              queue.send(build(SetObjectValue{42, 10, 5, 0xFF}), kLevelFirst);
              queue.send(build(ClearPage{9}), kLevelFirst);
            }),
            (Summary{"42:10:5", "73:9", "32:600:3", "33:600", "33:600", "34:600:10"}));
  EXPECT_EQ(sentAfter([&] {
              queue.send(build(BackgroundAnnounce{9, 777}), kLevelFirst);
              queue.send(build(SetObjectValue{42, 9, 5, 0xFF}), kLevelFirst);
              sendTransfer(777, 9);
              sendTransfer(500, 9);
              queue.send(build(ClearPageWithBackground{9, 777}), kLevelFirst);
            }),
            (Summary{"19:9:777", "90:9:777", "32:777:3", "33:777", "33:777", "34:777:9"}));
}

TEST(ConferenceChannel, AddressesThePeerOnlyInPeerToPeerAndMirrorsContentWhenAsked) {
  testing::RecordingHost host;
  ConferenceChannel direct(host, true);
  direct.setPeer(42);
  ConferenceChannel relayed(host, false);
  relayed.setPeer(42);
  SendQueue queue(direct);
  queue.send(build(ClearPage{7}), kLevelFirst);
  queue.send(build(ClearPage{8}), kLevelFirst);
  queue.pump();
  relayed.sendNow(build(Acknowledgement{}), kHostLevelDirect);
  std::vector<std::array<size_t, 4>> calls;
  for (const auto& s : host.sent) calls.push_back({s.type, s.target, s.level, s.bytes.size()});
  EXPECT_EQ(calls, (std::vector<std::array<size_t, 4>>{
                       {13049, 42, 3, 6}, {13049, 42, 1, 6}, {13049, 0, 3, 1}}));

  // Content messages are mirrored while mirroring, or when forced.
  const uint8_t record[] = {1};
  const std::vector<std::vector<uint8_t>> messages = {build(CreateObject{12, 7, 5, record}),
                                                      build(SetObjectWidth{7, 5, 2}),
                                                      build(CurrentPage{7}),
                                                      build(Scroll{1, 2}),
                                                      build(TransferEnd{5, 7}),
                                                      build(RemoveDocumentPages{"d", {9}}),
                                                      build(Acknowledgement{}),
                                                      build(PageShown{7})};
  for (const auto& m : messages) relayed.mirror(m, false);
  EXPECT_TRUE(host.mirrored.empty());
  relayed.mirror(messages[0], true);
  EXPECT_EQ(host.mirrored.size(), 1u);

  host.mirrored.clear();
  relayed.setMirroring(true);
  for (const auto& m : messages) relayed.mirror(m, false);
  relayed.mirror({}, true);
  std::vector<uint8_t> codes;
  for (const auto& m : host.mirrored) codes.push_back(m.empty() ? 0 : codeOf(m[0]));
  EXPECT_EQ(codes, (std::vector<uint8_t>{12, 44, 74, 89}));
}

}  // namespace
}  // namespace scribly
