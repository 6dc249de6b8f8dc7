#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/frame.h"

namespace scribly::net {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Frame> everyType() {
  const SessionSecret secret{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  return {
      Hello{3, "conf_A-9", 11, {0xAA, 0xBB}, std::nullopt},
      Hello{3,
            std::string(64, 'z'),
            0xFFFFFFFF,
            {},
            Resume{secret, {0x0123456789ABCDEFull, 7}, 0x8000000000000001ull}},
      Welcome{secret, 5, 42, WelcomeMode::kResumed},
      Up{1, Bytes(kMaxBoardMessageBytes, 0x5A)},
      UpAck{~uint64_t{0}, true},
      Down{{1700000000000ull, 3}, {{0x81}, Bytes(300, 7), {0xA0}}},
      Down{{1, 0}, {}},
      Ping{99},
      Pong{~uint64_t{0}},
      Reset{2},
      Error{401, "token expired"},
      Bye{},
  };
}

// Decodes a stream handed over in the given pieces.
std::vector<Frame> decodeAll(const Bytes& stream, std::vector<size_t> cuts, FrameError* error) {
  FrameDecoder decoder;
  std::vector<Frame> out;
  size_t from = 0;
  cuts.push_back(stream.size());
  for (size_t to : cuts) {
    std::span<const uint8_t> piece(stream.data() + from, to - from);
    while (auto frame = decoder.next(piece)) out.push_back(std::move(*frame));
    from = to;
  }
  if (error) *error = decoder.error();
  return out;
}

TEST(NetFrame, EveryTypeSurvivesAnySplitOfTheStream) {
  const std::vector<Frame> frames = everyType();
  Bytes stream;
  for (const Frame& frame : frames) {
    const Bytes bytes = encode(frame);
    ASSERT_FALSE(bytes.empty()) << "type " << int(typeOf(frame));
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  }
  FrameError error = FrameError::kNone;
  EXPECT_EQ(decodeAll(stream, {}, &error), frames);
  for (size_t cut = 1; cut < stream.size(); cut += cut < 200 ? 1 : 997) {
    ASSERT_EQ(decodeAll(stream, {cut}, &error), frames) << "cut at " << cut;
  }
  std::vector<size_t> everyByte;
  for (size_t i = 1; i < stream.size(); ++i) everyByte.push_back(i);
  EXPECT_EQ(decodeAll(stream, everyByte, &error), frames);
  EXPECT_EQ(error, FrameError::kNone);
}

Bytes frame(uint8_t type, const Bytes& body) {
  const uint32_t len = static_cast<uint32_t>(body.size() + 1);
  Bytes out{uint8_t(len), uint8_t(len >> 8), uint8_t(len >> 16), uint8_t(len >> 24), type};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes hello(const std::string& conf) {
  Bytes body{3, 0, uint8_t(conf.size())};
  body.insert(body.end(), conf.begin(), conf.end());
  body.insert(body.end(), {11, 0, 0, 0, 0, 0});
  return frame(0x01, body);
}

TEST(NetFrame, MalformedStreamsAreRefused) {
  const Bytes u64(8, 0);
  auto with = [](Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::tuple<const char*, Bytes, FrameError> cases[] = {
      {"empty frame", {0, 0, 0, 0}, FrameError::kBadLength},
      {"over 1 MiB, refused from the header", {1, 0, 0x10, 0}, FrameError::kBadLength},
      {"type 0", frame(0x00, {}), FrameError::kUnknownType},
      {"type 0x0B", frame(0x0B, u64), FrameError::kUnknownType},
      {"short ping", frame(0x06, {1, 2, 3}), FrameError::kBadBody},
      {"ping with trailing bytes", frame(0x06, with(u64, {0})), FrameError::kBadBody},
      {"bye with a body", frame(0x0A, {0}), FrameError::kBadBody},
      {"upack flag 2", frame(0x04, with(u64, {2})), FrameError::kBadBody},
      {"welcome mode 2", frame(0x02, with(Bytes(28, 0), {2})), FrameError::kBadBody},
      {"empty conference", hello(""), FrameError::kBadConference},
      {"65-byte conference", hello(std::string(65, 'a')), FrameError::kBadConference},
      {"conference with a dot", hello("a.b"), FrameError::kBadConference},
      {"token past the end", frame(0x01, {3, 0, 1, 'c', 11, 0, 0, 0, 9, 0}), FrameError::kBadBody},
      {"up without a message", frame(0x03, u64), FrameError::kMessageTooLong},
      {"up over 32768", frame(0x03, with(u64, Bytes(32769, 1))), FrameError::kMessageTooLong},
      {"down message of length 0", frame(0x05, with(Bytes(16, 0), {1, 0, 0, 0, 0, 0, 9})),
       FrameError::kMessageTooLong},
      {"down count past the body", frame(0x05, with(Bytes(16, 0), {0xFF, 0xFF})),
       FrameError::kBadBody},
      {"down message past the body", frame(0x05, with(Bytes(16, 0), {1, 0, 9, 0, 0, 0, 1})),
       FrameError::kBadBody},
      {"error text over 1024", frame(0x09, Bytes(1027, 'x')), FrameError::kBadBody},
  };
  for (const auto& [what, stream, expected] : cases) {
    FrameError error = FrameError::kNone;
    decodeAll(stream, {}, &error);
    EXPECT_EQ(error, expected) << what;
  }
  // A resume is there whole or not at all.
  Bytes half = hello("c");
  half[0] += 20;
  half.resize(half.size() + 20, 0);
  FrameError error = FrameError::kNone;
  EXPECT_TRUE(decodeAll(half, {}, &error).empty());
  EXPECT_EQ(error, FrameError::kBadBody);

  // What the decoder refuses is never encoded.
  EXPECT_TRUE(encode(Hello{1, "a b", 1, {}, std::nullopt}).empty());
  EXPECT_TRUE(encode(Up{1, Bytes(kMaxBoardMessageBytes + 1, 0)}).empty());
  EXPECT_TRUE(encode(Down{{}, {Bytes{}}}).empty());
}

}  // namespace
}  // namespace scribly::net
