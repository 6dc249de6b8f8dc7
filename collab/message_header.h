#pragma once
// The first bytes every whiteboard message shares: the code with the queued
// flag, then, where the message has them, the page and the object id.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace scribly {

// No message is longer; bulk data produced for the host (code 92) is the
// one exception and travels outside the send queue.
constexpr size_t kMaxMessageBytes = 32768;

// Bit 0 of the first byte: set when the message went through the queue at
// level 1 or 2, which asks a peer-to-peer receiver for an acknowledgement.
constexpr uint8_t kQueuedFlag = 0x01;

constexpr size_t kPageOffset = 1;
constexpr size_t kObjectIdOffset = 5;

// Message codes: the first byte is twice the code, plus the queued flag.
enum class MessageCode : uint8_t {
  kBackgroundAnnounce = 19,
  kTransferBegin = 32,
  kTransferChunk = 33,
  kTransferEnd = 34,
  kSetColor = 42,
  kSetFill = 43,
  kSetWidth = 44,
  kMoveTo = 45,
  kSetPoints = 46,
  kDeleteObject = 47,
  kSetFont = 48,
  kSetStyle = 49,
  kSetOrientation = 50,
  kSetAdjustmentA = 51,
  kSetBrightness = 52,
  kSetContrast = 53,
  kSetBackgroundByName = 72,
  kClearPage = 73,
  kCurrentPage = 74,
  kAddPage = 75,
  kRemovePage = 76,
  kScroll = 77,
  kRenamePage = 78,
  kRenamePageAndRefresh = 79,
  kAcknowledgement = 80,
  kIdRange = 81,
  kStateRequest = 82,
  kMissingItem = 84,
  kTransferProgress = 85,
  kStateReplyEnd = 87,
  kCreateNamedPage = 88,
  kRemoveDocumentPages = 89,
  kClearPageWithBackground = 90,
  kBackgroundScale = 91,
  kBulkData = 92,
  kStateReplyItem = 93,
  kPageContents = 94,
  kBackgroundReady = 95,
};

constexpr uint8_t toByte(MessageCode code) { return static_cast<uint8_t>(code); }

// Receivers look at the code only: the flag is the sender's business.
constexpr uint8_t codeOf(uint8_t firstByte) { return firstByte >> 1; }
constexpr bool isQueued(uint8_t firstByte) { return (firstByte & kQueuedFlag) != 0; }
constexpr uint8_t firstByteOf(uint8_t code, bool queued = false) {
  return static_cast<uint8_t>((code << 1) | (queued ? kQueuedFlag : 0));
}
constexpr uint8_t firstByteOf(MessageCode code, bool queued = false) {
  return firstByteOf(toByte(code), queued);
}

// Code families, as the dispatcher, the queue's purge and the mirror hook see them.
constexpr uint8_t kFirstObjectKind = 10;
constexpr uint8_t kLastObjectKind = 25;
constexpr bool isObjectCreation(uint8_t code) { return code >= 10 && code <= 31; }
constexpr bool isTransfer(uint8_t code) { return code >= 32 && code <= 41; }
constexpr bool isObjectChange(uint8_t code) { return code >= 42 && code <= 71; }

struct MessageHeader {
  uint8_t code = 0;
  bool queued = false;
};

// The header of a message, or nullopt for an empty one.
std::optional<MessageHeader> readHeader(std::span<const uint8_t> message);
// The page at offset 1, or nullopt when the message is too short to carry it.
std::optional<uint32_t> readPage(std::span<const uint8_t> message);
// The object id at offset 5, or nullopt when the message is too short to carry it.
std::optional<uint32_t> readObjectId(std::span<const uint8_t> message);

}  // namespace scribly
