// Fuzzes the recording reader with any bytes a recording file could hold.
// What it returns lies in the file as written: the header, then each message
// behind its length; a recording that is not cut ends there.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "collab/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scribly;
  const std::span<const uint8_t> bytes(data, size);
  const auto recording = readRecording(bytes);
  if (!recording) return 0;
  size_t at = kRecordingHeaderBytes;
  for (const std::vector<uint8_t>& m : recording->messages) {
    if (m.empty() || m.size() > kMaxRecordedMessageBytes || at + 4 + m.size() > size) std::abort();
    const uint32_t length = data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                            static_cast<uint32_t>(data[at + 3]) << 24;
    if (length != m.size() || !std::equal(m.begin(), m.end(), data + at + 4)) std::abort();
    at += 4 + m.size();
  }
  // Not cut: the end follows, and only a damaged file goes on after it.
  if (!recording->cut && (at + 4 > size || (at + 4 == size) == recording->damaged)) std::abort();
  return 0;
}
