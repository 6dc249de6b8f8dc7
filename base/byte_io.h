#pragma once
// Little-endian reading and writing over explicit byte ranges. The reader's
// failure is sticky: once a read would pass the end, every later read fails too,
// so a parser may read all fields and check ok() once at the end.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace scribly {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  explicit ByteReader(std::span<const uint8_t> bytes) : ByteReader(bytes.data(), bytes.size()) {}

  uint8_t u8();
  uint16_t u16();
  uint32_t u32();
  int16_t i16() { return static_cast<int16_t>(u16()); }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  // Exactly n bytes, or an empty span and failure.
  std::span<const uint8_t> bytes(size_t n);
  bool skip(size_t n) { return !bytes(n).empty() || n == 0; }
  // A zero-terminated string inside a field of `capacity` bytes. The field is
  // consumed whole; text without a terminator ends at the field's end. When the
  // field is cut short by the end of the data, whatever remains is taken.
  std::string fixedString(size_t capacity);
  // A zero-terminated string; without a terminator it ends at the data's end.
  // The text is cut to maxLength bytes.
  std::string terminatedString(size_t maxLength);
  // The rest of the data.
  std::span<const uint8_t> rest();

  bool ok() const { return ok_; }
  void fail() { ok_ = false; }
  size_t offset() const { return offset_; }
  size_t remaining() const { return ok_ ? size_ - offset_ : 0; }
  bool atEnd() const { return remaining() == 0; }

 private:
  bool take(size_t n);

  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  ByteWriter() = default;
  explicit ByteWriter(size_t reserve) { out_.reserve(reserve); }

  ByteWriter& u8(uint8_t v);
  ByteWriter& u16(uint16_t v);
  ByteWriter& u32(uint32_t v);
  ByteWriter& i16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
  ByteWriter& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  ByteWriter& bytes(std::span<const uint8_t> b);
  ByteWriter& bytes(const void* data, size_t n);
  // Text zero-padded into a field of `capacity` bytes; always leaves room for
  // the terminator.
  ByteWriter& fixedString(const std::string& s, size_t capacity);
  // Text followed by its terminator.
  ByteWriter& terminatedString(const std::string& s);
  ByteWriter& zeros(size_t n);

  size_t size() const { return out_.size(); }
  const std::vector<uint8_t>& data() const { return out_; }
  std::vector<uint8_t> take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

}  // namespace scribly
