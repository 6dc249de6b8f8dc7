#pragma once
// The first bytes every whiteboard message shares: the code with the queued
// flag, then, where the message has them, the page and the object id.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "collab/messages.h"

namespace scribly {

// No message is longer; `BulkData` produced for the host is the one
// exception and travels outside the send queue.
constexpr size_t kMaxMessageBytes = 32768;

// Bit 0 of the first byte: set when the message went through the queue at
// level 1 or 2, which asks a peer-to-peer receiver for an acknowledgement.
constexpr uint8_t kQueuedFlag = 0x01;

constexpr size_t kPageOffset = 1;
constexpr size_t kObjectIdOffset = 5;

// Message codes by name, for switches and comparisons; each value is the
// code its message in messages.h carries.
enum class MessageCode : uint8_t {
  kBackgroundAnnounce = BackgroundAnnounce::kCode,
  kTransferBegin = TransferBegin::kCode,
  kTransferChunk = TransferChunk::kCode,
  kTransferEnd = TransferEnd::kCode,
  kSetColor = SetObjectValue::kColour,
  kSetFill = SetObjectValue::kFill,
  kSetWidth = SetObjectWidth::kCode,
  kMoveTo = SetObjectValue::kMoveTo,
  kSetPoints = SetObjectPoints::kCode,
  kDeleteObject = DeleteObject::kCode,
  kSetFont = SetObjectFont::kCode,
  kSetStyle = SetObjectStyle::kCode,
  kSetOrientation = SetObjectValue::kOrientation,
  kSetAdjustmentA = SetObjectValue::kAdjustmentA,
  kSetBrightness = SetObjectValue::kBrightness,
  kSetContrast = SetObjectValue::kContrast,
  kSetBackgroundByName = SetBackgroundByName::kCode,
  kClearPage = ClearPage::kCode,
  kCurrentPage = CurrentPage::kCode,
  kAddPage = AddPage::kCode,
  kRemovePage = RemovePage::kCode,
  kScroll = Scroll::kCode,
  kRenamePage = RenamePage::kCode,
  kRenamePageAndRefresh = RenamePageAndRefresh::kCode,
  kAcknowledgement = Acknowledgement::kCode,
  kIdRange = IdRangeRequest::kCode,
  kStateRequest = StateRequest::kCode,
  kMissingItem = MissingItem::kCode,
  kTransferProgress = TransferProgress::kCode,
  kStateReplyEnd = StateReplyEnd::kCode,
  kCreateNamedPage = CreateNamedPage::kCode,
  kRemoveDocumentPages = RemoveDocumentPages::kCode,
  kClearPageWithBackground = ClearPageWithBackground::kCode,
  kBackgroundScale = BackgroundScale::kCode,
  kBulkData = BulkData::kCode,
  kStateReplyItem = StateReplyItem::kCode,
  kPageContents = PageContents::kCode,
  kBackgroundReady = BackgroundReady::kCode,
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

// Code families, as the dispatcher, the queue's purge and the mirror hook see
// them: each runs from the code of its first message up to the next family's,
// the codes no message uses included.
constexpr bool isObjectCreation(uint8_t code) {
  return code >= CreateObject::kFirstKind && code < TransferBegin::kCode;
}
constexpr bool isTransfer(uint8_t code) {
  return code >= TransferBegin::kCode && code < SetObjectValue::kColour;
}
constexpr bool isObjectChange(uint8_t code) {
  return code >= SetObjectValue::kColour && code < SetBackgroundByName::kCode;
}

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
