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

// Ids that fit one page-contents message after its code, page and terminator.
constexpr size_t kIdsPerContentsMessage = (kMaxMessageBytes - 9) / 4;

// What the kept creation messages may take together; past it no more are kept.
constexpr size_t kMaxKeptCreationBytes = size_t{64} << 20;

constexpr uint8_t code(MessageCode c) { return toByte(c); }

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
