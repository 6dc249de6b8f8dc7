#include "collab/message_codec.h"

#include <algorithm>
#include <climits>

#include "base/byte_io.h"
#include "collab/message_header.h"

namespace scribly {
namespace {

template <class M>
constexpr size_t maxBytesOf() {
  if constexpr (requires { M::kMaxBytes; }) {
    return M::kMaxBytes;
  } else {
    return kMaxMessageBytes;
  }
}

// Runs a layout forwards: every field is written.
class LayoutWriter {
 public:
  explicit LayoutWriter(size_t maxBytes) : maxBytes_(maxBytes) {}

  void code(uint8_t c) { out_.u8(firstByteOf(c)); }
  void familyCode(const uint8_t& c, bool (*belongs)(uint8_t)) {
    if (!belongs(c)) ok_ = false;
    out_.u8(firstByteOf(c));
  }
  void u8(const uint8_t& v) { out_.u8(v); }
  void i8(const int8_t& v) { out_.u8(static_cast<uint8_t>(v)); }
  void u16(const uint16_t& v) { out_.u16(v); }
  void u32(const uint32_t& v) { out_.u32(v); }
  void spare(size_t n) { out_.zeros(n); }
  void padding(size_t n) { out_.zeros(n); }
  void constant(uint32_t v) { out_.u32(v); }
  void name(const std::string& s) {
    out_.terminatedString(s.substr(0, std::min(s.size(), kMaxNameBytes - 1)));
  }
  void nameField(const std::string& s, size_t capacity) { out_.fixedString(s, capacity); }
  void idList(const std::vector<uint32_t>& ids) {
    // A 0 would end the list early on the receiving side.
    if (std::find(ids.begin(), ids.end(), 0u) != ids.end()) ok_ = false;
    if (!fits(4 * (ids.size() + 1))) return;
    for (uint32_t id : ids) out_.u32(id);
    out_.u32(0);
  }
  void chunk(std::span<const uint8_t> data, size_t maxLength) {
    if (data.size() > maxLength || data.size() > UINT16_MAX) ok_ = false;
    if (!ok_ || !fits(2 + data.size())) return;
    out_.u16(static_cast<uint16_t>(data.size()));
    out_.bytes(data);
  }
  void sizedData(std::span<const uint8_t> data) {
    if (data.size() > UINT32_MAX) ok_ = false;
    if (!ok_ || !fits(4 + data.size())) return;
    out_.u32(static_cast<uint32_t>(data.size()));
    out_.bytes(data);
  }
  void rest(std::span<const uint8_t> data) {
    if (fits(data.size())) out_.bytes(data);
  }
  template <size_t N>
  void fixedBytes(const std::array<uint8_t, N>& a) {
    out_.bytes(a);
  }

  std::vector<uint8_t> take() {
    if (!ok_ || out_.size() > maxBytes_) return {};
    return out_.take();
  }

 private:
  // Refuses before copying, so an oversized payload is never duplicated.
  bool fits(size_t more) {
    if (more > maxBytes_ - std::min(maxBytes_, out_.size())) ok_ = false;
    return ok_;
  }

  ByteWriter out_;
  size_t maxBytes_;
  bool ok_ = true;
};

// Runs a layout backwards: every field is read, with the reader's sticky
// failure standing for "not this message".
class LayoutReader {
 public:
  explicit LayoutReader(std::span<const uint8_t> bytes) : in_(bytes) {}

  void code(uint8_t c) {
    if (codeOf(in_.u8()) != c) in_.fail();
  }
  void familyCode(uint8_t& c, bool (*belongs)(uint8_t)) {
    c = codeOf(in_.u8());
    if (!belongs(c)) in_.fail();
  }
  void u8(uint8_t& v) { v = in_.u8(); }
  void i8(int8_t& v) { v = static_cast<int8_t>(in_.u8()); }
  void u16(uint16_t& v) { v = in_.u16(); }
  void u32(uint32_t& v) { v = in_.u32(); }
  void spare(size_t n) { in_.skip(n); }
  void padding(size_t) {}
  void constant(uint32_t) { in_.u32(); }
  void name(std::string& s) { s = in_.terminatedString(kMaxNameBytes - 1); }
  void nameField(std::string& s, size_t capacity) {
    if (in_.remaining() < capacity) in_.fail();
    s = in_.fixedString(capacity);
  }
  void idList(std::vector<uint32_t>& ids) {
    ids.clear();
    while (in_.remaining() >= 4) {
      const uint32_t id = in_.u32();
      if (id == 0) return;
      ids.push_back(id);
    }
  }
  void chunk(std::span<const uint8_t>& data, size_t) {
    const uint16_t n = in_.u16();
    data = in_.bytes(n);
  }
  void sizedData(std::span<const uint8_t>& data) {
    const uint32_t n = in_.u32();
    data = in_.bytes(n);
  }
  void rest(std::span<const uint8_t>& data) { data = in_.rest(); }
  template <size_t N>
  void fixedBytes(std::array<uint8_t, N>& a) {
    std::span<const uint8_t> b = in_.bytes(N);
    if (!b.empty()) std::copy(b.begin(), b.end(), a.begin());
  }

  bool ok() const { return in_.ok(); }

 private:
  ByteReader in_;
};

}  // namespace

template <class M>
std::vector<uint8_t> build(const M& message) {
  LayoutWriter io(maxBytesOf<M>());
  M::layout(io, message);
  return io.take();
}

template <class M>
std::optional<M> parse(std::span<const uint8_t> bytes) {
  if (bytes.size() > maxBytesOf<M>()) return std::nullopt;
  LayoutReader io(bytes);
  M message;
  M::layout(io, message);
  if (!io.ok()) return std::nullopt;
  return message;
}

#define SCRIBLY_MESSAGE(M)                          \
  template std::vector<uint8_t> build<M>(const M&); \
  template std::optional<M> parse<M>(std::span<const uint8_t>);
SCRIBLY_WHITEBOARD_MESSAGES(SCRIBLY_MESSAGE)
#undef SCRIBLY_MESSAGE

}  // namespace scribly
