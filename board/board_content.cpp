// Local content changes and what carries content between boards: object
// creation, changes and bulk data.
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

}  // namespace scribly
