#include "collab/message_header.h"

#include "base/byte_io.h"

namespace scribly {
namespace {

std::optional<uint32_t> u32At(std::span<const uint8_t> message, size_t offset) {
  ByteReader r(message);
  r.skip(offset);
  const uint32_t value = r.u32();
  if (!r.ok()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<MessageHeader> readHeader(std::span<const uint8_t> message) {
  if (message.empty()) return std::nullopt;
  return MessageHeader{codeOf(message[0]), isQueued(message[0])};
}

std::optional<uint32_t> readPage(std::span<const uint8_t> message) {
  return u32At(message, kPageOffset);
}

std::optional<uint32_t> readObjectId(std::span<const uint8_t> message) {
  return u32At(message, kObjectIdOffset);
}

}  // namespace scribly
