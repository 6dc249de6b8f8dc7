#pragma once
// Every whiteboard message, each described once with its code (kCode, or the
// codes of a family). A message's `layout` lists its fields in wire order; the
// builder runs it to write bytes and the parser runs the same function to read
// them back (message_codec.h), so the two directions cannot disagree.
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

namespace scribly {

// Page and background names, terminator included.
constexpr size_t kMaxNameBytes = 256;
// The document name field of RemoveDocumentPages.
constexpr size_t kDocumentNameBytes = 256;
// Largest chunk of a transfer.
constexpr size_t kMaxChunkBytes = 16384;
// The font record SetObjectFont carries.
constexpr size_t kFontRecordBytes = 60;

// A page background file is coming under this number. The code lies among
// the object kinds: the kind of a page record.
struct BackgroundAnnounce {
  static constexpr uint8_t kCode = 19;
  uint32_t page = 0;
  uint32_t fileNumber = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.fileNumber);
    io.constant(1);
    io.constant(1);
  }
};

// A new object and its record; the code is the object's kind.
struct CreateObject {
  static constexpr uint8_t kFirstKind = 10;
  static constexpr uint8_t kLastKind = 25;
  // A drawing tool's kind: its strokes travel as pencil objects.
  static constexpr uint8_t kToolOnlyKind = 18;
  uint8_t kind = 0;
  uint32_t page = 0;
  uint32_t objectId = 0;
  std::span<const uint8_t> record;

  static constexpr bool isKind(uint8_t code) {
    return code >= kFirstKind && code <= kLastKind && code != kToolOnlyKind &&
           code != BackgroundAnnounce::kCode;
  }
  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.familyCode(m.kind, isKind);
    io.u32(m.page);
    io.u32(m.objectId);
    io.rest(m.record);
  }
};

// The key is an object id or a background file number.
struct TransferBegin {
  static constexpr uint8_t kCode = 32;
  uint32_t key = 0;
  uint32_t senderUserId = 0;
  uint32_t page = 0;
  uint32_t totalLength = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.key);
    io.u32(m.senderUserId);
    io.u32(m.page);
    io.u32(m.totalLength);
  }
};

struct TransferChunk {
  static constexpr uint8_t kCode = 33;
  uint32_t key = 0;
  std::span<const uint8_t> data;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.key);
    io.chunk(m.data, kMaxChunkBytes);
  }
};

struct TransferEnd {
  static constexpr uint8_t kCode = 34;
  uint32_t key = 0;
  uint32_t page = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.key);
    io.u32(m.page);
  }
};

// One u32 property of an object; the code says which.
struct SetObjectValue {
  static constexpr uint8_t kColour = 42;
  static constexpr uint8_t kFill = 43;
  static constexpr uint8_t kMoveTo = 45;  // a packed point
  static constexpr uint8_t kOrientation = 50;
  static constexpr uint8_t kAdjustmentA = 51;
  static constexpr uint8_t kBrightness = 52;
  static constexpr uint8_t kContrast = 53;
  uint8_t code = 0;
  uint32_t page = 0;
  uint32_t objectId = 0;
  uint32_t value = 0;

  static constexpr bool isCode(uint8_t code) {
    return code == kColour || code == kFill || code == kMoveTo ||
           (code >= kOrientation && code <= kContrast);
  }
  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.familyCode(m.code, isCode);
    io.u32(m.page);
    io.u32(m.objectId);
    io.u32(m.value);
  }
};

struct SetObjectWidth {
  static constexpr uint8_t kCode = 44;
  uint32_t page = 0;
  uint32_t objectId = 0;
  uint8_t width = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.objectId);
    io.u8(m.width);
  }
};

// Two values as the kind's set-points operation takes them.
struct SetObjectPoints {
  static constexpr uint8_t kCode = 46;
  uint32_t page = 0;
  uint32_t objectId = 0;
  uint32_t first = 0;
  uint32_t second = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.objectId);
    io.u32(m.first);
    io.u32(m.second);
  }
};

// Also withdraws a background file, with its number as the id.
struct DeleteObject {
  static constexpr uint8_t kCode = 47;
  uint32_t page = 0;
  uint32_t objectId = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.objectId);
    io.spare(1);
  }
};

// The 60-byte font record, unread here.
struct SetObjectFont {
  static constexpr uint8_t kCode = 48;
  uint32_t page = 0;
  uint32_t objectId = 0;
  std::array<uint8_t, kFontRecordBytes> font{};

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.objectId);
    io.fixedBytes(m.font);
  }
};

struct SetObjectStyle {
  static constexpr uint8_t kCode = 49;
  uint32_t page = 0;
  uint32_t objectId = 0;
  int8_t style = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.objectId);
    io.i8(m.style);
  }
};

// A template of the background folder, by name.
struct SetBackgroundByName {
  static constexpr uint8_t kCode = 72;
  uint32_t page = 0;
  std::string name;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.name(m.name);
  }
};

// Clear a page that has no background file.
struct ClearPage {
  static constexpr uint8_t kCode = 73;
  uint32_t page = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.spare(1);
  }
};

// The lead's current page.
struct CurrentPage {
  static constexpr uint8_t kCode = 74;
  uint32_t page = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.spare(1);
  }
};

struct AddPage {
  static constexpr uint8_t kCode = 75;
  uint32_t page = 0;
  std::string name;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.name(m.name);
  }
};

struct RemovePage {
  static constexpr uint8_t kCode = 76;
  uint32_t page = 0;
  uint32_t replacementPage = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.replacementPage);
    io.spare(1);
  }
};

// The lead's scroll position; bar 0 horizontal, anything else vertical.
struct Scroll {
  static constexpr uint8_t kCode = 77;
  uint8_t bar = 0;
  uint16_t position = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u8(m.bar);
    io.u16(m.position);
  }
};

