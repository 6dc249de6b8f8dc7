#pragma once
// Every whiteboard message, each described once. A message's `layout` lists
// its fields in wire order; the builder runs it to write bytes and the parser
// runs the same function to read them back (message_codec.h), so the two
// directions cannot disagree.
//
// Field operations a layout may use:
//   code(c)              first byte 2 x c (flag set by the send queue, ignored on reading)
//   familyCode(v, test)  first byte from a field, for messages that share a layout
//   u8 / i8 / u16 / u32  little-endian numbers
//   spare(n)             n zero bytes the sender writes and the receiver requires
//   padding(n)           n zero bytes the sender writes and the receiver does not need
//   constant(v)          a u32 the sender always writes as v; its value is not checked
//   name(s)              zero-terminated 8-bit text; without a terminator it ends at
//                        the message's end; cut to kMaxNameBytes with the terminator
//   nameField(s, n)      text in a field of n bytes, present in full
//   idList(v)            zero-terminated u32 list; ends at the message's end when the
//                        terminator is missing; the sender may not list a 0
//   chunk(b, max)        u16 length and that many bytes (at most max when sending)
//   sizedData(b)         u32 length and that many bytes
//   rest(b)              every remaining byte
//   fixedBytes(a)        a byte array of fixed size
// Spans in a parsed message point into the bytes it was parsed from.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "collab/envelope.h"
#include "collab/message_header.h"

namespace scribly {

// Page and background names, terminator included.
constexpr size_t kMaxNameBytes = 256;
// The document name field of the remove-document-pages message.
constexpr size_t kDocumentNameBytes = 256;
// Largest chunk of a transfer.
constexpr size_t kMaxChunkBytes = 16384;
// The font record carried by the set-font message.
constexpr size_t kFontRecordBytes = 60;

// Codes 10 to 25 except 18 and 19: a new object of that kind and its record.
struct CreateObject {
  uint8_t kind = 0;
  uint32_t page = 0;
  uint32_t objectId = 0;
  std::span<const uint8_t> record;

  static constexpr bool isKind(uint8_t code) {
    return code >= kFirstObjectKind && code <= kLastObjectKind && code != 18 && code != 19;
  }
  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.familyCode(m.kind, isKind);
    io.u32(m.page);
    io.u32(m.objectId);
    io.rest(m.record);
  }
};

// Code 19: a page background file is coming under this number.
struct BackgroundAnnounce {
  uint32_t page = 0;
  uint32_t fileNumber = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kBackgroundAnnounce);
    io.u32(m.page);
    io.u32(m.fileNumber);
    io.constant(1);
    io.constant(1);
  }
};

// Code 32. The key is an object id or a background file number.
struct TransferBegin {
  uint32_t key = 0;
  uint32_t senderUserId = 0;
  uint32_t page = 0;
  uint32_t totalLength = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kTransferBegin);
    io.u32(m.key);
    io.u32(m.senderUserId);
    io.u32(m.page);
    io.u32(m.totalLength);
  }
};

// Code 33.
struct TransferChunk {
  uint32_t key = 0;
  std::span<const uint8_t> data;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kTransferChunk);
    io.u32(m.key);
    io.chunk(m.data, kMaxChunkBytes);
  }
};

// Code 34.
struct TransferEnd {
  uint32_t key = 0;
  uint32_t page = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kTransferEnd);
    io.u32(m.key);
    io.u32(m.page);
  }
};

// Codes 42, 43, 45 and 50 to 53: one u32 property of an object (colour,
// fill, packed point, orientation, adjustment A, brightness, contrast).
struct SetObjectValue {
  uint8_t code = 0;
  uint32_t page = 0;
  uint32_t objectId = 0;
  uint32_t value = 0;

  static constexpr bool isCode(uint8_t code) {
    return code == 42 || code == 43 || code == 45 || (code >= 50 && code <= 53);
  }
  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.familyCode(m.code, isCode);
    io.u32(m.page);
    io.u32(m.objectId);
    io.u32(m.value);
  }
};

// Code 44.
struct SetObjectWidth {
  uint32_t page = 0;
  uint32_t objectId = 0;
  uint8_t width = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kSetWidth);
    io.u32(m.page);
    io.u32(m.objectId);
    io.u8(m.width);
  }
};

// Code 46: two values as the kind's set-points operation takes them.
struct SetObjectPoints {
  uint32_t page = 0;
  uint32_t objectId = 0;
  uint32_t first = 0;
  uint32_t second = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kSetPoints);
    io.u32(m.page);
    io.u32(m.objectId);
    io.u32(m.first);
    io.u32(m.second);
  }
};

// Code 47. Also withdraws a background file, with its number as the id.
struct DeleteObject {
  uint32_t page = 0;
  uint32_t objectId = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kDeleteObject);
    io.u32(m.page);
    io.u32(m.objectId);
    io.spare(1);
  }
};

// Code 48: the 60-byte font record, unread here.
struct SetObjectFont {
  uint32_t page = 0;
  uint32_t objectId = 0;
  std::array<uint8_t, kFontRecordBytes> font{};

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kSetFont);
    io.u32(m.page);
    io.u32(m.objectId);
    io.fixedBytes(m.font);
  }
};

// Code 49.
struct SetObjectStyle {
  uint32_t page = 0;
  uint32_t objectId = 0;
  int8_t style = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kSetStyle);
    io.u32(m.page);
    io.u32(m.objectId);
    io.i8(m.style);
  }
};

