#include "board/board.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "board/page_painting.h"
#include "collab/message_codec.h"

namespace scribly {
namespace {

constexpr std::string_view kUserPageName = "User Page";
// A user name longer than this many characters does not name pages.
constexpr size_t kMaxUserNameForPage = 40;

// Characters of UTF-8 text: every byte that does not continue a sequence.
size_t characterCount(std::string_view utf8) {
  return static_cast<size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }));
}

}  // namespace

Board::Board(const BoardEnvironment& env, BoardOptions options)
    : env_(env),
      options_(std::move(options)),
      channel_(env.host, options_.peerToPeer),
      outlet_(*this),
      queue_(outlet_),
      ids_(queue_),
      transfers_(options_.transferLimits),
      factory_(env.measurer),
      backgrounds_(env.files, env.pictures, options_.backgroundFolder, options_.templates,
                   options_.maxReceivedBackgroundBytes),
      pages_(options_.maxPages, backgrounds_.creationTemplate()),
      turns_(options_.maxPendingTurnBytes),
      backlog_(options_.maxReplyBacklog),
      scroll_(
          env.view, pages_,
          [this](ScrollBar bar, int32_t position) { return sendScrollPosition(bar, position); },
          env.clock),
      userNames_(env.hostInfo, options_.maxCachedUsers),
      history_(options_.maxUndoBytes, [this] { env_.view.historyChanged(); }) {}

Board::~Board() = default;

// --- Channel -----------------------------------------------------------------

void Board::Outlet::sendNow(std::span<const uint8_t> message, uint32_t hostLevel) {
  board_.channel_.sendNow(message, hostLevel);
}

void Board::Outlet::mirror(std::span<const uint8_t> message, bool force) {
  board_.channel_.mirror(message, force);
}

void Board::mirrorBulk(uint32_t pageId, uint32_t key, std::span<const uint8_t> data,
                       bool force) const {
  // Bulk data reaches the host only in this form, never through the queue.
  if (!force && !channel_.mirroring()) return;
  const std::vector<uint8_t> message = build(BulkData{pageId, key, data});
  if (!message.empty()) env_.host.hostMessage(kMirrorCommand, message);
}

void Board::send(std::span<const uint8_t> message, uint32_t level) {
  if (message.empty()) return;
  // Replies keep their order: once one waits in the backlog, the rest follow.
  if (dispatching_ && level != kLevelDirect &&
      (!backlog_.empty() || queue_.waiting(level) >= options_.maxQueuedReplies)) {
    backlog_.push(message, level);
    return;
  }
  queue_.send(message, level);
}

void Board::sendBacklog() {
  while (!backlog_.empty() && queue_.waiting(backlog_.nextLevel()) < options_.maxQueuedReplies) {
    const uint32_t level = backlog_.nextLevel();
    queue_.send(backlog_.pop(), level);
  }
}

// --- Lifecycle ---------------------------------------------------------------

void Board::initialize(uint32_t myUserId, uint32_t hostId) {
  myUserId_ = myUserId;
  userNames_.setOwnUser(myUserId);
  userName(myUserId);
  hostId_ = hostId;
  channel_.setPeer(hostId);
  ids_.initialise(myUserId, options_.peerToPeer ? hostId : 0);
  if (!options_.peerToPeer) {
    joinAnswerPending_ = true;
    sendMessage(StateRequest{}, kLevelDirect);
  }
}

void Board::reset() {
  transfers_.clear();
  // The board stays in its conference: it keeps its identity and goes on
  // handing out ids, so it can still draw after the reset.
  ids_.reset();
  queue_.clear();
  backlog_.clear();
  if (myUserId_ != 0 || hostId_ != 0) {
    ids_.initialise(myUserId_, options_.peerToPeer ? hostId_ : 0);
  }
  mouse_.reset();
  privileges_ = Privileges{};
  turns_.clear();
  removedHere_.clear();
  removedOrder_.clear();
  history_.clear();
  const bool firstWasCurrent = pages_.currentId() == kFirstSystemPage;
  pages_.reset();
  if (firstWasCurrent) {
    env_.view.invalidateAll(true);
  } else {
    goToPage(kFirstSystemPage, false);
  }
  channel_.setMirroring(false);
}

// --- Privileges --------------------------------------------------------------

void Board::setPrivilegeWord(uint32_t word) {
  const bool hadWrite = privileges_.write;
  privilegeWord_ = word;
  privileges_ = privilegesFromWord(word, options_.peerToPeer);
  // Steps taken with a privilege that went are not taken back with it.
  if (hadWrite && !privileges_.write) history_.clear();
}

