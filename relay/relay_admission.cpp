// What the server lets through: id ranges granted to each participant, and
// every message checked against them and against the conference's bounds
// before it reaches the replica or anyone else.
#include <algorithm>

#include "board/board.h"
#include "collab/message_codec.h"
#include "collab/message_header.h"
#include "relay/relay_server.h"

namespace scribly {
namespace {

// A transfer carries at most a whole envelope: the largest payload and its header.
constexpr uint32_t kMaxTransferBytes = kEnvelopeHeaderBytes + kMaxPayloadBytes;

constexpr uint8_t code(MessageCode c) { return toByte(c); }

template <class M>
bool parses(std::span<const uint8_t> message) {
  return parse<M>(message).has_value();
}

// Codes that create the page they name when it is missing.
bool createsPage(uint8_t c) {
  return CreateObject::isKind(c) || c == code(MessageCode::kBackgroundAnnounce) ||
         c == code(MessageCode::kCurrentPage) || c == code(MessageCode::kAddPage) ||
         c == code(MessageCode::kRenamePage) || c == code(MessageCode::kRenamePageAndRefresh) ||
         c == code(MessageCode::kCreateNamedPage);
}

}  // namespace

void RelayServer::grantRange(uint32_t user, Participant& p) {
  // With a grantor outside, the range comes back through adoptGrant.
  if (limits_.grantsFromOutside || p.ranges.size() >= limits_.maxGrantsPerParticipant) return;
  const uint32_t size = limits_.idRangeSize;
  if (nextGrant_ > limits_.lastGrantedId || limits_.lastGrantedId - nextGrant_ < size - 1) return;
  const IdRange range{nextGrant_, nextGrant_ + size};
  nextGrant_ = range.end;
  p.ranges.push_back(range);
  send(user, build(IdRangeGrant{range.start, range.end}));
}

bool RelayServer::adoptGrant(uint32_t userId, uint32_t start, uint32_t end) {
  if (!limits_.grantsFromOutside || start < nextGrant_ || start >= end ||
      end - 1 > limits_.lastGrantedId) {
    return false;
  }
  // Spent whatever becomes of it, so no later range can overlap it.
  nextGrant_ = end;
  auto it = participants_.find(userId);
  if (it == participants_.end() || it->second.ranges.size() >= limits_.maxGrantsPerParticipant) {
    return false;
  }
  it->second.ranges.push_back(IdRange{start, end});
  send(userId, build(IdRangeGrant{start, end}));
  return true;
}

bool RelayServer::ownsId(const Participant& p, uint32_t id) const {
  auto it = std::upper_bound(p.ranges.begin(), p.ranges.end(), id,
                             [](uint32_t v, const IdRange& r) { return v < r.start; });
  if (it == p.ranges.begin()) return false;
  --it;
  return id >= it->start && id < it->end;
}

bool RelayServer::admits(Participant& p, uint8_t c, std::span<const uint8_t> message) {
  if (isTransfer(c)) return admitsTransfer(p, c, message);

  // New pages are bounded; an existing page is always fine.
  if (createsPage(c)) {
    const std::optional<uint32_t> page = readPage(message);
    if (!page || *page == 0) return false;
    if (!replica_->findPage(*page) &&
        replica_->pages().size() >= limits_.maxPages + kLastSystemPage) {
      return false;
    }
  }

  if (CreateObject::isKind(c)) {
    const auto m = parse<CreateObject>(message);
    if (!m || !ownsId(p, m->objectId)) return false;
    const Page* page = replica_->findPage(m->page);
    const bool known = page && page->findObject(m->objectId);
    return known || objectCount_ < limits_.maxObjects;
  }
  switch (static_cast<MessageCode>(c)) {
    case MessageCode::kBackgroundAnnounce: {
      const auto m = parse<BackgroundAnnounce>(message);
      return m && ownsId(p, m->fileNumber);
    }
    case MessageCode::kSetColor:
    case MessageCode::kSetFill:
    case MessageCode::kMoveTo:
    case MessageCode::kSetOrientation:
    case MessageCode::kSetAdjustmentA:
    case MessageCode::kSetBrightness:
    case MessageCode::kSetContrast:
      return parses<SetObjectValue>(message);
    case MessageCode::kSetWidth:
      return parses<SetObjectWidth>(message);
    case MessageCode::kSetPoints:
      return parses<SetObjectPoints>(message);
    case MessageCode::kDeleteObject:
      return parses<DeleteObject>(message);
    case MessageCode::kSetFont:
      return parses<SetObjectFont>(message);
    case MessageCode::kSetStyle:
      return parses<SetObjectStyle>(message);
    case MessageCode::kSetBackgroundByName:
      return parses<SetBackgroundByName>(message);
    case MessageCode::kClearPage:
      return parses<ClearPage>(message);
    case MessageCode::kCurrentPage:
      return parses<CurrentPage>(message);
    case MessageCode::kAddPage: {
      const auto m = parse<AddPage>(message);
      return m && ownsId(p, m->page);
    }
    case MessageCode::kRemovePage:
      return parses<RemovePage>(message);
    case MessageCode::kScroll:
      return parses<Scroll>(message);
    case MessageCode::kRenamePage:
      return parses<RenamePage>(message);
    case MessageCode::kRenamePageAndRefresh:
      return parses<RenamePageAndRefresh>(message);
    case MessageCode::kCreateNamedPage: {
      const auto m = parse<CreateNamedPage>(message);
      return m && ownsId(p, m->page);
    }
    case MessageCode::kRemoveDocumentPages:
      return parses<RemoveDocumentPages>(message);
    case MessageCode::kClearPageWithBackground:
      return parses<ClearPageWithBackground>(message);
    case MessageCode::kBackgroundScale:
      return parses<BackgroundScale>(message);
    default:
      // Codes nobody handles are not passed on.
      return false;
  }
}

// Transfers are bounded per sender: how many are open and how many bytes
// they announced. A transfer the server refused is refused for everyone.
bool RelayServer::admitsTransfer(Participant& p, uint8_t c, std::span<const uint8_t> message) {
  switch (static_cast<MessageCode>(c)) {
    case MessageCode::kTransferBegin: {
      const auto m = parse<TransferBegin>(message);
      if (!m || !ownsId(p, m->key) || m->totalLength == 0 || m->totalLength > kMaxTransferBytes) {
        return false;
      }
      if (p.transfers.count(m->key) != 0 || p.transfers.size() >= limits_.maxOpenTransfers ||
          m->totalLength >
              limits_.maxOpenTransferBytes - std::min(limits_.maxOpenTransferBytes, p.openBytes)) {
        return false;
      }
      p.transfers.emplace(m->key, IncomingTransfer{m->page, m->totalLength, 0});
      p.openBytes += m->totalLength;
      return true;
    }
    case MessageCode::kTransferChunk: {
      const auto m = parse<TransferChunk>(message);
      if (!m) return false;
      auto it = p.transfers.find(m->key);
      if (it == p.transfers.end()) return false;
      IncomingTransfer& t = it->second;
      if (m->data.size() > t.total - t.received) {
        // Overflowing fails the transfer on every board alike.
        p.openBytes -= t.total;
        p.transfers.erase(it);
        return true;
      }
      t.received += static_cast<uint32_t>(m->data.size());
      return true;
    }
    case MessageCode::kTransferEnd: {
      const auto m = parse<TransferEnd>(message);
      if (!m) return false;
      auto it = p.transfers.find(m->key);
      if (it == p.transfers.end()) return false;
      p.openBytes -= it->second.total;
      p.transfers.erase(it);
      return true;
    }
    default:
      return false;
  }
}

// A board's queue drops what is still waiting of a transfer when the board
// deletes its item or clears its page (keeping the background a clear
// keeps), so those transfers never end; every board and the replica drop
// them on the same message. Left open here they would count against the
// sender's allowance for good.
void RelayServer::closeTransfersCutShort(Participant& p, uint8_t c,
                                         std::span<const uint8_t> message) {
  auto closeIf = [&p](auto cutShort) {
    for (auto it = p.transfers.begin(); it != p.transfers.end();) {
      if (cutShort(it->first, it->second)) {
        p.openBytes -= it->second.total;
        it = p.transfers.erase(it);
      } else {
        ++it;
      }
    }
  };
  switch (static_cast<MessageCode>(c)) {
    case MessageCode::kDeleteObject:
      if (const auto m = parse<DeleteObject>(message)) {
        closeIf([&](uint32_t key, const IncomingTransfer&) { return key == m->objectId; });
      }
      break;
    case MessageCode::kClearPage:
      if (const auto m = parse<ClearPage>(message)) {
        closeIf([&](uint32_t, const IncomingTransfer& t) { return t.page == m->page; });
      }
      break;
    case MessageCode::kClearPageWithBackground:
      if (const auto m = parse<ClearPageWithBackground>(message)) {
        closeIf([&](uint32_t key, const IncomingTransfer& t) {
          return t.page == m->page && key != m->backgroundNumber;
        });
      }
      break;
    default:
      break;
  }
}

}  // namespace scribly
