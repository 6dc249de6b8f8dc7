// The dispatcher: a peer's message applied to the board, one step per code
// family, in a fixed order.
#include "board/board.h"
#include "collab/message_codec.h"

namespace scribly {
namespace {

// Clears a flag when the dispatch that set it ends, whatever the path out.
class DispatchScope {
 public:
  explicit DispatchScope(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~DispatchScope() { flag_ = previous_; }
  DispatchScope(const DispatchScope&) = delete;
  DispatchScope& operator=(const DispatchScope&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

}  // namespace

bool Board::dispatch(std::span<const uint8_t> message) {
  if (message.empty() || message.size() > BulkData::kMaxBytes) return false;
  DispatchScope scope(dispatching_);
  const uint8_t first = message[0];
  const uint8_t code = codeOf(first);

  // Bulk data is recorded below, once the page has taken it.
  if (code != toByte(MessageCode::kBulkData)) channel_.mirror(message, false);
  if (options_.peerToPeer && isQueued(first)) {
    static constexpr uint8_t kAcknowledgementBytes[] = {firstByteOf(Acknowledgement::kCode)};
    queue_.send(kAcknowledgementBytes, kLevelDirect);
  }

  if (code == toByte(MessageCode::kBackgroundReady)) {
    const auto m = parse<BackgroundReady>(message);
    if (!m) return false;
    const Page* page = pages_.find(m->page);
    if (page && page->hasBackgroundFile() && page->backgroundNumber() == m->fileNumber) {
      env_.view.contentsChanged(ContentsChange::BackgroundReady, m->page);
    }
    return true;
  }

  if (isObjectCreation(code)) {
    const auto pageId = readPage(message);
    const auto objectId = readObjectId(message);
    if (!pageId || !objectId) return false;
    Page* page = pages_.find(*pageId);
    if (!page) {
      page = pages_.create(*pageId);
      if (!page) return false;
      env_.view.contentsChanged(ContentsChange::PageAdded, *pageId);
      env_.view.pageInfoChanged();
    }
    if (code == toByte(MessageCode::kBackgroundAnnounce)) {
      const auto m = parse<BackgroundAnnounce>(message);
      if (!m || m->fileNumber == page->backgroundNumber()) return false;
      page->announceBackground(m->fileNumber);
      history_.peerChangedBackground(page->id());
    } else if (CreateObject::isKind(code)) {
      if (!receiveObject(code, *pageId, *objectId, message.subspan(9))) return false;
    } else {
      return false;
    }
    invalidateIfCurrent(*page);
    return true;
  }

  if (isObjectChange(code)) return applyObjectChange(message);
  if (isTransfer(code)) return dispatchTransfer(code, message);
  return dispatchPageMessage(code, message);
}

bool Board::dispatchTransfer(uint8_t code, std::span<const uint8_t> message) {
  switch (static_cast<MessageCode>(code)) {
    case MessageCode::kTransferBegin: {
      const auto m = parse<TransferBegin>(message);
      if (!m) return false;
      // A sender whose queue dropped the rest of a transfer starts it over;
      // another sender's transfer under the same key goes on.
      const auto sender = transfers_.senderOf(m->key);
      if (sender && *sender != m->senderUserId) return false;
      transfers_.drop(m->key);
      if (transfers_.begin(m->key, m->senderUserId, m->page, m->totalLength) !=
          TransferTable::BeginResult::Started) {
        return false;
      }
      if (m->senderUserId == 0) sendMessage(TransferProgress{m->key, 1}, kLevelFirst);
      return true;
    }
    case MessageCode::kTransferChunk: {
      const auto m = parse<TransferChunk>(message);
      if (!m) return false;
      const auto sender = transfers_.senderOf(m->key);
      uint32_t chunks = 0;
      if (transfers_.chunk(m->key, m->data, &chunks) != TransferTable::ChunkResult::Appended) {
        return false;
      }
      if (sender == 0u) sendMessage(TransferProgress{m->key, chunks}, kLevelFirst);
      return true;
    }
    case MessageCode::kTransferEnd: {
      const auto m = parse<TransferEnd>(message);
      if (!m) return false;
      auto done = transfers_.end(m->key);
      if (!done) return false;
      const uint32_t pageId = done->page;
      std::vector<uint8_t> data = std::move(done->data);
      // The host records what the page took, in the form it can give back.
      const std::vector<uint8_t> copy = channel_.mirroring() ? data : std::vector<uint8_t>{};
      if (!acceptBulk(pageId, m->key, std::move(data))) return false;
      if (!copy.empty()) mirrorBulk(pageId, m->key, copy, false);
      return true;
    }
    default:
      return false;
  }
}

bool Board::dispatchPageMessage(uint8_t code, std::span<const uint8_t> message) {
  switch (static_cast<MessageCode>(code)) {
    case MessageCode::kIdRange: {
      const auto m = parse<IdRangeGrant>(message);
      return m && ids_.acceptRange(m->start, m->end);
    }
    case MessageCode::kAcknowledgement:
      queue_.pump();
      queue_.pump();
      sendBacklog();
      return true;
    case MessageCode::kClearPage:
    case MessageCode::kClearPageWithBackground: {
      const auto pageId = readPage(message);
      if (!pageId) return false;
      Page* page = pages_.find(*pageId);
      if (!page) return false;
      clearPageContent(*page);
      // A peer emptied the page: nothing of this participant's comes back.
      history_.forgetPage(page->id());
      return true;
    }
    case MessageCode::kBackgroundScale: {
      const auto m = parse<BackgroundScale>(message);
      if (!m || m->page == 0) return false;
      Page* page = pages_.find(m->page);
      if (!page) return true;
      // The board keeps the factor even when the picture is not loaded (the
      // page is not shown, or its picture is still on its way): it applies
      // when the page shows, as on the sender.
      const float factor = scaleFactorOf(m->scaleCode);
      backgrounds_.setFactor(factor);
      scaleBackground(*page, factor, false);
      return true;
    }
    case MessageCode::kSetBackgroundByName: {
      const auto m = parse<SetBackgroundByName>(message);
      if (!m || m->page == 0) return false;
      return applyTemplateBackground(m->name, m->page);
    }
    case MessageCode::kRenamePage:
    case MessageCode::kRenamePageAndRefresh: {
      const auto m = parse<RenamePage>(message);
      const auto m2 = parse<RenamePageAndRefresh>(message);
      const uint32_t page = m ? m->page : (m2 ? m2->page : 0);
      const std::string& name = m ? m->name : (m2 ? m2->name : std::string());
      if (!renameOrCreatePage(name, page)) return false;
      if (code == toByte(MessageCode::kRenamePage)) {
        env_.view.contentsChanged(ContentsChange::PageAdded, page);
      } else {
        env_.view.contentsChanged(ContentsChange::PageRenamed, page);
        env_.view.pageInfoChanged();
      }
      return true;
    }
    case MessageCode::kRemovePage: {
      const auto m = parse<RemovePage>(message);
      if (!m) return false;
      removePage(m->page, m->replacementPage, false);
      return true;
    }
    case MessageCode::kCreateNamedPage: {
      const auto m = parse<CreateNamedPage>(message);
      if (!m || m->page == 0) return false;
      const Page* page = pages_.find(m->page);
      if (!page) page = pages_.create(m->page, m->name);
      if (!page) return false;
      // The page keeps the name it had here, and the panel lists it so.
      env_.view.namedPageCreated(page->id(), page->name());
      return true;
    }
    case MessageCode::kRemoveDocumentPages: {
      const auto m = parse<RemoveDocumentPages>(message);
      if (!m) return false;
      env_.view.documentPagesRemoved(m->documentName);
      removePageSet(m->documentName, m->pages, false);
      return true;
    }
    case MessageCode::kCurrentPage: {
      const auto m = parse<CurrentPage>(message);
      // A peer's page change never creates a page: one unknown here was
      // removed meanwhile or its creation is still on its way, and creating
      // it would bring it back, or keep it under the default name.
      if (!m || m->page == 0 || !pages_.find(m->page)) return false;
      if (!mouse_.defer(m->page)) goToPage(m->page, false);
      return true;
    }
    case MessageCode::kAddPage: {
      const auto m = parse<AddPage>(message);
      if (!m || m->page == 0) return false;
      addPeerPage(m->page, m->name);
      return true;
    }
    case MessageCode::kScroll:
      if (const auto m = parse<Scroll>(message))
        scroll_.showPeerPosition(m->bar == 0 ? ScrollBar::Horizontal : ScrollBar::Vertical,
                                 m->position);
      return true;
    case MessageCode::kStateRequest: {
      const auto m = parse<StateRequest>(message);
      if (!m) return false;
      for (uint32_t value : m->values) sendMessage(StateReplyItem{value}, kLevelFirst);
      sendMessage(StateReplyEnd{}, kLevelFirst);
      return true;
    }
    case MessageCode::kStateReplyEnd:
      // The answer to this board's join named no page to show: it catches up
      // the one it shows.
      if (options_.peerToPeer) return false;
      if (joinAnswerPending_) askPageContents();
      return true;
    case MessageCode::kPageContents:
      if (options_.peerToPeer) return false;
      handlePageContents(message);
      return true;
    case MessageCode::kBulkData: {
      const auto m = parse<BulkData>(message);
      if (!m) return false;
      if (!acceptBulk(m->page, m->key, std::vector<uint8_t>(m->data.begin(), m->data.end()))) {
        return false;
      }
      mirrorBulk(m->page, m->key, m->data, false);
      return true;
    }
    default:
      return false;
  }
}

void Board::handlePageContents(std::span<const uint8_t> message) {
  const auto m = parse<PageContents>(message);
  if (!m) return;
  for (uint32_t id : m->ids) {
    const Page* page = pages_.find(m->page);
    if (!page) break;
    // What this board removed itself stays removed, whatever an older list says.
    if (removedHere_.count(id) != 0) continue;
    const bool missing = id == page->backgroundNumber() ? !page->hasBackgroundFile()
                                                        : page->findObject(id) == nullptr;
    if (missing) sendMessage(MissingItem{id}, kLevelFirst);
  }
  env_.view.invalidateAll(true);
  env_.view.pageInfoChanged();
}

}  // namespace scribly
