#include "base/byte_io.h"

#include <algorithm>
#include <cstring>

namespace scribly {

bool ByteReader::take(size_t n) {
  // Written so the bound check cannot overflow.
  if (!ok_ || n > size_ - offset_) {
    ok_ = false;
    return false;
  }
  offset_ += n;
  return true;
}

uint8_t ByteReader::u8() {
  if (!take(1)) return 0;
  return data_[offset_ - 1];
}

uint16_t ByteReader::u16() {
  if (!take(2)) return 0;
  const uint8_t* p = data_ + offset_ - 2;
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ByteReader::u32() {
  if (!take(4)) return 0;
  const uint8_t* p = data_ + offset_ - 4;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::span<const uint8_t> ByteReader::bytes(size_t n) {
  if (!take(n)) return {};
  return {data_ + offset_ - n, n};
}

std::string ByteReader::fixedString(size_t capacity) {
  if (!ok_) return {};
  size_t avail = std::min(capacity, size_ - offset_);
  const char* p = reinterpret_cast<const char*>(data_ + offset_);
  size_t len = strnlen(p, avail);
  // Leave room for a terminator, as the field itself would.
  if (capacity > 0 && len > capacity - 1) len = capacity - 1;
  offset_ += avail;
  return std::string(p, len);
}

std::string ByteReader::terminatedString(size_t maxLength) {
  if (!ok_) return {};
  size_t avail = size_ - offset_;
  const char* p = reinterpret_cast<const char*>(data_ + offset_);
  size_t len = strnlen(p, avail);
  offset_ += std::min(avail, len + 1);
  return std::string(p, std::min(len, maxLength));
}

std::span<const uint8_t> ByteReader::rest() {
  if (!ok_) return {};
  std::span<const uint8_t> r{data_ + offset_, size_ - offset_};
  offset_ = size_;
  return r;
}

ByteWriter& ByteWriter::u8(uint8_t v) {
  out_.push_back(v);
  return *this;
}

ByteWriter& ByteWriter::u16(uint16_t v) {
  out_.push_back(static_cast<uint8_t>(v));
  out_.push_back(static_cast<uint8_t>(v >> 8));
  return *this;
}

ByteWriter& ByteWriter::u32(uint32_t v) {
  for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return *this;
}

ByteWriter& ByteWriter::bytes(std::span<const uint8_t> b) {
  out_.insert(out_.end(), b.begin(), b.end());
  return *this;
}

ByteWriter& ByteWriter::bytes(const void* data, size_t n) {
  if (n == 0) return *this;
  return bytes(std::span<const uint8_t>(static_cast<const uint8_t*>(data), n));
}

ByteWriter& ByteWriter::fixedString(const std::string& s, size_t capacity) {
  if (capacity == 0) return *this;
  size_t n = std::min(s.size(), capacity - 1);
  n = strnlen(s.data(), n);
  bytes(s.data(), n);
  return zeros(capacity - n);
}

ByteWriter& ByteWriter::terminatedString(const std::string& s) {
  bytes(s.data(), strnlen(s.data(), s.size()));
  return u8(0);
}

ByteWriter& ByteWriter::zeros(size_t n) {
  out_.insert(out_.end(), n, 0);
  return *this;
}

}  // namespace scribly
