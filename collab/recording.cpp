#include "collab/recording.h"

#include <algorithm>
#include <cstring>

#include "base/byte_io.h"

namespace scribly {
namespace {

constexpr uint8_t kMagic[8] = {'S', 'C', 'R', 'I', 'B', 'R', 'E', 'C'};

void putU32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool writeAll(std::FILE* file, std::span<const uint8_t> bytes) {
  return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

std::optional<Recording> readRecording(std::span<const uint8_t> bytes) {
  Recording recording;
  // A header cut short is still a recording when what there is matches.
  const size_t magicBytes = std::min(bytes.size(), sizeof kMagic);
  if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(magicBytes), kMagic))
    return std::nullopt;
  if (bytes.size() < kRecordingHeaderBytes) {
    recording.cut = true;
    return recording;
  }
  ByteReader in(bytes.subspan(sizeof kMagic));
  if (in.u32() != kRecordingVersion) return std::nullopt;
  for (;;) {
    if (in.remaining() < 4) {
      recording.cut = true;
      break;
    }
    const uint32_t length = in.u32();
    if (length == 0) {
      recording.damaged = !in.atEnd();
      break;
    }
    if (length > kMaxRecordedMessageBytes) {
      recording.cut = recording.damaged = true;
      break;
    }
    const std::span<const uint8_t> message = in.bytes(length);
    if (message.empty()) {
      recording.cut = true;
      break;
    }
    recording.messages.emplace_back(message.begin(), message.end());
  }
  return recording;
}

bool writeRecordingHeader(std::FILE* file) {
  uint8_t header[kRecordingHeaderBytes];
  std::memcpy(header, kMagic, sizeof kMagic);
  putU32(header + sizeof kMagic, kRecordingVersion);
  return file && writeAll(file, header) && std::fflush(file) == 0;
}

bool appendRecordedMessage(std::FILE* file, std::span<const uint8_t> message) {
  if (!file || message.empty() || message.size() > kMaxRecordedMessageBytes) return false;
  uint8_t length[4];
  putU32(length, static_cast<uint32_t>(message.size()));
  return writeAll(file, length) && writeAll(file, message) && std::fflush(file) == 0;
}

bool endRecording(std::FILE* file) {
  const uint8_t end[4] = {};
  return file && writeAll(file, end) && std::fflush(file) == 0;
}

}  // namespace scribly