// --- Mirroring ---------------------------------------------------------------

void Board::setMirroring(bool on) {
  if (on) {
    for (const std::vector<uint8_t>& message : contentReport()) {
      if (!message.empty() && codeOf(message[0]) == toByte(MessageCode::kBulkData)) {
        env_.host.hostMessage(kMirrorCommand, message);
      } else {
        channel_.mirror(message, true);
      }
    }
  }
  channel_.setMirroring(on);
}

std::vector<std::vector<uint8_t>> Board::contentReport() const {
  return ContentReport(pages_, backgrounds_, myUserId_).wholeBoard();
}

std::vector<std::vector<uint8_t>> Board::itemMessages(uint32_t pageId, uint32_t itemId,
                                                      BulkForm form) const {
  return ContentReport(pages_, backgrounds_, myUserId_).item(pageId, itemId, form);
}

std::vector<uint32_t> Board::pageContentIds(uint32_t pageId) const {
  return ContentReport(pages_, backgrounds_, myUserId_).ids(pageId);
}

// --- Pages -------------------------------------------------------------------

Page* Board::pageOrCurrent(uint32_t pageId) const {
  return pageId != 0 ? pages_.find(pageId) : pages_.current();
}

uint32_t Board::freshId() {
  // Every round spends an id, and only ids in use are skipped: it ends.
  for (;;) {
    const uint32_t id = ids_.allocate();
    if (id == 0 || !idInUse(id)) return id;
  }
}

bool Board::idInUse(uint32_t id) const {
  if (pages_.find(id) || transfers_.contains(id)) return true;
  return std::any_of(pages_.pages().begin(), pages_.pages().end(), [id](const auto& page) {
    return page->findEntry(id) || page->backgroundNumber() == id ||
           page->pendingBackgroundNumber() == id;
  });
}

bool Board::renameOrCreatePage(std::string_view name, uint32_t id) {
  if (id == 0) return false;
  if (Page* page = pages_.find(id)) {
    page->setName(name);
    return true;
  }
  return pages_.create(id, name) != nullptr;
}

uint32_t Board::goToPage(uint32_t id, bool send, int direction) {
  if (id == 0 && direction == 0) return pages_.currentId();
  if (direction < -1 || direction > 1) return pages_.currentId();
  if (Page* leaving = pages_.current()) leaving->releaseBackground(true);

  Page* target = nullptr;
  if (direction == -1) {
    target = pages_.previous(pages_.currentId());
  } else if (direction == 1) {
    target = pages_.next(pages_.currentId());
  } else {
    target = pages_.find(id);
    if (!target) {
      target = pages_.create(id);
      if (target) env_.view.contentsChanged(ContentsChange::PageAdded, id);
    }
  }
  if (!target) return pages_.currentId();

  pages_.setCurrent(target->id());
  if (privileges_.lead && send) sendMessage(CurrentPage{target->id()}, kLevelFirst);
  if (!options_.peerToPeer) {
    joinAnswerPending_ = false;
    sendMessage(PageShown{target->id()}, kLevelFirst);
  }
  if (target->hasBackgroundFile()) loadBackgroundPicture(*target);
  env_.view.pageInfoChanged();
  // What the view kept of the page, if it did, is as good as the page's revision says.
  env_.view.invalidateAll(false);
  return pages_.currentId();
}

uint32_t Board::addUserPage(std::string_view name) {
  if (!privileges_.pages) {
    env_.view.messageBox(kWritePrivilegeTextKey, MessageBoxKind::StopOk);
    return 0;
  }
  const uint32_t id = freshId();
  if (id == 0) return 0;
  std::string pageName(name.substr(0, std::min(name.find('\0'), name.size())));
  if (options_.peerToPeer && pageName.empty()) {
    std::string user = userName(myUserId_);
    if (user.empty() || characterCount(user) > kMaxUserNameForPage) {
      user = kUserPageName;
    } else if (env_.codec) {
      // Page names travel in the system code page.
      user = env_.codec->toSystemCodePage(user);
    }
    const long long number = std::llabs(static_cast<long long>(static_cast<int32_t>(id)));
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "-%lld", number);
    pageName = user + suffix;
  }
  // The name travels in both conference shapes, so every board shows the
  // page under the name it has here.
  sendMessage(AddPage{id, pageName}, kLevelFirst);
  addPeerPage(id, pageName);
  return id;
}

