#include "collab/recording.h"

#include <algorithm>

#include "base/byte_io.h"

namespace scribly {
namespace {

constexpr uint8_t kMagic[8] = {'S', 'C', 'R', 'I', 'B', 'R', 'E', 'C'};

bool put(std::FILE* file, std::span<const uint8_t> bytes) {
  return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// Writes and flushes, so that the bytes survive a host that dies next.
bool writeAll(std::FILE* file, std::span<const uint8_t> head, std::span<const uint8_t> body = {}) {
  return file && put(file, head) && put(file, body) && std::fflush(file) == 0;
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
  return writeAll(file, ByteWriter().bytes(kMagic).u32(kRecordingVersion).data());
}

bool appendRecordedMessage(std::FILE* file, std::span<const uint8_t> message) {
  if (message.empty() || message.size() > kMaxRecordedMessageBytes) return false;
  return writeAll(file, ByteWriter().u32(static_cast<uint32_t>(message.size())).data(), message);
}

bool endRecording(std::FILE* file) { return writeAll(file, ByteWriter().u32(0).data()); }

}  // namespace scribly
