#pragma once
// The frames a host and a relay exchange over one TCP stream:
// `len:u32le | type:u8 | body`, where len counts the type and the body and is
// at most kMaxFrameBytes. Every integer is little-endian. The decoder takes
// the stream in whatever pieces it arrives and yields whole frames; any frame
// that breaks the layout is a protocol error, after which the link closes.
#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace scribly::net {

constexpr size_t kMaxFrameBytes = size_t{1} << 20;
constexpr size_t kFrameHeaderBytes = 5;
// A board message, as a plug-in's SendTo hands it over.
constexpr size_t kMaxBoardMessageBytes = 32768;
constexpr size_t kMaxConferenceNameBytes = 64;
constexpr size_t kMaxTokenBytes = 4096;
constexpr size_t kMaxErrorTextBytes = 1024;
constexpr size_t kSessionBytes = 16;

enum class FrameType : uint8_t {
  kHello = 0x01,
  kWelcome = 0x02,
  kUp = 0x03,
  kUpAck = 0x04,
  kDown = 0x05,
  kPing = 0x06,
  kPong = 0x07,
  kReset = 0x08,
  kError = 0x09,
  kBye = 0x0A,
};

// A position in a conference's output log (a Redis stream id).
struct OutId {
  uint64_t ms = 0;
  uint64_t seq = 0;
  auto operator<=>(const OutId&) const = default;
};

// 1 to kMaxConferenceNameBytes of [A-Za-z0-9_-]: a name that can reach no
// other conference's keys or files.
bool validConferenceName(std::string_view name);

using SessionSecret = std::array<uint8_t, kSessionBytes>;

// What a host that lost its link presents to carry on where it was.
struct Resume {
  SessionSecret session{};
  OutId lastOut;
  uint64_t nextUp = 0;
  bool operator==(const Resume&) const = default;
};

struct Hello {
  uint16_t version = 0;
  std::string conference;  // 1 to 64 of [A-Za-z0-9_-]
  uint32_t user = 0;
  std::vector<uint8_t> token;
  std::optional<Resume> resume;
  bool operator==(const Hello&) const = default;
};

enum class WelcomeMode : uint8_t { kFresh = 0, kResumed = 1 };

struct Welcome {
  SessionSecret session{};
  uint32_t epoch = 0;
  // The host resends every UP after this one.
  uint64_t upThrough = 0;
  WelcomeMode mode = WelcomeMode::kFresh;
  bool operator==(const Welcome&) const = default;
};

struct Up {
  uint64_t seq = 0;
  std::vector<uint8_t> message;  // 1 to kMaxBoardMessageBytes
  bool operator==(const Up&) const = default;
};

struct UpAck {
  uint64_t seq = 0;  // cumulative
  // The message was queued: the link hands the plug-in its acknowledgement.
  bool queued = false;
  bool operator==(const UpAck&) const = default;
};

// Every delivery of one output entry for this user.
struct Down {
  OutId outId;
  std::vector<std::vector<uint8_t>> messages;  // each 1 to kMaxBoardMessageBytes
  bool operator==(const Down&) const = default;
};

struct Ping {
  uint64_t nonce = 0;
  bool operator==(const Ping&) const = default;
};

struct Pong {
  uint64_t nonce = 0;
  bool operator==(const Pong&) const = default;
};

struct Reset {
  uint8_t reason = 0;
  bool operator==(const Reset&) const = default;
};

struct Error {
  uint16_t code = 0;
  std::string text;  // the rest of the body, at most kMaxErrorTextBytes
  bool operator==(const Error&) const = default;
};

struct Bye {
  bool operator==(const Bye&) const = default;
};

// Alternatives in type order: index + 1 is the frame type.
using Frame = std::variant<Hello, Welcome, Up, UpAck, Down, Ping, Pong, Reset, Error, Bye>;

FrameType typeOf(const Frame& frame);

// The whole frame, header included; empty when the frame breaks a rule the
// decoder enforces (a bad conference name, a message out of bounds, a body
// over the frame cap), so nothing is sent that the far end would refuse.
std::vector<uint8_t> encode(const Frame& frame);

// Why a stream was refused.
enum class FrameError : uint8_t {
  kNone,
  kBadLength,  // len 0 or more than kMaxFrameBytes
  kUnknownType,
  kBadBody,  // the body does not match its type's layout
  kBadConference,
  kMessageTooLong,
};

// One frame's type and body, decoded; kNone and a frame, or the error.
FrameError decodeBody(uint8_t type, std::span<const uint8_t> body, Frame& out);

// Frames out of a stream that arrives in pieces of any size. Holds at most
// one frame's bytes.
class FrameDecoder {
 public:
  // Takes bytes from the front of `input` until a frame is whole, and answers
  // it; nullopt once `input` is used up or the stream was refused (then
  // error() says why and every later call answers nullopt).
  std::optional<Frame> next(std::span<const uint8_t>& input);
  FrameError error() const { return error_; }
  // Bytes of a frame begun but not yet whole.
  size_t pending() const { return header_.size() + body_.size(); }

 private:
  std::vector<uint8_t> header_;
  std::vector<uint8_t> body_;
  size_t bodyLength_ = 0;  // type byte included once the header is whole
  FrameError error_ = FrameError::kNone;
};

}  // namespace scribly::net
