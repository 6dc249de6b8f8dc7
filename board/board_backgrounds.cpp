// The board's side of backgrounds: pictures and templates set here or
// received, their scale, and the room pictures may take.
#include <utility>

#include "base/bmp_file.h"
#include "board/board.h"

namespace scribly {

size_t Board::heldPictureBytes() const { return pages_.heldBytes(); }

size_t Board::pictureRoom() const {
  const size_t held = heldPictureBytes();
  return held < options_.maxPictureBytes ? options_.maxPictureBytes - held : 0;
}

void Board::loadBackgroundPicture(Page& page) {
  if (!backgrounds_.load(page, pictureRoom())) return;
  if (page.id() == pages_.currentId()) scaleBackground(page, backgrounds_.factor(), true);
}

bool Board::installReceivedBackground(Page& page, uint32_t number, std::vector<uint8_t> envelope) {
  const bool keep = options_.keepBackgroundEnvelopes;
  if (keep && envelope.size() > pictureRoom()) return false;
  auto received = backgrounds_.writeReceived(page.id(), number, envelope);
  if (!received) return false;
  page.installBackground(number, received->extension,
                         keep ? std::move(envelope) : std::vector<uint8_t>{},
                         std::move(received->file));
  if (page.id() == pages_.currentId()) {
    loadBackgroundPicture(page);
    env_.view.invalidateAll(true);
  }
  env_.view.contentsChanged(ContentsChange::BackgroundReady, page.id());
  return true;
}

bool Board::mayChangeBackground() {
  if (privileges_.pages) return true;
  env_.view.messageBox(kSetBackgroundPrivilegeTextKey, MessageBoxKind::StopOk);
  return false;
}

bool Board::setBackgroundFile(const std::string& path, uint32_t pageId) {
  if (!mayChangeBackground()) return false;
  Page* page = pageOrCurrent(pageId);
  return page && installBackgroundFile(path, *page, false);
}

bool Board::setDocumentBackground(const std::string& path, uint32_t pageId) {
  Page* page = pageOrCurrent(pageId);
  return page && installBackgroundFile(path, *page, true);
}

void Board::withdrawBackground(Page& page) {
  sendMessage(DeleteObject{page.id(), page.backgroundNumber()}, kLevelFirst);
  rememberRemoved(page.backgroundNumber());
  page.dropBackgroundFile();
}

bool Board::installBackgroundFile(const std::string& path, Page& page, bool move) {
  if (!privileges_.write) return false;
  const uint32_t number = freshId();
  if (number == 0) return false;
  auto imported = backgrounds_.importFile(path, number, move);
  if (!imported) return false;
  // A shared document's page picture is no background a person chose.
  const bool record = !move && recording();
  UndoStep step;
  if (record) {
    step.kind = UndoStep::Kind::Background;
    step.backgroundBefore = backgroundState(page);
    step.backgroundAfter = {imported->envelope, page.templateName()};
  }
  // The old background goes only once the new one is ready: a file that
  // cannot be read must not leave the page without any.
  publishBackground(page, number, imported->extension, std::move(imported->envelope),
                    std::move(imported->file), !move);
  if (record) history_.record(page.id(), std::move(step));
  return true;
}

void Board::publishBackground(Page& page, uint32_t number, std::string_view extension,
                              std::vector<uint8_t> envelope, std::unique_ptr<BackgroundFile> file,
                              bool withdrawOld) {
  if (withdrawOld && page.hasBackgroundFile()) withdrawBackground(page);
  sendMessage(BackgroundAnnounce{page.id(), number}, kLevelFirst);
  mirrorBulk(page.id(), number, envelope, false);
  sendTransfer(number, page.id(), envelope);

  page.announceBackground(number);
  page.installBackground(
      number, extension,
      options_.keepBackgroundEnvelopes ? std::move(envelope) : std::vector<uint8_t>{},
      std::move(file));
  if (page.id() == pages_.currentId()) {
    loadBackgroundPicture(page);
    env_.view.invalidateAll(true);
  }
  env_.view.contentsChanged(ContentsChange::BackgroundReady, page.id());
}

bool Board::setTemplateBackground(std::string_view name) {
  if (!mayChangeBackground()) return false;
  Page* page = pages_.current();
  if (!page || !privileges_.write) return false;
  UndoStep step;
  const bool record = recording();
  if (record) {
    step.kind = UndoStep::Kind::Background;
    step.backgroundBefore = backgroundState(*page);
  }
  changeTemplate(*page, name);
  if (record) {
    step.backgroundAfter.templateName = std::string(name);
    history_.record(page->id(), std::move(step));
  }
  return true;
}

void Board::changeTemplate(Page& page, std::string_view name) {
  page.setTemplateName(backgrounds_.isTemplate(name) ? name : std::string_view{});
  if (page.hasBackgroundFile()) withdrawBackground(page);
  sendMessage(SetBackgroundByName{page.id(), std::string(name)}, kLevelFirst);
  invalidateIfCurrent(page);
}

bool Board::applyTemplateBackground(std::string_view name, uint32_t pageId) {
  Page* page = pages_.find(pageId);
  if (!page) {
    page = pages_.create(pageId);
    if (!page) return false;
    env_.view.contentsChanged(ContentsChange::PageAdded, pageId);
  }
  page->setTemplateName(backgrounds_.isTemplate(name) ? name : std::string_view{});
  if (page->hasBackgroundFile()) page->dropBackgroundFile();
  history_.peerChangedBackground(pageId);
  env_.view.invalidateAll(true);
  return true;
}

void Board::applyScale(float factor) {
  if (Page* page = pages_.current()) scaleBackground(*page, factor, true);
}

void Board::scaleBackground(Page& page, float factor, bool local) {
  const BackgroundPicture* picture = page.backgroundPicture();
  if (!page.hasBackgroundFile() || !picture) return;
  // Fit modes are worked out anew every time, as the view may have changed.
  const bool fit = factor < 0.0f;
  if (!fit && factor == page.scale()) return;
  const Size client = env_.view.clientSize().value_or(Size{});
  const bool announce = local && (!fit || fitStretches(factor, picture->size(), client));
  if (announce) sendMessage(BackgroundScale{page.id(), scaleCodeOf(factor)}, kLevelFirst);
  backgrounds_.setFactor(factor);
  setPageScale(page, factor);
  invalidateIfCurrent(page);
}

void Board::setPageScale(Page& page, float factor) {
  const BackgroundPicture* picture = page.backgroundPicture();
  if (!picture) return;
  const Size client = env_.view.clientSize().value_or(Size{});
  page.setScale(factor);
  // Scaled once when next shown and kept, so painting only copies it. A copy
  // too large to hold, or past the board's room, leaves the picture at its
  // own size.
  page.setScaledSize(Size{});
  const Size size = scaledPictureSize(factor, picture->size(), client);
  const bool fits = BackgroundPicture::resizable(size) &&
                    pictureBytes(static_cast<uint32_t>(size.width),
                                 static_cast<uint32_t>(size.height)) <= pictureRoom();
  page.setScaledSize(fits ? size : Size{});
}

void Board::withPageShown(const Page& shown, const std::function<void(const Page&)>& use) {
  Page* page = pages_.find(shown.id());
  if (!page) return;
  const bool borrowed =
      page->id() != pages_.currentId() && page->hasBackgroundFile() && !page->backgroundPicture();
  if (borrowed && backgrounds_.load(*page, pictureRoom()))
    setPageScale(*page, backgrounds_.factor());
  use(*page);
  if (borrowed) page->releaseBackground(true);
}

}  // namespace scribly
