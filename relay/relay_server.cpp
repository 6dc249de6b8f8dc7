#include "relay/relay_server.h"

#include <algorithm>

#include "board/board.h"
#include "board/silent_surroundings.h"
#include "collab/message_codec.h"
#include "collab/message_header.h"
#include "objects/board_object.h"

namespace scribly {
namespace {

// The replica's user id, which the transfers it makes carry as their
// sender's. Any non-zero id will do: a zero would make the joiner report its
// progress after every chunk.
constexpr uint32_t kServerUserId = 0xFFFFFFFF;

// A transfer carries at most a whole envelope: the largest payload and its header.
constexpr uint32_t kMaxTransferBytes = kEnvelopeHeaderBytes + kMaxPayloadBytes;

// Ids that fit one page-contents message after its code, page and terminator.
constexpr size_t kIdsPerContentsMessage = (kMaxMessageBytes - 9) / 4;

// What the kept creation messages may take together; past it no more are kept.
constexpr size_t kMaxKeptCreationBytes = size_t{64} << 20;

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

// The replica never speaks for itself and nobody looks at it.
class ReplicaHost final : public HostLink, public SilentSurroundings {
 public:
  void sendTo(uint32_t, uint32_t, std::span<const uint8_t>, uint32_t) override {}
  void hostMessage(uint32_t, std::span<const uint8_t>) override {}
};

RelayServer::RelayServer(Deliver deliver, RelayServerLimits limits)
    : deliver_(std::move(deliver)),
      limits_(limits),
      nextGrant_(std::max<uint32_t>(limits.firstGrantedId, kLastSystemPage + 1)),
      replicaHost_(std::make_unique<ReplicaHost>()) {
  limits_.idRangeSize = std::max<uint32_t>(limits_.idRangeSize, 1);
  replica_ = makeReplica();
}

std::unique_ptr<Board> RelayServer::makeReplica() {
  BoardOptions options;
  options.peerToPeer = false;
  options.maxPages = limits_.maxPages + kLastSystemPage;
  options.maxObjectsPerPage = limits_.maxObjects;
  options.maxPictureBytes = limits_.maxPictureBytes;
  // Without files, the envelopes are what the replica answers joiners with.
  options.keepBackgroundEnvelopes = true;
  const BoardEnvironment env{*replicaHost_, *replicaHost_, *replicaHost_,
                             *replicaHost_, *replicaHost_, nullptr};
  auto board = std::make_unique<Board>(env, std::move(options));
  board->initialize(kServerUserId, 0);
  return board;
}

RelayServer::~RelayServer() = default;

const Board& RelayServer::replica() const { return *replica_; }

bool RelayServer::connect(uint32_t userId) {
  if (userId == 0 || participants_.count(userId) != 0 ||
      participants_.size() >= limits_.maxParticipants) {
    return false;
  }
  participants_.emplace(userId, Participant{});
  return true;
}

void RelayServer::disconnect(uint32_t userId) { participants_.erase(userId); }

size_t RelayServer::openTransferBytes(uint32_t userId) const {
  auto it = participants_.find(userId);
  return it == participants_.end() ? 0 : it->second.openBytes;
}

void RelayServer::send(uint32_t toUser, std::span<const uint8_t> message) {
  if (!message.empty()) deliver_(toUser, message);
}

void RelayServer::relay(uint32_t fromUser, std::span<const uint8_t> message) {
  if (relay_) {
    if (participants_.size() > 1) relay_(fromUser, message);
    return;
  }
  for (const auto& [user, participant] : participants_) {
    if (user != fromUser) send(user, message);
  }
}

void RelayServer::receive(uint32_t fromUser, std::span<const uint8_t> message) {
  auto it = participants_.find(fromUser);
  if (it == participants_.end() || message.empty()) return;
  Participant& p = it->second;
  const uint8_t c = codeOf(message[0]);

  if (message.size() <= kMaxMessageBytes) {
    switch (static_cast<MessageCode>(c)) {
      case MessageCode::kIdRange:
        grantRange(fromUser, p);
        break;
      case MessageCode::kStateRequest:
        answerStateRequest(fromUser, message);
        break;
      case MessageCode::kPageContents:
        answerPageShown(fromUser, p, message);
        break;
      case MessageCode::kMissingItem:
        answerMissingItem(fromUser, p, message);
        break;
      // Addressed to participants, or the sender's own business: an
      // acknowledgement (only peer-to-peer boards send them), a progress
      // report on a transfer this server did not pace, the host's recording.
      case MessageCode::kAcknowledgement:
      case MessageCode::kTransferProgress:
      case MessageCode::kStateReplyEnd:
      case MessageCode::kBulkData:
      case MessageCode::kStateReplyItem:
      case MessageCode::kBackgroundReady:
        break;
      default:
        if (admits(p, c, message)) {
          closeTransfersCutShort(p, c, message);
          applyToReplica(c, message);
          relay(fromUser, message);
          confirmRemoval(fromUser, c, message);
        }
        break;
    }
  }
  // Whatever became of it, the sender's queue waits for this to move on.
  if (isQueued(message[0])) send(fromUser, build(Acknowledgement{}));
}

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

void RelayServer::applyToReplica(uint8_t c, std::span<const uint8_t> message) {
  const std::optional<uint32_t> pageId = readPage(message);
  auto objectsOn = [&](uint32_t id) -> size_t {
    const Page* page = replica_->findPage(id);
    return page ? page->objectCount() : 0;
  };
  const bool removesPages =
      c == code(MessageCode::kRemovePage) || c == code(MessageCode::kRemoveDocumentPages);
  const size_t before = pageId && !removesPages ? objectsOn(*pageId) : 0;

  replica_->dispatch(message);
  forgetCreations(c, message);
  // A joiner asks for every object of its page, and making a creation
  // compresses its record: that is done here, once, as the object arrives,
  // rather than for every object while the joiner waits.
  if (CreateObject::isKind(c) && pageId) {
    if (const std::optional<uint32_t> id = readObjectId(message)) keptCreation(*pageId, *id);
  }

  if (removesPages) {
    objectCount_ = countObjects();
    std::erase_if(documentPages_, [&](const auto& e) { return !replica_->findPage(e.first); });
    std::erase_if(namedBackgrounds_, [&](const auto& e) { return !replica_->findPage(e.first); });
  } else if (pageId) {
    objectCount_ = objectCount_ - before + objectsOn(*pageId);
  }

  if (!pageId || !replica_->findPage(*pageId)) return;
  switch (static_cast<MessageCode>(c)) {
    case MessageCode::kCreateNamedPage:
      documentPages_[*pageId] = true;
      break;
    case MessageCode::kSetBackgroundByName:
      namedBackgrounds_[*pageId].assign(message.begin(), message.end());
      break;
    case MessageCode::kBackgroundScale:
      lastScale_.assign(message.begin(), message.end());
      break;
    case MessageCode::kCurrentPage:
      currentPageKnown_ = true;
      break;
    default:
      break;
  }
}

// Answers this server sent a participant before its page removal arrived
// (an object it asked for, say) may have recreated the page on its side.
// Page ids are never reused, so repeating the removal to it is always right.
void RelayServer::confirmRemoval(uint32_t user, uint8_t c, std::span<const uint8_t> message) {
  if (c == code(MessageCode::kRemovePage)) {
    if (const auto m = parse<RemovePage>(message)) send(user, build(RemovePage{m->page, 0}));
  } else if (c == code(MessageCode::kRemoveDocumentPages)) {
    if (const auto m = parse<RemoveDocumentPages>(message)) {
      for (uint32_t page : m->pages) send(user, build(RemovePage{page, 0}));
    }
  }
}

void RelayServer::forgetCreations(uint8_t c, std::span<const uint8_t> message) {
  // A change or deletion names its object; a transfer's key is the object
  // whose bulk data it brings. Anything else that reaches objects reaches
  // whole pages, and is rare.
  std::optional<uint32_t> id;
  if (isObjectChange(c)) {
    id = readObjectId(message);
  } else if (isTransfer(c)) {
    id = readPage(message);
  } else if (c == code(MessageCode::kClearPage) ||
             c == code(MessageCode::kClearPageWithBackground) ||
             c == code(MessageCode::kRemovePage) || c == code(MessageCode::kRemoveDocumentPages)) {
    creations_.clear();
    creationBytes_ = 0;
    return;
  }
  if (!id) return;
  auto it = creations_.find(*id);
  if (it == creations_.end()) return;
  for (const KeptCreation& kept : it->second) creationBytes_ -= kept.message.size();
  creations_.erase(it);
}

const std::vector<uint8_t>& RelayServer::keptCreation(uint32_t pageId, uint32_t id) {
  static const std::vector<uint8_t> kNone;
  if (auto it = creations_.find(id); it != creations_.end()) {
    for (const KeptCreation& kept : it->second) {
      if (kept.page == pageId) return kept.message;
    }
  }
  // Past the bound nothing more is kept: requests make their answers.
  const Page* page = replica_->findPage(pageId);
  const BoardObject* object = page ? page->findObject(id) : nullptr;
  if (!object || object->hasBulkData() || creationBytes_ >= kMaxKeptCreationBytes) return kNone;
  std::vector<std::vector<uint8_t>> answer = replica_->itemMessages(pageId, id, BulkForm::Transfer);
  if (answer.size() != 1) return kNone;
  creationBytes_ += answer[0].size();
  std::vector<KeptCreation>& kept = creations_[id];
  kept.push_back(KeptCreation{pageId, std::move(answer[0])});
  return kept.back().message;
}

size_t RelayServer::countObjects() const {
  size_t n = 0;
  for (const auto& page : replica_->pages()) n += page->objectCount();
  return n;
}

// A joiner's page list is brought to the replica's: the pages it lacks, the
// names that differ, the system pages that were removed, and the lead's
// current page, which makes it show that page and catch it up.
void RelayServer::answerStateRequest(uint32_t user, std::span<const uint8_t> message) {
  const auto request = parse<StateRequest>(message);
  if (!request) return;

  for (uint32_t id = kFirstSystemPage; id <= kLastSystemPage; ++id) {
    if (!replica_->findPage(id)) send(user, build(RemovePage{id, 0}));
  }
  for (const auto& page : replica_->pages()) {
    const uint32_t id = page->id();
    if (isSystemPage(id)) {
      if (page->name() != defaultPageName(id)) send(user, build(RenamePage{id, page->name()}));
    } else if (documentPages_.count(id) != 0) {
      send(user, build(CreateNamedPage{id, page->name()}));
    } else {
      send(user, build(AddPage{id, page->name()}));
    }
  }
  // Templates go with the list: a page the joiner knows from this very
  // answer cannot have been removed on its side meanwhile.
  for (const auto& [id, message] : namedBackgrounds_) send(user, message);
  if (!lastScale_.empty()) send(user, lastScale_);
  if (currentPageKnown_ && replica_->currentPage()) {
    send(user, build(CurrentPage{replica_->currentPage()->id()}));
  }
  for (uint32_t value : request->values) send(user, build(StateReplyItem{value}));
  send(user, build(StateReplyEnd{}));
}

// The page's ids in drawing order, then its background file; long lists go
// in several messages, each complete in itself.
void RelayServer::answerPageShown(uint32_t user, Participant& p, std::span<const uint8_t> message) {
  const auto shown = parse<PageShown>(message);
  if (!shown) return;
  p.shownPage = shown->page;
  const Page* page = replica_->findPage(shown->page);
  if (!page) return;

  PageContents list{shown->page, {}};
  auto flush = [&] {
    if (!list.ids.empty()) send(user, build(list));
    list.ids.clear();
  };
  auto add = [&](uint32_t id) {
    if (id == 0) return;
    list.ids.push_back(id);
    if (list.ids.size() == kIdsPerContentsMessage) flush();
  };
  for (uint32_t id : replica_->pageContentIds(shown->page)) add(id);
  flush();
}

void RelayServer::answerMissingItem(uint32_t user, const Participant& p,
                                    std::span<const uint8_t> message) {
  const auto missing = parse<MissingItem>(message);
  if (!missing || missing->id == 0) return;
  // Ids are unique across the conference, so any page will do; the page the
  // participant shows last is by far the likeliest.
  if (const std::vector<uint8_t>& kept = keptCreation(p.shownPage, missing->id); !kept.empty()) {
    send(user, kept);
    return;
  }
  std::vector<std::vector<uint8_t>> answer =
      replica_->itemMessages(p.shownPage, missing->id, BulkForm::Transfer);
  for (size_t i = 0; answer.empty() && i < replica_->pages().size(); ++i) {
    const uint32_t id = replica_->pages()[i]->id();
    if (id != p.shownPage) answer = replica_->itemMessages(id, missing->id, BulkForm::Transfer);
  }
  for (const std::vector<uint8_t>& m : answer) send(user, m);
}

}  // namespace scribly
