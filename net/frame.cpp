#include "net/frame.h"

#include <algorithm>

#include "base/byte_io.h"

namespace scribly::net {
namespace {

uint64_t readU64(ByteReader& r) {
  const uint64_t low = r.u32();
  return low | (uint64_t{r.u32()} << 32);
}

void writeU64(ByteWriter& w, uint64_t v) {
  w.u32(static_cast<uint32_t>(v)).u32(static_cast<uint32_t>(v >> 32));
}

OutId readOutId(ByteReader& r) {
  OutId id;
  id.ms = readU64(r);
  id.seq = readU64(r);
  return id;
}

void writeOutId(ByteWriter& w, const OutId& id) {
  writeU64(w, id.ms);
  writeU64(w, id.seq);
}

SessionSecret readSession(ByteReader& r) {
  SessionSecret s{};
  const std::span<const uint8_t> bytes = r.bytes(kSessionBytes);
  if (!bytes.empty()) std::copy(bytes.begin(), bytes.end(), s.begin());
  return s;
}

}  // namespace

bool validConferenceName(std::string_view name) {
  if (name.empty() || name.size() > kMaxConferenceNameBytes) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
  });
}

namespace {

bool validMessage(std::span<const uint8_t> m) {
  return !m.empty() && m.size() <= kMaxBoardMessageBytes;
}

// Each body's layout, both ways. A writer answers false for what a reader
// would refuse.
struct BodyWriter {
  ByteWriter& w;
  FrameError operator()(const Hello& h) const {
    if (!validConferenceName(h.conference)) return FrameError::kBadConference;
    if (h.token.size() > kMaxTokenBytes) return FrameError::kBadBody;
    w.u16(h.version).u8(static_cast<uint8_t>(h.conference.size()));
    w.bytes(h.conference.data(), h.conference.size());
    w.u32(h.user).u16(static_cast<uint16_t>(h.token.size())).bytes(h.token);
    if (h.resume) {
      w.bytes(h.resume->session);
      writeOutId(w, h.resume->lastOut);
      writeU64(w, h.resume->nextUp);
    }
    return FrameError::kNone;
  }
  FrameError operator()(const Welcome& m) const {
    w.bytes(m.session).u32(m.epoch);
    writeU64(w, m.upThrough);
    w.u8(static_cast<uint8_t>(m.mode));
    return m.mode == WelcomeMode::kFresh || m.mode == WelcomeMode::kResumed ? FrameError::kNone
                                                                            : FrameError::kBadBody;
  }
  FrameError operator()(const Up& m) const {
    if (!validMessage(m.message)) return FrameError::kMessageTooLong;
    writeU64(w, m.seq);
    w.bytes(m.message);
    return FrameError::kNone;
  }
  FrameError operator()(const UpAck& m) const {
    writeU64(w, m.seq);
    w.u8(m.queued ? 1 : 0);
    return FrameError::kNone;
  }
  FrameError operator()(const Down& m) const {
    if (m.messages.size() > 0xFFFF) return FrameError::kBadBody;
    writeOutId(w, m.outId);
    w.u16(static_cast<uint16_t>(m.messages.size()));
    for (const std::vector<uint8_t>& message : m.messages) {
      if (!validMessage(message)) return FrameError::kMessageTooLong;
      w.u32(static_cast<uint32_t>(message.size())).bytes(message);
    }
    return FrameError::kNone;
  }
  FrameError operator()(const Ping& m) const {
    writeU64(w, m.nonce);
    return FrameError::kNone;
  }
  FrameError operator()(const Pong& m) const {
    writeU64(w, m.nonce);
    return FrameError::kNone;
  }
  FrameError operator()(const Reset& m) const {
    w.u8(m.reason);
    return FrameError::kNone;
  }
  FrameError operator()(const Error& m) const {
    if (m.text.size() > kMaxErrorTextBytes) return FrameError::kBadBody;
    w.u16(m.code).bytes(m.text.data(), m.text.size());
    return FrameError::kNone;
  }
  FrameError operator()(const Bye&) const { return FrameError::kNone; }
};

std::optional<Frame> readBody(FrameType type, ByteReader& r, FrameError& error) {
  switch (type) {
    case FrameType::kHello: {
      Hello h;
      h.version = r.u16();
      const std::span<const uint8_t> conf = r.bytes(r.u8());
      h.conference.assign(conf.begin(), conf.end());
      h.user = r.u32();
      const std::span<const uint8_t> token = r.bytes(r.u16());
      h.token.assign(token.begin(), token.end());
      if (!r.ok()) return std::nullopt;
      if (!validConferenceName(h.conference)) {
        error = FrameError::kBadConference;
        return std::nullopt;
      }
      if (h.token.size() > kMaxTokenBytes) return std::nullopt;
      if (!r.atEnd()) {
        Resume resume;
        resume.session = readSession(r);
        resume.lastOut = readOutId(r);
        resume.nextUp = readU64(r);
        h.resume = resume;
      }
      return h;
    }
    case FrameType::kWelcome: {
      Welcome m;
      m.session = readSession(r);
      m.epoch = r.u32();
      m.upThrough = readU64(r);
      const uint8_t mode = r.u8();
      if (mode > 1) return std::nullopt;
      m.mode = static_cast<WelcomeMode>(mode);
      return m;
    }
    case FrameType::kUp: {
      Up m;
      m.seq = readU64(r);
      const std::span<const uint8_t> message = r.rest();
      if (!r.ok()) return std::nullopt;
      if (!validMessage(message)) {
        error = FrameError::kMessageTooLong;
        return std::nullopt;
      }
      m.message.assign(message.begin(), message.end());
      return m;
    }
    case FrameType::kUpAck: {
      UpAck m;
      m.seq = readU64(r);
      const uint8_t ack = r.u8();
      if (ack > 1) return std::nullopt;
      m.queued = ack == 1;
      return m;
    }
    case FrameType::kDown: {
      Down m;
      m.outId = readOutId(r);
      const uint16_t n = r.u16();
      // Each message takes at least five bytes: the count cannot ask for
      // more room than the body holds.
      if (!r.ok() || size_t{n} * 5 > r.remaining()) return std::nullopt;
      m.messages.reserve(n);
      for (uint16_t i = 0; i < n; ++i) {
        const uint32_t length = r.u32();
        if (!r.ok()) return std::nullopt;
        if (length == 0 || length > kMaxBoardMessageBytes) {
          error = FrameError::kMessageTooLong;
          return std::nullopt;
        }
        const std::span<const uint8_t> message = r.bytes(length);
        if (!r.ok()) return std::nullopt;
        m.messages.emplace_back(message.begin(), message.end());
      }
      return m;
    }
    case FrameType::kPing:
      return Ping{readU64(r)};
    case FrameType::kPong:
      return Pong{readU64(r)};
    case FrameType::kReset:
      return Reset{r.u8()};
    case FrameType::kError: {
      Error m;
      m.code = r.u16();
      const std::span<const uint8_t> text = r.rest();
      if (text.size() > kMaxErrorTextBytes) return std::nullopt;
      m.text.assign(text.begin(), text.end());
      return m;
    }
    case FrameType::kBye:
      return Bye{};
  }
  error = FrameError::kUnknownType;
  return std::nullopt;
}

bool knownType(uint8_t type) {
  return type >= static_cast<uint8_t>(FrameType::kHello) &&
         type <= static_cast<uint8_t>(FrameType::kBye);
}

}  // namespace

