// The server's state as bytes and back: what an owner process saves so that
// another can take the conference over and decide exactly as it would have.
#include <algorithm>

#include "base/byte_io.h"
#include "board/board.h"
#include "collab/message_codec.h"
#include "collab/message_header.h"
#include "relay/relay_server.h"

namespace scribly {
namespace {

constexpr uint32_t kStateMagic = 0x594C5253;  // "SRLY"
constexpr uint8_t kStateVersion = 1;

// A transfer carries at most a whole envelope: the largest payload and its header.
constexpr uint32_t kMaxTransferBytes = kEnvelopeHeaderBytes + kMaxPayloadBytes;

void writeBytes(ByteWriter& w, std::span<const uint8_t> bytes) {
  w.u32(static_cast<uint32_t>(bytes.size())).bytes(bytes);
}

// A length-prefixed field of at most `max` bytes; empty and failed when it
// is longer or runs past the end.
std::span<const uint8_t> readBytes(ByteReader& r, size_t max) {
  const uint32_t n = r.u32();
  if (n > max) {
    r.fail();
    return {};
  }
  return r.bytes(n);
}

// A count of records each at least `minBytes` long: one the rest cannot hold
// fails before anything is reserved for it.
uint32_t readCount(ByteReader& r, size_t minBytes, size_t max) {
  const uint32_t n = r.u32();
  if (n > max || size_t{n} * minBytes > r.remaining()) r.fail();
  return r.ok() ? n : 0;
}

}  // namespace

std::vector<uint8_t> RelayServer::saveState() const {
  ByteWriter w;
  w.u32(kStateMagic).u8(kStateVersion).u32(nextGrant_).u8(currentPageKnown_ ? 1 : 0);
  w.u32(static_cast<uint32_t>(participants_.size()));
  for (const auto& [user, p] : participants_) {
    w.u32(user).u32(p.shownPage).u32(static_cast<uint32_t>(p.ranges.size()));
    for (const IdRange& range : p.ranges) w.u32(range.start).u32(range.end);
    w.u32(static_cast<uint32_t>(p.transfers.size()));
    for (const auto& [key, t] : p.transfers) w.u32(key).u32(t.page).u32(t.total).u32(t.received);
  }
  w.u32(static_cast<uint32_t>(documentPages_.size()));
  for (const auto& entry : documentPages_) w.u32(entry.first);
  w.u32(static_cast<uint32_t>(namedBackgrounds_.size()));
  for (const auto& [page, message] : namedBackgrounds_) writeBytes(w.u32(page), message);
  writeBytes(w, lastScale_);

  // The replica: its whole content, then the transfers it is assembling,
  // which the content does not show.
  // A picture turned before its pixels arrived goes as it was before the
  // turn, followed by the changes the replica keeps to replay on the pixels.
  const auto& turns = replica_->turnReplay().pending();
  ByteWriter content;
  uint32_t count = 0;
  for (const std::vector<uint8_t>& message : replica_->contentReport()) {
    const auto creation =
        CreateObject::isKind(codeOf(message[0])) ? parse<CreateObject>(message) : std::nullopt;
    const auto turned = creation ? turns.find(creation->objectId) : turns.end();
    if (turned == turns.end() || turned->second.page != creation->page) {
      writeBytes(content, message);
      ++count;
      continue;
    }
    CreateObject before = *creation;
    before.record = turned->second.record;
    writeBytes(content, build(before));
    for (const std::vector<uint8_t>& change : turned->second.changes) writeBytes(content, change);
    count += 1 + static_cast<uint32_t>(turned->second.changes.size());
  }
  w.u32(count).bytes(content.data());
  ByteWriter transfers;
  uint32_t open = 0;
  replica_->transfers().forEachOpen([&](uint32_t key, uint32_t sender, uint32_t page,
                                        uint32_t total, std::span<const uint8_t> received) {
    writeBytes(transfers.u32(key).u32(sender).u32(page).u32(total), received);
    ++open;
  });
  w.u32(open).bytes(transfers.data());
  return w.take();
}

bool RelayServer::restoreState(std::span<const uint8_t> state) {
  ByteReader r(state);
  if (r.u32() != kStateMagic || r.u8() != kStateVersion) return false;
  const uint32_t firstGrant = std::max<uint32_t>(limits_.firstGrantedId, kLastSystemPage + 1);
  const uint32_t nextGrant = r.u32();
  const uint8_t pageKnown = r.u8();
  if (!r.ok() || nextGrant < firstGrant || pageKnown > 1) return false;

  std::map<uint32_t, Participant> participants;
  std::vector<IdRange> allRanges;
  const uint32_t users = readCount(r, 16, limits_.maxParticipants);
  for (uint32_t i = 0; i < users && r.ok(); ++i) {
    const uint32_t user = r.u32();
    Participant p;
    p.shownPage = r.u32();
    const uint32_t ranges = readCount(r, 8, limits_.maxGrantsPerParticipant);
    for (uint32_t k = 0; k < ranges && r.ok(); ++k) {
      const IdRange range{r.u32(), r.u32()};
      // Ascending and disjoint, and all below the next grant.
      const uint32_t floor = p.ranges.empty() ? firstGrant : p.ranges.back().end;
      if (range.start < floor || range.start >= range.end || range.end > nextGrant) r.fail();
      p.ranges.push_back(range);
      allRanges.push_back(range);
    }
    const uint32_t transfers = readCount(r, 16, limits_.maxOpenTransfers);
    for (uint32_t k = 0; k < transfers && r.ok(); ++k) {
      const uint32_t key = r.u32();
      IncomingTransfer t;
      t.page = r.u32();
      t.total = r.u32();
      t.received = r.u32();
      if (!ownsId(p, key) || t.total == 0 || t.total > kMaxTransferBytes || t.received > t.total ||
          !p.transfers.emplace(key, t).second ||
          t.total >
              limits_.maxOpenTransferBytes - std::min(limits_.maxOpenTransferBytes, p.openBytes)) {
        r.fail();
      }
      p.openBytes += t.total;
    }
    if (user == 0 || !participants.emplace(user, std::move(p)).second) r.fail();
  }
  // Ranges of different participants never overlap either.
  std::sort(allRanges.begin(), allRanges.end(),
            [](const IdRange& a, const IdRange& b) { return a.start < b.start; });
  for (size_t i = 1; i < allRanges.size(); ++i) {
    if (allRanges[i].start < allRanges[i - 1].end) r.fail();
  }

  const size_t maxPages = limits_.maxPages + kLastSystemPage;
  std::map<uint32_t, bool> documentPages;
  const uint32_t documents = readCount(r, 4, maxPages);
  for (uint32_t i = 0; i < documents && r.ok(); ++i) documentPages[r.u32()] = true;
  std::map<uint32_t, std::vector<uint8_t>> namedBackgrounds;
  const uint32_t named = readCount(r, 8, maxPages);
  for (uint32_t i = 0; i < named && r.ok(); ++i) {
    const uint32_t page = r.u32();
    const std::span<const uint8_t> message = readBytes(r, kMaxMessageBytes);
    const auto m = parse<SetBackgroundByName>(message);
    if (!m || m->page != page) r.fail();
    namedBackgrounds[page].assign(message.begin(), message.end());
  }
  const std::span<const uint8_t> scale = readBytes(r, kMaxMessageBytes);
  if (!scale.empty() && !parse<BackgroundScale>(scale)) r.fail();
  const std::vector<uint8_t> lastScale(scale.begin(), scale.end());

  // The replica is made again from its messages, which a board takes from
  // any peer; only their sizes need checking here.
  std::unique_ptr<Board> replica = makeReplica();
  const uint32_t messages = readCount(r, 5, r.remaining());
  for (uint32_t i = 0; i < messages && r.ok(); ++i) {
    const std::span<const uint8_t> message = readBytes(r, BulkData::kMaxBytes);
    if (message.empty()) r.fail();
    if (r.ok()) replica->dispatch(message);
  }
  const uint32_t open = readCount(r, 20, replica->transfers().limits().maxOpenTransfers);
  for (uint32_t i = 0; i < open && r.ok(); ++i) {
    const uint32_t key = r.u32();
    const uint32_t sender = r.u32();
    const uint32_t page = r.u32();
    const uint32_t total = r.u32();
    const std::span<const uint8_t> received = readBytes(r, total);
    if (!r.ok() || !replica->dispatch(build(TransferBegin{key, sender, page, total}))) {
      r.fail();
      break;
    }
    for (size_t offset = 0; offset < received.size(); offset += kMaxChunkBytes) {
      const size_t n = std::min(kMaxChunkBytes, received.size() - offset);
      replica->dispatch(build(TransferChunk{key, received.subspan(offset, n)}));
    }
  }
  if (!r.ok() || !r.atEnd()) return false;

  participants_ = std::move(participants);
  nextGrant_ = nextGrant;
  currentPageKnown_ = pageKnown == 1;
  std::erase_if(documentPages, [&](const auto& e) { return !replica->findPage(e.first); });
  std::erase_if(namedBackgrounds, [&](const auto& e) { return !replica->findPage(e.first); });
  documentPages_ = std::move(documentPages);
  namedBackgrounds_ = std::move(namedBackgrounds);
  lastScale_ = lastScale;
  replica_ = std::move(replica);
  objectCount_ = countObjects();
  creations_.clear();
  creationBytes_ = 0;
  return true;
}

}  // namespace scribly