struct RenamePage {
  static constexpr uint8_t kCode = 78;
  uint32_t page = 0;
  std::string name;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.name(m.name);
  }
};

struct RenamePageAndRefresh {
  static constexpr uint8_t kCode = 79;
  uint32_t page = 0;
  std::string name;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.name(m.name);
  }
};

// Answers a queued message in peer-to-peer conferences.
struct Acknowledgement {
  static constexpr uint8_t kCode = 80;
  template <class Io, class M>
  static void layout(Io& io, M&) {
    io.code(kCode);
  }
};

// Asks the server for an id range.
struct IdRangeRequest {
  static constexpr uint8_t kCode = 81;
  template <class Io, class M>
  static void layout(Io& io, M&) {
    io.code(kCode);
  }
};

// The server's answer to IdRangeRequest, under its code: the granted range.
struct IdRangeGrant {
  static constexpr uint8_t kCode = IdRangeRequest::kCode;
  uint32_t start = 0;
  uint32_t end = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.start);
    io.u32(m.end);
  }
};

// This board sends it with an empty list.
struct StateRequest {
  static constexpr uint8_t kCode = 82;
  std::vector<uint32_t> values;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.idList(m.values);
  }
};

// An object or background file this board lacks.
struct MissingItem {
  static constexpr uint8_t kCode = 84;
  uint32_t id = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.id);
  }
};

struct TransferProgress {
  static constexpr uint8_t kCode = 85;
  uint32_t key = 0;
  uint32_t chunksReceived = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.key);
    io.u32(m.chunksReceived);
  }
};

// Closes the answer to a state request.
struct StateReplyEnd {
  static constexpr uint8_t kCode = 87;
  template <class Io, class M>
  static void layout(Io& io, M&) {
    io.code(kCode);
    io.constant(0);
    io.spare(1);
  }
};

struct CreateNamedPage {
  static constexpr uint8_t kCode = 88;
  uint32_t page = 0;
  std::string name;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.name(m.name);
  }
};

// Senders follow the list's terminator with four more zero bytes
// (265 + 4 x pages in all); receivers do not need them.
struct RemoveDocumentPages {
  static constexpr uint8_t kCode = 89;
  std::string documentName;
  std::vector<uint32_t> pages;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.nameField(m.documentName, kDocumentNameBytes);
    io.idList(m.pages);
    io.padding(4);
  }
};

// Clear a page that has a background file.
struct ClearPageWithBackground {
  static constexpr uint8_t kCode = 90;
  uint32_t page = 0;
  uint32_t backgroundNumber = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.backgroundNumber);
  }
};

struct BackgroundScale {
  static constexpr uint8_t kCode = 91;
  uint32_t page = 0;
  uint32_t scaleCode = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.scaleCode);
    io.spare(1);
  }
};

// A whole transfer in one message, made for the host's recording.
// It never goes through the send queue, so it may exceed kMaxMessageBytes.
struct BulkData {
  static constexpr uint8_t kCode = 92;
  uint32_t page = 0;
  uint32_t key = 0;
  std::span<const uint8_t> data;

  static constexpr size_t kMaxBytes = 13 + kEnvelopeHeaderBytes + kMaxPayloadBytes;
  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.key);
    io.sizedData(m.data);
  }
};

// One value of the answer to a state request.
struct StateReplyItem {
  static constexpr uint8_t kCode = 93;
  uint32_t value = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.value);
  }
};

// This page is now shown: tell me what it holds.
struct PageShown {
  static constexpr uint8_t kCode = 94;
  uint32_t page = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
  }
};

// The answer to PageShown, under its code: the ids of the objects and
// background files of a page.
struct PageContents {
  static constexpr uint8_t kCode = PageShown::kCode;
  uint32_t page = 0;
  std::vector<uint32_t> ids;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.idList(m.ids);
  }
};

struct BackgroundReady {
  static constexpr uint8_t kCode = 95;
  uint32_t page = 0;
  uint32_t fileNumber = 0;

  template <class Io, class M>
  static void layout(Io& io, M& m) {
    io.code(kCode);
    io.u32(m.page);
    io.u32(m.fileNumber);
  }
};

// Every message above, for code that handles each one alike (the codec's
// builders and parsers).
#define SCRIBLY_WHITEBOARD_MESSAGES(X) \
  X(BackgroundAnnounce)                \
  X(CreateObject)                      \
  X(TransferBegin)                     \
  X(TransferChunk)                     \
  X(TransferEnd)                       \
  X(SetObjectValue)                    \
  X(SetObjectWidth)                    \
  X(SetObjectPoints)                   \
  X(DeleteObject)                      \
  X(SetObjectFont)                     \
  X(SetObjectStyle)                    \
  X(SetBackgroundByName)               \
  X(ClearPage)                         \
  X(CurrentPage)                       \
  X(AddPage)                           \
  X(RemovePage)                        \
  X(Scroll)                            \
  X(RenamePage)                        \
  X(RenamePageAndRefresh)              \
  X(Acknowledgement)                   \
  X(IdRangeRequest)                    \
  X(IdRangeGrant)                      \
  X(StateRequest)                      \
  X(MissingItem)                       \
  X(TransferProgress)                  \
  X(StateReplyEnd)                     \
  X(CreateNamedPage)                   \
  X(RemoveDocumentPages)               \
  X(ClearPageWithBackground)           \
  X(BackgroundScale)                   \
  X(BulkData)                          \
  X(StateReplyItem)                    \
  X(PageShown)                         \
  X(PageContents)                      \
  X(BackgroundReady)

}  // namespace scribly