// Code 72: a template of the background folder, by name.
struct SetBackgroundByName {
  uint32_t page = 0;
  std::string name;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kSetBackgroundByName);
    io.u32(m.page);
    io.name(m.name);
  }
};

// Code 73: clear a page that has no background file.
struct ClearPage {
  uint32_t page = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kClearPage);
    io.u32(m.page);
    io.spare(1);
  }
};

// Code 74: the lead's current page.
struct CurrentPage {
  uint32_t page = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kCurrentPage);
    io.u32(m.page);
    io.spare(1);
  }
};

// Code 75.
struct AddPage {
  uint32_t page = 0;
  std::string name;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kAddPage);
    io.u32(m.page);
    io.name(m.name);
  }
};

// Code 76.
struct RemovePage {
  uint32_t page = 0;
  uint32_t replacementPage = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kRemovePage);
    io.u32(m.page);
    io.u32(m.replacementPage);
    io.spare(1);
  }
};

// Code 77: the lead's scroll position; bar 0 horizontal, anything else vertical.
struct Scroll {
  uint8_t bar = 0;
  uint16_t position = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kScroll);
    io.u8(m.bar);
    io.u16(m.position);
  }
};

// Code 78.
struct RenamePage {
  uint32_t page = 0;
  std::string name;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kRenamePage);
    io.u32(m.page);
    io.name(m.name);
  }
};

// Code 79.
struct RenamePageAndRefresh {
  uint32_t page = 0;
  std::string name;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kRenamePageAndRefresh);
    io.u32(m.page);
    io.name(m.name);
  }
};

// Code 80: answers a queued message in peer-to-peer conferences.
struct Acknowledgement {
  template <class Io, class M>
  static void layout(Io& io, M&) {
    io.code(MessageCode::kAcknowledgement);
  }
};

// Code 81 as sent: ask the server for an id range.
struct IdRangeRequest {
  template <class Io, class M>
  static void layout(Io& io, M&) {
    io.code(MessageCode::kIdRange);
  }
};

// Code 81 as received: the granted range.
struct IdRangeGrant {
  uint32_t start = 0;
  uint32_t end = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kIdRange);
    io.u32(m.start);
    io.u32(m.end);
  }
};

// Code 82. This board sends it with an empty list.
struct StateRequest {
  std::vector<uint32_t> values;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kStateRequest);
    io.idList(m.values);
  }
};

// Code 84: an object or background file this board lacks.
struct MissingItem {
  uint32_t id = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kMissingItem);
    io.u32(m.id);
  }
};

// Code 85.
struct TransferProgress {
  uint32_t key = 0;
  uint32_t chunksReceived = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kTransferProgress);
    io.u32(m.key);
    io.u32(m.chunksReceived);
  }
};

// Code 87: closes the answer to a state request.
struct StateReplyEnd {
  template <class Io, class M>
  static void layout(Io& io, M&) {
    io.code(MessageCode::kStateReplyEnd);
    io.constant(0);
    io.spare(1);
  }
};

// Code 88.
struct CreateNamedPage {
  uint32_t page = 0;
  std::string name;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kCreateNamedPage);
    io.u32(m.page);
    io.name(m.name);
  }
};

// Code 89. Senders follow the list's terminator with four more zero bytes
// (265 + 4 x pages in all); receivers do not need them.
struct RemoveDocumentPages {
  std::string documentName;
  std::vector<uint32_t> pages;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kRemoveDocumentPages);
    io.nameField(m.documentName, kDocumentNameBytes);
    io.idList(m.pages);
    io.padding(4);
  }
};

// Code 90: clear a page that has a background file.
struct ClearPageWithBackground {
  uint32_t page = 0;
  uint32_t backgroundNumber = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kClearPageWithBackground);
    io.u32(m.page);
    io.u32(m.backgroundNumber);
  }
};

// Code 91.
struct BackgroundScale {
  uint32_t page = 0;
  uint32_t scaleCode = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kBackgroundScale);
    io.u32(m.page);
    io.u32(m.scaleCode);
    io.spare(1);
  }
};

// Code 92: a whole transfer in one message, made for the host's recording.
// It never goes through the send queue, so it may exceed kMaxMessageBytes.
struct BulkData {
  uint32_t page = 0;
  uint32_t key = 0;
  std::span<const uint8_t> data;

  static constexpr size_t kMaxBytes = 13 + kEnvelopeHeaderBytes + kMaxPayloadBytes;
  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kBulkData);
    io.u32(m.page);
    io.u32(m.key);
    io.sizedData(m.data);
  }
};

// Code 93: one value of the answer to a state request.
struct StateReplyItem {
  uint32_t value = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kStateReplyItem);
    io.u32(m.value);
  }
};

// Code 94 as sent: this page is now shown, tell me what it holds.
struct PageShown {
  uint32_t page = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kPageContents);
    io.u32(m.page);
  }
};

// Code 94 as received: the ids of the objects and background files of a page.
struct PageContents {
  uint32_t page = 0;
  std::vector<uint32_t> ids;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kPageContents);
    io.u32(m.page);
    io.idList(m.ids);
  }
};

// Code 95.
struct BackgroundReady {
  uint32_t page = 0;
  uint32_t fileNumber = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(MessageCode::kBackgroundReady);
    io.u32(m.page);
    io.u32(m.fileNumber);
  }
};

}  // namespace scribly
