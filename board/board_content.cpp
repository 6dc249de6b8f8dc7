// Local content changes and what carries content between boards: object
// creation, changes and bulk data, and backgrounds.
#include <algorithm>
#include <utility>

#include "board/board.h"
#include "collab/message_codec.h"
#include "objects/hand_symbol_object.h"
#include "objects/image_object.h"
#include "objects/pixel_ops.h"

namespace scribly {
namespace {

std::vector<uint8_t> fontBytes(const FontRecord& font) {
  ByteWriter out(FontRecord::kSize);
  font.write(out);
  return out.take();
}

}  // namespace

void Board::invalidateIfCurrent(const Page& page) {
  if (page.id() == pages_.currentId()) env_.view.invalidateAll(true);
}

void Board::invalidateObject(const Page& page, const BoardObject& object) {
  page.touch();
  if (page.id() == pages_.currentId()) {
    object.invalidate(env_.view, scrollOffset(ScrollBar::Horizontal),
                      scrollOffset(ScrollBar::Vertical), true);
  }
}

// --- Objects -----------------------------------------------------------------

uint32_t Board::commitObject(std::unique_ptr<BoardObject> object, uint32_t pageId) {
  return placeObject(std::move(object), pageOrCurrent(pageId), {});
}

uint32_t Board::placeObject(std::unique_ptr<BoardObject> object, Page* page,
                            std::vector<uint8_t> bulk) {
  if (!object) return 0;
  if (!page || page->objectCount() >= options_.maxObjectsPerPage) return 0;
  if (!object->hasBulkData()) bulk.clear();
  if (object->hasBulkData() && bulk.empty()) {
    bulk = saveBulkRecord(*object);
    if (bulk.empty()) return 0;
  }
  // Peers decode lossy pixels; this board shows the same ones (a kept
  // record may have been made from pixels turned since they were decoded).
  if (object->kind() == ObjectKind::Image) static_cast<ImageObject&>(*object).reloadPixels(bulk);
  // A picture the board has no room for is not sent either: peers alike
  // would hold nothing of it.
  if (bulk.size() + pixelBytesOf(*object) > pictureRoom()) return 0;
  const uint32_t id = freshId();
  if (id == 0) return 0;
  const std::vector<uint8_t> record = saveRecord(*object);
  const uint8_t kind = static_cast<uint8_t>(object->kind());
  const std::vector<uint8_t> creation = build(CreateObject{kind, page->id(), id, record});
  // An object its peers could never receive is not kept here either.
  if (creation.empty()) return 0;
  const BoardObject* added = object.get();
  if (!page->addObject(id, std::move(object))) return 0;
  send(creation, kLevelFirst);
  if (!bulk.empty()) {
    mirrorBulk(page->id(), id, bulk, false);
    sendTransfer(id, page->id(), bulk);
    page->keepBulk(*page->findEntry(id), std::move(bulk));
  }
  invalidateObject(*page, *added);
  if (recording()) {
    UndoStep step;
    step.items.push_back({id, nullptr, {}});
    history_.record(page->id(), std::move(step));
  }
  return id;
}

bool Board::deleteObject(uint32_t pageId, uint32_t objectId) {
  Page* page = pageOrCurrent(pageId);
  if (!page) return false;
  UndoStep step;
  step.items.resize(1);
  if (!takeObject(*page, objectId, step.items[0])) return false;
  if (recording()) {
    step.present = false;
    history_.record(page->id(), std::move(step));
  }
  return true;
}

bool Board::takeObject(Page& page, uint32_t objectId, UndoStep::Item& item) {
  const BoardObject* object = page.findObject(objectId);
  if (!object) return false;
  invalidateObject(page, *object);
  turns_.forget(page.id(), objectId);
  item.id = objectId;
  item.bulk = object->hasBulkData() ? page.bulkOf(objectId) : std::vector<uint8_t>{};
  item.object = page.removeObject(objectId);
  rememberRemoved(objectId);
  sendMessage(DeleteObject{page.id(), objectId}, kLevelFirst);
  return true;
}

bool Board::changeObject(uint32_t pageId, uint32_t objectId, const ObjectChange& change) {
  Page* page = pageOrCurrent(pageId);
  if (!page) return false;
  const uint32_t p = page->id();
  const uint8_t code = toByte(change.code);
  std::vector<uint8_t> message;
  switch (change.code) {
    case MessageCode::kSetWidth:
      message = build(SetObjectWidth{p, objectId, static_cast<uint8_t>(change.value)});
      break;
    case MessageCode::kSetPoints:
      message = build(SetObjectPoints{p, objectId, change.value, change.second});
      break;
    case MessageCode::kSetFont: {
      SetObjectFont m{p, objectId, {}};
      const std::vector<uint8_t> bytes = fontBytes(change.font);
      std::copy_n(bytes.begin(), std::min(bytes.size(), m.font.size()), m.font.begin());
      message = build(m);
      break;
    }
    case MessageCode::kSetStyle:
      message = build(SetObjectStyle{p, objectId, static_cast<int8_t>(change.value)});
      break;
    default:
      if (!SetObjectValue::isCode(code)) return false;
      message = build(SetObjectValue{code, p, objectId, change.value});
      break;
  }
  std::optional<ObjectChange> before;
  if (recording()) {
    if (const BoardObject* object = page->findObject(objectId))
      before = inverseChange(*object, change);
  }
  if (message.empty() || !applyObjectChange(message)) return false;
  send(message, kLevelFirst);
  if (before) {
    UndoStep step;
    step.kind = UndoStep::Kind::Change;
    step.object = objectId;
    step.before = *before;
    step.after = change;
    history_.record(p, std::move(step));
  }
  return true;
}

bool Board::receiveObject(uint8_t code, uint32_t pageId, uint32_t objectId,
                          std::span<const uint8_t> record) {
  Page* page = pages_.find(pageId);
  if (!page || page->findEntry(objectId) || page->objectCount() >= options_.maxObjectsPerPage) {
    return false;
  }
  std::unique_ptr<BoardObject> object = factory_.createFromRecord(code, record);
  if (!object) return false;
  if (object->kind() == ObjectKind::HandSymbol) {
    auto& hand = static_cast<HandSymbolObject&>(*object);
    hand.setLabel(userName(hand.userId()));
  }
  const BoardObject* added = object.get();
  if (!page->addObject(objectId, std::move(object))) return false;
  invalidateObject(*page, *added);
  return true;
}

namespace {

// A property change parsed, so that a malformed message changes nothing.
struct ParsedChange {
  uint8_t code = 0;
  std::optional<SetObjectValue> value;
  std::optional<SetObjectWidth> width;
  std::optional<SetObjectPoints> points;
  std::optional<SetObjectFont> font;
  std::optional<SetObjectStyle> style;
};

std::optional<ParsedChange> parseChange(uint8_t code, std::span<const uint8_t> message) {
  ParsedChange c;
  c.code = code;
  switch (static_cast<MessageCode>(code)) {
    case MessageCode::kSetWidth:
      if (!(c.width = parse<SetObjectWidth>(message))) return std::nullopt;
      break;
    case MessageCode::kSetPoints:
      if (!(c.points = parse<SetObjectPoints>(message))) return std::nullopt;
      break;
    case MessageCode::kSetFont:
      if (!(c.font = parse<SetObjectFont>(message))) return std::nullopt;
      break;
    case MessageCode::kSetStyle:
      if (!(c.style = parse<SetObjectStyle>(message))) return std::nullopt;
      // Only the five pen styles exist; anything else would reach the pen.
      if (c.style->style < 0 || c.style->style > static_cast<int8_t>(kPenDashDotDot)) {
        return std::nullopt;
      }
      break;
    default:
      if (!(c.value = parse<SetObjectValue>(message))) return std::nullopt;
      break;
  }
  return c;
}

bool applyChange(BoardObject& object, const ParsedChange& c) {
  switch (static_cast<MessageCode>(c.code)) {
    case MessageCode::kSetColor:
      return object.setColour(c.value->value);
    case MessageCode::kSetFill:
      return object.setFill(c.value->value);
    case MessageCode::kSetWidth:
      return object.setPenWidth(c.width->width);
    case MessageCode::kMoveTo:
      object.moveTo(PackedPoint{c.value->value});
      return true;
    case MessageCode::kSetPoints:
      object.setPoints(PackedPoint{c.points->first}, PackedPoint{c.points->second});
      return true;
    case MessageCode::kSetFont: {
      ByteReader in(c.font->font);
      const FontRecord record = FontRecord::read(in);
      return in.ok() && object.setFont(record);
    }
    case MessageCode::kSetStyle:
      return object.setPenStyle(static_cast<uint32_t>(c.style->style));
    case MessageCode::kSetOrientation:
      return object.setOrientation(static_cast<int32_t>(c.value->value));
    case MessageCode::kSetAdjustmentA:
      return object.setAdjustmentA(static_cast<int32_t>(c.value->value));
    case MessageCode::kSetBrightness:
      return object.setBrightness(static_cast<int32_t>(c.value->value));
    case MessageCode::kSetContrast:
      return object.setContrast(static_cast<int32_t>(c.value->value));
    default:
      return false;
  }
}

constexpr uint8_t kTurnCode = toByte(MessageCode::kSetOrientation);

bool turnsPixels(int32_t orientation) {
  return orientation >= static_cast<int32_t>(Orientation::MirrorLeftRight) &&
         orientation <= static_cast<int32_t>(Orientation::TurnRight);
}

}  // namespace

bool Board::applyObjectChange(std::span<const uint8_t> message) {
  const auto header = readHeader(message);
  const auto pageId = readPage(message);
  const auto objectId = readObjectId(message);
  if (!header || !pageId || !objectId) return false;
  const uint8_t code = header->code;
  if (code > toByte(MessageCode::kSetContrast)) return false;
  Page* page = pages_.find(*pageId);
  if (!page) return false;
  PageObject* entry = page->findEntry(*objectId);
  if (!entry) {
    // A withdrawn background file: its transfer will never end.
    if (code == toByte(MessageCode::kDeleteObject) && transfers_.pageOf(*objectId) == page->id()) {
      transfers_.drop(*objectId);
    }
    return false;
  }
  BoardObject* object = entry->object.get();

  if (code == toByte(MessageCode::kDeleteObject)) {
    if (!parse<DeleteObject>(message)) return false;
    invalidateObject(*page, *object);
    turns_.forget(page->id(), *objectId);
    page->removeObject(*objectId);
    if (transfers_.pageOf(*objectId) == page->id()) transfers_.drop(*objectId);
    if (dispatching_) history_.peerDeleted(page->id(), *objectId);
    return true;
  }

  const std::optional<ParsedChange> change = parseChange(code, message);
  if (!change) return false;
  turns_.keep(page->id(), *entry,
              code == kTurnCode && turnsPixels(static_cast<int32_t>(change->value->value)),
              message);
  invalidateObject(*page, *object);
  const bool changed = applyChange(*object, *change);
  if (changed) {
    if (code == kTurnCode) page->turnedPixels(*entry);
    invalidateObject(*page, *object);
    if (dispatching_) history_.peerChanged(page->id(), *objectId, static_cast<MessageCode>(code));
    if (dispatching_ && changeListener_) {
      changeListener_->peerChangedObject(page->id(), *objectId, static_cast<MessageCode>(code));
    }
  }
  return changed;
}

void Board::rememberRemoved(uint32_t id) {
  if (id == 0 || options_.maxRememberedRemovals == 0 || !removedHere_.insert(id).second) return;
  removedOrder_.push_back(id);
  if (removedOrder_.size() > options_.maxRememberedRemovals) {
    removedHere_.erase(removedOrder_.front());
    removedOrder_.pop_front();
  }
}

bool Board::clearPage(uint32_t pageId) {
  if (!privileges_.write) return false;
  Page* page = pageOrCurrent(pageId);
  if (!page) return false;
  UndoStep step;
  step.present = false;
  for (const PageObject& entry : page->objects()) {
    rememberRemoved(entry.id);
    step.items.push_back({entry.id, nullptr, {}});
  }
  // The objects go into the step rather than away, in drawing order.
  if (recording()) {
    for (UndoStep::Item& item : step.items) {
      if (page->findObject(item.id)->hasBulkData()) item.bulk = page->bulkOf(item.id);
      item.object = page->removeObject(item.id);
    }
  }
  clearPageContent(*page);
  const uint32_t id = page->id();
  if (page->hasBackgroundFile() && page->backgroundNumber() != 0) {
    sendMessage(ClearPageWithBackground{id, page->backgroundNumber()}, kLevelFirst);
  } else {
    sendMessage(ClearPage{id}, kLevelFirst);
  }
  std::erase_if(step.items, [](const UndoStep::Item& item) { return !item.object; });
  if (!step.items.empty()) history_.record(id, std::move(step));
  return true;
}

void Board::clearPageContent(Page& page) {
  turns_.forget(page.id());
  page.clearObjects();
  // A clear keeps the background, so a background on its way keeps coming.
  transfers_.dropPage(page.id(), page.pendingBackgroundNumber());
  invalidateIfCurrent(page);
}

// --- Transfers ---------------------------------------------------------------

void Board::sendTransfer(uint32_t key, uint32_t pageId, std::span<const uint8_t> data) {
  std::vector<std::vector<uint8_t>> messages;
  appendTransfer(key, myUserId_, pageId, data, messages);
  for (const std::vector<uint8_t>& m : messages) send(m, kLevelSecond);
}

bool Board::acceptBulk(uint32_t pageId, uint32_t key, std::vector<uint8_t> data) {
  Page* page = pages_.find(pageId);
  if (!page || key == 0) return false;
  if (key == page->pendingBackgroundNumber()) {
    return installReceivedBackground(*page, key, std::move(data));
  }
  PageObject* entry = page->findEntry(key);
  if (!entry || !entry->object->hasBulkData()) return false;
  std::optional<PictureTurnReplay::Pending> turns = turns_.take(page->id(), key);
  BoardObject& object = *entry->object;
  if (turns) invalidateObject(*page, object);
  // The pixels go under the record they were taken with, and the changes
  // since the first turn follow them, as on the sender.
  if (turns) object.load(turns->record);
  // The record is kept beside the pixels: both count against the room.
  const size_t room = pictureRoom();
  bool loaded = false;
  if (data.size() <= room) {
    loaded = object.kind() == ObjectKind::Image
                 ? static_cast<ImageObject&>(object).loadBulkWithin(data, room - data.size())
                 : object.loadBulkData(data);
  }
  if (loaded) page->keepBulk(*entry, std::move(data));
  if (turns) {
    for (const std::vector<uint8_t>& message : turns->changes) {
      const uint8_t code = codeOf(message[0]);
      const std::optional<ParsedChange> change = parseChange(code, message);
      if (!change || !applyChange(object, *change)) continue;
      if (code == kTurnCode) page->turnedPixels(*entry);
    }
    // Still without pixels: keep waiting for a later copy of them.
    if (!loaded) turns_.putBack(key, std::move(*turns));
  }
  invalidateObject(*page, object);
  return loaded;
}

// --- Backgrounds -------------------------------------------------------------

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

// --- Undo --------------------------------------------------------------------

BackgroundState Board::backgroundState(const Page& page) const {
  BackgroundState state{{}, page.templateName()};
  // A background still on its way cannot be given back: the step then
  // brings back the template.
  if (page.hasBackgroundFile() && page.backgroundNumber() != 0 &&
      page.pendingBackgroundNumber() == 0) {
    state.envelope = backgrounds_.envelopeOf(page);
  }
  return state;
}

bool Board::undo() { return stepHistory(true); }
bool Board::redo() { return stepHistory(false); }

bool Board::canUndo() const { return privileges_.write && history_.canUndo(pages_.currentId()); }

bool Board::canRedo() const { return privileges_.write && history_.canRedo(pages_.currentId()); }

bool Board::stepHistory(bool back) {
  Page* page = pages_.current();
  if (!page || !privileges_.write) return false;
  const uint32_t id = page->id();
  const bool wasReplaying = std::exchange(replaying_, true);
  bool applied = false;
  // A step of which nothing applies any more is skipped for the next one.
  while (!applied) {
    std::optional<UndoStep> step = back ? history_.takeUndo(id) : history_.takeRedo(id);
    if (!step) break;
    applied = applyStep(*page, *step, back);
    if (!applied) continue;
    if (back) {
      history_.undone(id, std::move(*step));
    } else {
      history_.redone(id, std::move(*step));
    }
  }
  replaying_ = wasReplaying;
  return applied;
}

bool Board::applyStep(Page& page, UndoStep& step, bool back) {
  switch (step.kind) {
    case UndoStep::Kind::Objects:
      return applyObjectsStep(page, step);
    case UndoStep::Kind::Change:
      if (!page.findObject(step.object)) return false;
      // A value the object has already counts as applied: nothing is sent.
      changeObject(page.id(), step.object, back ? step.before : step.after);
      return true;
    case UndoStep::Kind::Background:
      if (!privileges_.pages) return false;
      return applyBackground(page, back ? step.backgroundBefore : step.backgroundAfter);
  }
  return false;
}

bool Board::applyObjectsStep(Page& page, UndoStep& step) {
  if (step.present) {
    for (UndoStep::Item& item : step.items) takeObject(page, item.id, item);
  } else {
    // Back under new ids: a peer's message still on its way under the old
    // id must not reach the object on one board and miss it on another.
    for (UndoStep::Item& item : step.items) {
      const uint32_t id = placeObject(std::move(item.object), &page, std::move(item.bulk));
      item.bulk.clear();
      if (id != 0) history_.renameObject(page.id(), item.id, id);
      item.id = id;
    }
  }
  std::erase_if(step.items, [&step](const UndoStep::Item& item) {
    return step.present ? !item.object : item.id == 0;
  });
  step.present = !step.present;
  return !step.items.empty();
}

bool Board::applyBackground(Page& page, const BackgroundState& state) {
  // The template first, as a person would choose it before the file: the
  // file leaves the template as it is.
  if (state.envelope.empty() || state.templateName != page.templateName()) {
    changeTemplate(page, state.templateName);
  }
  if (state.envelope.empty()) return true;
  const uint32_t number = freshId();
  if (number == 0) return false;
  auto written = backgrounds_.writeReceived(page.id(), number, state.envelope);
  if (!written) return false;
  publishBackground(page, number, written->extension, state.envelope, std::move(written->file),
                    true);
  return true;
}

}  // namespace scribly
