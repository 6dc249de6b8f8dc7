#pragma once
// A recording: the mirror stream of one participant as its host wrote it down,
// first the whole board, then every content message sent or received.
//
// The file: the magic "SCRIBREC", a version (u32, little-endian), then each
// message as its length (u32, little-endian) and its bytes, and a length of 0
// once the recording ends. The host appends and flushes message by message, so
// a host that dies leaves a readable prefix, known to be one by its missing end.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

#include "collab/messages.h"

namespace scribly {

constexpr uint32_t kRecordingVersion = 1;
constexpr size_t kRecordingHeaderBytes = 12;
// The largest message a board accepts: one `BulkData` with a whole picture.
constexpr size_t kMaxRecordedMessageBytes = BulkData::kMaxBytes;

struct Recording {
  // Every whole message, in the order it was recorded.
  std::vector<std::vector<uint8_t>> messages;
  // The recording stops before its end: the file ends inside the header, a
  // length or a message, or without the end (the host stopped while
  // recording), or a length no message can have follows `messages`.
  bool cut = false;
  // Bytes no host writes: a length over the limit, or bytes after the end.
  bool damaged = false;
};

// The messages of a recording; nullopt when the bytes are no recording at all
// (another magic, or a version this reader does not know).
std::optional<Recording> readRecording(std::span<const uint8_t> bytes);

// Appends to a file opened for binary writing: the header once, then one
// message at a time, then the end; each flushed. False when the file refuses,
// or when the message is empty or longer than any board takes (it is left
// out).
bool writeRecordingHeader(std::FILE* file);
bool appendRecordedMessage(std::FILE* file, std::span<const uint8_t> message);
bool endRecording(std::FILE* file);

}  // namespace scribly
