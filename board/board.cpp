#include "board/board.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "collab/message_codec.h"
#include "base/user_names.h"

namespace scribly {
namespace {

constexpr std::string_view kUserPageName = "User Page";
// A user name longer than this does not name pages.
constexpr size_t kMaxUserNameForPage = 40;

bool sameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string backgroundFolderForModule(const std::string& modulePath) {
  const size_t file = modulePath.rfind('\\');
  if (file == std::string::npos || file == 0) return {};
  const size_t folder = modulePath.rfind('\\', file - 1);
  if (folder == std::string::npos) return {};
  return modulePath.substr(0, folder) + "\\BKDoc\\";
}

uint32_t backgroundFormatCode(std::string_view extension) {
  if (sameNoCase(extension, ".bmp")) return 1;
  if (sameNoCase(extension, ".jpeg")) return 2;
  if (sameNoCase(extension, ".jpg")) return 3;
  if (sameNoCase(extension, ".gif")) return 4;
  return 0;
}

std::string_view backgroundExtensionFor(uint32_t formatCode) {
  switch (formatCode) {
    case 2:
      return ".jpeg";
    case 3:
      return ".jpg";
    case 4:
      return ".gif";
    default:
      return ".bmp";
  }
}

namespace {
constexpr float kScaleFactors[] = {0.5f, 0.65f, 0.75f, 0.85f, 1.0f, 1.25f, 1.5f, 2.0f, -1.0f, -2.0f};
}

float scaleFactorOf(uint32_t code) {
  if (code >= 1 && code <= 10) return kScaleFactors[code - 1];
  return 1.0f;
}

uint32_t scaleCodeOf(float factor) {
  for (uint32_t i = 0; i < 10; ++i) {
    if (kScaleFactors[i] == factor) return i + 1;
  }
  return 0;
}

Board::Board(const BoardEnvironment& env, BoardOptions options)
    : env_(env),
      options_(std::move(options)),
      channel_(env.host, options_.peerToPeer),
      outlet_(*this),
      queue_(outlet_),
      ids_(queue_),
      transfers_(options_.transferLimits),
      factory_(env.measurer) {
  createSystemPages();
}

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
  if (dispatching_ && level != kLevelDirect &&
      queue_.waiting(level) >= options_.maxQueuedReplies) {
    return;
  }
  queue_.Send(message, level);
}


// --- Lifecycle ---------------------------------------------------------------

void Board::createSystemPages() {
  for (uint32_t id = kFirstSystemPage; id <= kLastSystemPage; ++id) createPage(id);
}

void Board::initialize(uint32_t myUserId, uint32_t hostId) {
  myUserId_ = myUserId;
  userName(myUserId);
  hostId_ = hostId;
  channel_.setPeer(hostId);
  ids_.initialise(myUserId, options_.peerToPeer ? hostId : 0);
  if (!options_.peerToPeer) sendMessage(StateRequest{}, kLevelDirect);
}

void Board::Reset() {
  transfers_.clear();
  // The board stays in its conference: it keeps its identity and goes on
  // handing out ids, so it can still draw after the reset.
  ids_.reset();
  queue_.Clear();
  if (myUserId_ != 0 || hostId_ != 0) {
    ids_.initialise(myUserId_, options_.peerToPeer ? hostId_ : 0);
  }
  mouseDown_ = false;
  privileges_ = Privileges{};
  deferredPageId_ = 0;
  forgetActiveObject();
  cachedCurrent_ = nullptr;
  pages_.clear();
  pendingTurns_.clear();
  pendingTurnBytes_ = 0;
  removedHere_.clear();
  removedOrder_.clear();
  createSystemPages();
  if (currentPageId_ == kFirstSystemPage) {
    env_.view.invalidateAll(true);
  } else {
    goToPage(kFirstSystemPage, false);
  }
  cachedCurrent_ = nullptr;
  channel_.setMirroring(false);
}

// --- Privileges --------------------------------------------------------------

void Board::setPrivilegeWord(uint32_t word) {
  privilegeWord_ = word;
  privileges_ = privilegesFromWord(word, options_.peerToPeer);
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

// --- Pages -------------------------------------------------------------------

Page* Board::findPage(uint32_t id) const {
  for (const auto& page : pages_) {
    if (page->id() == id) return page.get();
  }
  return nullptr;
}

Page* Board::currentPage() const {
  if (currentPageId_ == 0) return nullptr;
  if (cachedCurrent_ && cachedCurrent_->id() == currentPageId_) return cachedCurrent_;
  cachedCurrent_ = findPage(currentPageId_);
  return cachedCurrent_;
}

Page* Board::createPage(uint32_t id, std::string_view name) {
  if (pages_.size() >= options_.maxPages || findPage(id)) return nullptr;
  auto page = std::make_unique<Page>(id, name);
  const auto& names = options_.templateNames;
  if (std::find(names.begin(), names.end(), kDefaultTemplateName) != names.end()) {
    page->setTemplateName(kDefaultTemplateName);
  }
  pages_.push_back(std::move(page));
  return pages_.back().get();
}

bool Board::ensurePage(uint32_t id, std::string_view name) {
  return findPage(id) || createPage(id, name);
}

bool Board::renameOrCreatePage(std::string_view name, uint32_t id) {
  if (id == 0) return false;
  if (Page* page = findPage(id)) {
    page->setName(name);
    return true;
  }
  return createPage(id, name) != nullptr;
}

Page* Board::nextPage(uint32_t id) const {
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i]->id() == id) return pages_[(i + 1) % pages_.size()].get();
  }
  return nullptr;
}