FrameType typeOf(const Frame& frame) { return static_cast<FrameType>(frame.index() + 1); }

std::vector<uint8_t> encode(const Frame& frame) {
  ByteWriter w;
  w.u32(0).u8(static_cast<uint8_t>(typeOf(frame)));
  if (std::visit(BodyWriter{w}, frame) != FrameError::kNone) return {};
  const size_t length = w.size() - 4;
  if (length > kMaxFrameBytes) return {};
  std::vector<uint8_t> out = w.take();
  for (size_t i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(length >> (8 * i));
  return out;
}

FrameError decodeBody(uint8_t type, std::span<const uint8_t> body, Frame& out) {
  if (!knownType(type)) return FrameError::kUnknownType;
  ByteReader r(body);
  FrameError error = FrameError::kBadBody;
  std::optional<Frame> frame = readBody(static_cast<FrameType>(type), r, error);
  // Trailing bytes break the layout as much as missing ones.
  if (!frame || !r.ok() || !r.atEnd()) return error;
  out = std::move(*frame);
  return FrameError::kNone;
}

std::optional<Frame> FrameDecoder::next(std::span<const uint8_t>& input) {
  while (error_ == FrameError::kNone && !input.empty()) {
    if (header_.size() < kFrameHeaderBytes) {
      const size_t n = std::min(kFrameHeaderBytes - header_.size(), input.size());
      header_.insert(header_.end(), input.begin(), input.begin() + n);
      input = input.subspan(n);
      if (header_.size() < 4) continue;
      bodyLength_ = size_t{header_[0]} | size_t{header_[1]} << 8 | size_t{header_[2]} << 16 |
                    size_t{header_[3]} << 24;
      // Refused before a byte of the body is held.
      if (bodyLength_ == 0 || bodyLength_ > kMaxFrameBytes) {
        error_ = FrameError::kBadLength;
        break;
      }
      if (header_.size() < kFrameHeaderBytes) continue;
      if (!knownType(header_[4])) {
        error_ = FrameError::kUnknownType;
        break;
      }
    } else {
      const size_t n = std::min(bodyLength_ - 1 - body_.size(), input.size());
      body_.insert(body_.end(), input.begin(), input.begin() + n);
      input = input.subspan(n);
    }
    if (header_.size() == kFrameHeaderBytes && body_.size() == bodyLength_ - 1) {
      Frame frame;
      error_ = decodeBody(header_[4], body_, frame);
      header_.clear();
      body_.clear();
      if (error_ == FrameError::kNone) return frame;
    }
  }
  return std::nullopt;
}

}  // namespace scribly::net