void Board::addPeerPage(uint32_t id, std::string_view name) {
  // A page that content made known first still bears the default name (a
  // joiner gets others' objects before the page list): the list names it.
  if (Page* page = pages_.find(id); page && !name.empty() && page->name() == defaultPageName(id)) {
    page->setName(name);
    env_.view.pageInfoChanged();
  }
  if (!pages_.find(id) && pages_.create(id, name)) {
    env_.view.contentsChanged(ContentsChange::PageAdded, id);
    env_.view.pageInfoChanged();
    env_.view.invalidateAll(true);
  }
}

uint32_t Board::addDocumentPage(std::string_view name) {
  const uint32_t id = freshId();
  // Made here first: a page this board cannot hold is announced to no one.
  if (id == 0 || !pages_.create(id, name)) return 0;
  sendMessage(CreateNamedPage{id, std::string(name)}, kLevelFirst);
  return id;
}

void Board::removeFromList(uint32_t id) {
  transfers_.dropPage(id);
  turns_.forget(id);
  history_.forgetPage(id);
  pages_.remove(id);
}

void Board::removePage(uint32_t id, uint32_t replacement, bool local) {
  if (local) {
    if (!privileges_.pages) {
      env_.view.messageBox(kWritePrivilegeTextKey, MessageBoxKind::StopOk);
      return;
    }
    if (isSystemPage(id)) {
      env_.view.messageBox(kRemoveSystemPageTextKey, MessageBoxKind::StopOk);
      return;
    }
    if (env_.view.messageBox(kRemovePageTextKey, MessageBoxKind::InformationYesNo) !=
        MessageBoxAnswer::Yes) {
      return;
    }
  }
  const bool wasCurrent = id == pages_.currentId();
  uint32_t neighbour = 0;
  if (pages_.find(id)) {
    env_.view.contentsChanged(ContentsChange::PageRemoved, id);
    neighbour = pages_.successorOf(id);
    if (wasCurrent && replacement == 0) replacement = neighbour;
    removeFromList(id);
  }
  // A replacement a peer names may be unknown here (removed meanwhile, or
  // added by someone whose message has not arrived); going there would create
  // it under the default name, so a current page falls back to its neighbour.
  if (!local && replacement != 0 && !pages_.find(replacement)) {
    replacement = wasCurrent ? neighbour : 0;
  }
  if (replacement != 0) goToPage(replacement, local);
  if (local && id > 7) sendMessage(RemovePage{id, replacement}, kLevelFirst);
}

void Board::removePageSet(std::string_view documentName, std::span<const uint32_t> ids,
                          bool local) {
  const uint32_t shown = goToPage(kFirstSystemPage, false);
  std::vector<uint32_t> removed;
  for (uint32_t id : ids) {
    if (id == 0) break;
    removed.push_back(id);
    removeFromList(id);
  }
  // A list that names the page just shown hands the view to the page that
  // took its place, as removing a single page does.
  if (pages_.currentId() != shown && pages_.currentId() != 0) {
    goToPage(pages_.currentId(), false);
  }
  if (local) {
    sendMessage(RemoveDocumentPages{std::string(documentName), removed}, kLevelFirst);
  }
}

bool Board::renamePage(uint32_t id, std::string_view name) {
  if (!renameOrCreatePage(name, id)) return false;
  sendMessage(RenamePageAndRefresh{id, pages_.find(id)->name()}, kLevelFirst);
  env_.view.pageInfoChanged();
  return true;
}

void Board::askPageContents() {
  joinAnswerPending_ = false;
  sendMessage(PageShown{pages_.currentId()}, kLevelFirst);
}

void Board::releaseMouse() {
  if (const uint32_t id = mouse_.release()) goToPage(id, false);
}

bool Board::sendScrollPosition(ScrollBar bar, int32_t position) {
  if (!privileges_.lead) return false;
  sendMessage(Scroll{static_cast<uint8_t>(bar == ScrollBar::Vertical ? 1 : 0),
                     static_cast<uint16_t>(position)},
              kLevelFirst);
  return true;
}

void Board::paint(Canvas& canvas, const Rect& area, const std::optional<Rect>& dirty) const {
  const Page* page = pages_.current();
  paintPage(page, page ? pageTemplate(*page) : nullptr, canvas, area, dirty);
}

const BackgroundPicture* Board::pageTemplate(const Page& page) const {
  return backgrounds_.templatePicture(page.templateName());
}

}  // namespace scribly