Page* Board::previousPage(uint32_t id) const {
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i]->id() == id) return pages_[(i + pages_.size() - 1) % pages_.size()].get();
  }
  return nullptr;
}

uint32_t Board::goToPage(uint32_t id, bool send, int direction) {
  if (id == 0 && direction == 0) return currentPageId_;
  if (direction < -1 || direction > 1) return currentPageId_;
  forgetActiveObject();
  if (Page* leaving = currentPage()) leaving->releaseBackground(true);

  Page* target = nullptr;
  if (direction == -1) {
    target = previousPage(currentPageId_);
  } else if (direction == 1) {
    target = nextPage(currentPageId_);
  } else {
    target = findPage(id);
    if (!target) {
      target = createPage(id);
      if (target) env_.view.contentsChanged(ContentsChange::PageAdded, id);
    }
  }
  if (!target) return currentPageId_;

  currentPageId_ = target->id();
  cachedCurrent_ = target;
  if (privileges_.lead && send) sendMessage(CurrentPage{currentPageId_}, kLevelFirst);
  if (!options_.peerToPeer) sendMessage(PageShown{currentPageId_}, kLevelFirst);
  if (target->hasBackgroundFile()) loadBackgroundPicture(*target);
  env_.view.pageInfoChanged();
  env_.view.invalidateAll(true);
  return currentPageId_;
}

uint32_t Board::addUserPage(uint32_t id, std::string_view name) {
  std::string pageName(name.substr(0, std::min(name.find('\0'), name.size())));
  if (id == 0) {
    if (!privileges_.pages) {
      env_.view.messageBox(kWritePrivilegeTextKey, MessageBoxKind::StopOk);
      return 0;
    }
    id = ids_.allocate();
    if (id == 0) return 0;
    if (options_.peerToPeer && pageName.empty()) {
      std::string user = userName(myUserId_);
      if (user.empty() || user.size() > kMaxUserNameForPage) user = kUserPageName;
      const long long number = std::llabs(static_cast<long long>(static_cast<int32_t>(id)));
      char suffix[24];
      std::snprintf(suffix, sizeof suffix, "-%lld", number);
      pageName = user + suffix;
    }
    // The name travels in both conference shapes, so every board shows the
    // page under the name it has here.
    sendMessage(AddPage{id, pageName}, kLevelFirst);
  }
  if (!findPage(id) && createPage(id, pageName)) {
    env_.view.contentsChanged(ContentsChange::PageAdded, id);
    env_.view.pageInfoChanged();
    env_.view.invalidateAll(true);
  }
  return id;
}

uint32_t Board::addDocumentPage(std::string_view name) {
  const uint32_t id = ids_.allocate();
  if (id == 0) return 0;
  sendMessage(CreateNamedPage{id, std::string(name)}, kLevelFirst);
  if (!createPage(id, name)) return 0;
  return id;
}

void Board::removePageAt(size_t index) {
  const uint32_t id = pages_[index]->id();
  if (activeObjectId_ != 0 && id == currentPageId_) forgetActiveObject();
  transfers_.dropPage(id);
  forgetPendingTurns(id);
  pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(index));
  cachedCurrent_ = nullptr;
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
    if (env_.view.messageBox(kRemovePageTextKey, MessageBoxKind::QuestionYesNo) !=
        MessageBoxAnswer::Yes) {
      return;
    }
  }
  const bool wasCurrent = id == currentPageId_;
  uint32_t neighbour = 0;
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i]->id() != id) continue;
    env_.view.contentsChanged(ContentsChange::PageRemoved, id);
    if (i + 1 < pages_.size()) {
      neighbour = pages_[i + 1]->id();
    } else if (i > 0) {
      neighbour = pages_[i - 1]->id();
    }
    if (wasCurrent && replacement == 0) replacement = neighbour;
    removePageAt(i);
    break;
  }
  // A replacement a peer names may be unknown here (removed meanwhile, or
  // added by someone whose message has not arrived); going there would create
  // it under the default name, so a current page falls back to its neighbour.
  if (!local && replacement != 0 && !findPage(replacement)) {
    replacement = wasCurrent ? neighbour : 0;
  }
  if (replacement != 0) goToPage(replacement, local);
  if (local && id > 7) sendMessage(RemovePage{id, replacement}, kLevelFirst);
}

void Board::removePageSet(std::string_view documentName, std::span<const uint32_t> ids,
                          bool local) {
  goToPage(kFirstSystemPage, false);
  std::vector<uint32_t> removed;
  for (uint32_t id : ids) {
    if (id == 0) break;
    removed.push_back(id);
    for (size_t i = 0; i < pages_.size(); ++i) {
      if (pages_[i]->id() == id) {
        removePageAt(i);
        break;
      }
    }
  }
  if (local) {
    sendMessage(RemoveDocumentPages{std::string(documentName), removed}, kLevelFirst);
  }
}

bool Board::renamePage(uint32_t id, std::string_view name) {
  if (!renameOrCreatePage(name, id)) return false;
  sendMessage(RenamePageAndRefresh{id, findPage(id)->name()}, kLevelFirst);
  env_.view.pageInfoChanged();
  return true;
}

void Board::releaseMouse() {
  mouseDown_ = false;
  if (deferredPageId_ != 0) {
    const uint32_t id = deferredPageId_;
    deferredPageId_ = 0;
    goToPage(id, false);
  }
}

void Board::forgetActiveObject(uint32_t objectId) {
  if (objectId == 0 || objectId == activeObjectId_) activeObjectId_ = 0;
}

int32_t Board::scrollOffset(ScrollBar bar) const {
  return bar == ScrollBar::Horizontal ? scrollOffsetX_ : scrollOffsetY_;
}

// --- User names --------------------------------------------------------------

std::string Board::userName(uint32_t userId) {
  if (auto it = userNames_.find(userId); it != userNames_.end()) return it->second;
  std::string info = env_.hostInfo.userInfo(userId);
  // The host writes at most its buffer's worth.
  if (info.size() > kUserInfoBufferBytes) info.resize(kUserInfoBufferBytes);
  std::string name = userNameFromInfo(info);
  // No name (no answer, or none in it) is asked for again next time.
  if (name.empty()) return name;
  // Peers name any user id they like; the cache must not grow with them.
  if (userNames_.size() >= options_.maxCachedUsers) {
    auto victim = userNames_.begin();
    if (victim->first == myUserId_ && userNames_.size() > 1) ++victim;
    userNames_.erase(victim);
  }
  userNames_.emplace(userId, name);
  return name;
}

}  // namespace scribly
