// Local content changes and what carries content between boards: object
// creation and bulk data, backgrounds, and the messages that recreate a page.
#include <algorithm>

#include "board/board.h"
#include "collab/message_codec.h"
#include "objects/hand_symbol_object.h"
#include "objects/pixel_ops.h"

namespace scribly {
namespace {

std::string extensionOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot);
}

// Bulk data as its sender sends it: begin, chunks, end.
void appendTransfer(uint32_t key, uint32_t sender, uint32_t page, std::span<const uint8_t> data,
                    std::vector<std::vector<uint8_t>>& out) {
  out.push_back(build(TransferBegin{key, sender, page, static_cast<uint32_t>(data.size())}));
  for (size_t offset = 0; offset < data.size(); offset += kMaxChunkBytes) {
    const size_t n = std::min(kMaxChunkBytes, data.size() - offset);
    out.push_back(build(TransferChunk{key, data.subspan(offset, n)}));
  }
  out.push_back(build(TransferEnd{key, page}));
}

std::vector<uint8_t> fontBytes(const FontRecord& font) {
  ByteWriter out(FontRecord::kSize);
  font.write(out);
  return out.take();
}

}  // namespace

void Board::invalidateIfCurrent(const Page& page) {
  if (page.id() == currentPageId_) env_.view.invalidateAll(true);
}

void Board::invalidateObject(const Page& page, const BoardObject& object) {
  if (page.id() == currentPageId_) object.invalidate(env_.view, scrollOffsetX_, scrollOffsetY_, true);
}

// --- Objects -----------------------------------------------------------------

uint32_t Board::commitObject(std::unique_ptr<BoardObject> object, uint32_t pageId) {
  if (!object) return 0;
  Page* page = pageId != 0 ? findPage(pageId) : currentPage();
  if (!page || page->objects().size() >= options_.maxObjectsPerPage) return 0;
  const uint32_t id = ids_.allocate();
  if (id == 0) return 0;
  const std::vector<uint8_t> record = saveRecord(*object);
  const uint8_t kind = static_cast<uint8_t>(object->kind());
  const std::vector<uint8_t> creation = build(CreateObject{kind, page->id(), id, record});
  // An object its peers could never receive is not kept here either.
  if (creation.empty()) return 0;
  std::vector<uint8_t> bulk;
  if (object->hasBulkData()) {
    bulk = saveBulkRecord(*object);
    if (bulk.empty()) return 0;
  }
  const BoardObject* added = object.get();
  if (!page->addObject(id, std::move(object))) return 0;
  send(creation, kLevelFirst);
  if (!bulk.empty()) {
    mirrorBulk(page->id(), id, bulk, false);
    sendTransfer(id, page->id(), bulk);
    page->findEntry(id)->bulk = std::move(bulk);
  }
  invalidateObject(*page, *added);
  return id;
}

bool Board::deleteObject(uint32_t pageId, uint32_t objectId) {
  Page* page = pageId != 0 ? findPage(pageId) : currentPage();
  if (!page) return false;
  const BoardObject* object = page->findObject(objectId);
  if (!object) return false;
  invalidateObject(*page, *object);
  forgetActiveObject(objectId);
  forgetPendingTurns(page->id(), objectId);
  page->removeObject(objectId);
  rememberRemoved(objectId);
  sendMessage(DeleteObject{page->id(), objectId}, kLevelFirst);
  return true;
}

bool Board::changeObject(uint32_t pageId, uint32_t objectId, const ObjectChange& change) {
  Page* page = pageId != 0 ? findPage(pageId) : currentPage();
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
  if (message.empty() || !applyObjectChange(message)) return false;
  send(message, kLevelFirst);
  return true;
}

bool Board::receiveObject(uint8_t code, uint32_t pageId, uint32_t objectId,
                          std::span<const uint8_t> record) {
  Page* page = findPage(pageId);
  if (!page || page->findEntry(objectId) ||
      page->objects().size() >= options_.maxObjectsPerPage) {
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
// Changes one picture keeps while it waits for its pixels; past this many it
// shows its pixels as they come.
constexpr size_t kMaxReplayedChanges = 256;

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
  Page* page = findPage(*pageId);
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
    forgetActiveObject(*objectId);
    forgetPendingTurns(page->id(), *objectId);
    page->removeObject(*objectId);
    if (transfers_.pageOf(*objectId) == page->id()) transfers_.drop(*objectId);
    return true;
  }

  const std::optional<ParsedChange> change = parseChange(code, message);
  if (!change) return false;
  keepForReplay(*page, *entry,
                code == kTurnCode && turnsPixels(static_cast<int32_t>(change->value->value)),
                message);
  invalidateObject(*page, *object);
  const bool changed = applyChange(*object, *change);
  if (changed) {
    if (code == kTurnCode) turnKeptBulk(*entry, static_cast<int32_t>(change->value->value));
    invalidateObject(*page, *object);
  }
  return changed;
}

void Board::keepForReplay(const Page& page, const PageObject& entry, bool turn,
                          std::span<const uint8_t> message) {
  // Only a picture still waiting for its pixels; until its first turn the
  // order of its changes and its pixels makes no difference.
  if (!entry.object->hasBulkData() || !entry.bulk.empty()) return;
  auto it = pendingTurns_.find(entry.id);
  if (it == pendingTurns_.end()) {
    if (!turn) return;
    std::vector<uint8_t> record = saveRecord(*entry.object);
    if (record.size() > options_.maxPendingTurnBytes - std::min(options_.maxPendingTurnBytes,
                                                                 pendingTurnBytes_)) {
      return;
    }
    pendingTurnBytes_ += record.size();
    const size_t bytes = record.size();
    it = pendingTurns_.emplace(entry.id, PendingTurns{page.id(), std::move(record), {}, bytes})
             .first;
  }
  PendingTurns& turns = it->second;
  if (turns.changes.size() >= kMaxReplayedChanges ||
      message.size() > options_.maxPendingTurnBytes - std::min(options_.maxPendingTurnBytes,
                                                               pendingTurnBytes_)) {
    // Past the bound the picture shows its pixels as they come.
    forgetPendingTurns(page.id(), entry.id);
    return;
  }
  turns.changes.emplace_back(message.begin(), message.end());
  turns.bytes += message.size();
  pendingTurnBytes_ += message.size();
}

void Board::forgetPendingTurns(uint32_t pageId, uint32_t objectId) {
  if (objectId != 0) {
    auto it = pendingTurns_.find(objectId);
    if (it != pendingTurns_.end() && it->second.page == pageId) {
      pendingTurnBytes_ -= it->second.bytes;
      pendingTurns_.erase(it);
    }
    return;
  }
  for (auto it = pendingTurns_.begin(); it != pendingTurns_.end();) {
    if (it->second.page == pageId) {
      pendingTurnBytes_ -= it->second.bytes;
      it = pendingTurns_.erase(it);
    } else {
      ++it;
    }
  }
}

void Board::turnKeptBulk(PageObject& entry, int32_t orientation) const {
  if (entry.bulk.empty() || !turnsPixels(orientation)) return;
  // Turned from the kept record, not from this board's own pixels, so that
  // every board keeps the same bytes.
  std::unique_ptr<BoardObject> copy = factory_.createFromRecord(
      static_cast<uint8_t>(entry.object->kind()), saveRecord(*entry.object));
  if (!copy || !copy->loadBulkData(entry.bulk) || !copy->setOrientation(orientation)) return;
  std::vector<uint8_t> bulk = saveBulkRecord(*copy);
  if (!bulk.empty()) entry.bulk = std::move(bulk);
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
  Page* page = pageId != 0 ? findPage(pageId) : currentPage();
  if (!page) return false;
  for (const PageObject& entry : page->objects()) rememberRemoved(entry.id);
  clearPageContent(*page);
  const uint32_t id = page->id();
  if (page->hasBackgroundFile() && page->backgroundNumber() != 0) {
    sendMessage(ClearPageWithBackground{id, page->backgroundNumber()}, kLevelFirst);
  } else {
    sendMessage(ClearPage{id}, kLevelFirst);
  }
  return true;
}

void Board::clearPageContent(Page& page) {
  if (page.id() == currentPageId_) forgetActiveObject();
  forgetPendingTurns(page.id());
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
  Page* page = findPage(pageId);
  if (!page || key == 0) return false;
  if (key == page->pendingBackgroundNumber()) {
    return installReceivedBackground(*page, key, std::move(data));
  }
  PageObject* entry = page->findEntry(key);
  if (!entry || !entry->object->hasBulkData()) return false;
  std::optional<PendingTurns> turns;
  if (auto it = pendingTurns_.find(key); it != pendingTurns_.end() && it->second.page == page->id()) {
    pendingTurnBytes_ -= it->second.bytes;
    turns = std::move(it->second);
    pendingTurns_.erase(it);
  }
  BoardObject& object = *entry->object;
  if (turns) invalidateObject(*page, object);
  // The pixels go under the record they were taken with, and the changes
  // since the first turn follow them, as on the sender.
  if (turns) object.load(turns->record);
  const bool loaded = object.loadBulkData(data);
  if (loaded) entry->bulk = std::move(data);
  if (turns) {
    for (const std::vector<uint8_t>& message : turns->changes) {
      const uint8_t code = codeOf(message[0]);
      const std::optional<ParsedChange> change = parseChange(code, message);
      if (!change || !applyChange(object, *change)) continue;
      if (code == kTurnCode) turnKeptBulk(*entry, static_cast<int32_t>(change->value->value));
    }
    // Still without pixels: keep waiting for a later copy of them.
    if (!loaded) {
      pendingTurnBytes_ += turns->bytes;
      pendingTurns_.emplace(key, std::move(*turns));
    }
  }
  invalidateObject(*page, object);
  return loaded;
}

// --- Backgrounds -------------------------------------------------------------

std::string Board::backgroundPath(uint32_t number, std::string_view extension) const {
  return options_.backgroundFolder + std::to_string(number) + std::string(extension);
}

void Board::loadBackgroundPicture(Page& page) {
  std::unique_ptr<BackgroundPicture> picture = env_.pictures.decodeFile(
      backgroundPath(page.backgroundNumber(), page.backgroundExtension()));
  if (!picture) {
    // The number stays, so the file is tried again next time.
    page.releaseBackground(true);
    return;
  }
  page.setPicture(std::move(picture));
  if (page.id() == currentPageId_) applyScale(backgroundScale_, 0);
}

bool Board::installReceivedBackground(Page& page, uint32_t number, std::vector<uint8_t> envelope) {
  const auto payload = Decompress(envelope);
  if (!payload || payload->size() < 4) return false;
  ByteReader in(*payload);
  const uint32_t format = in.u32();
  if (format < 1 || format > 4) return false;
  const std::string_view extension = backgroundExtensionFor(format);
  const std::span<const uint8_t> file = std::span<const uint8_t>(*payload).subspan(4);
  if (!env_.files.writeFile(backgroundPath(number, extension), file)) return false;
  page.installBackground(number, extension, std::move(envelope));
  if (page.id() == currentPageId_) {
    loadBackgroundPicture(page);
    env_.view.invalidateAll(true);
  }
  env_.view.contentsChanged(ContentsChange::BackgroundReady, page.id());
  return true;
}

bool Board::setBackgroundFile(const std::string& path, uint32_t pageId) {
  const bool local = pageId == 0;
  Page* page = local ? currentPage() : findPage(pageId);
  if (!page || !privileges_.write) return false;
  const uint32_t number = ids_.allocate();
  if (number == 0) return false;
  const std::string extension = extensionOf(path);
  const std::string destination = backgroundPath(number, extension);
  if (!(local ? env_.files.copyFile(path, destination) : env_.files.moveFile(path, destination))) {
    return false;
  }
  const auto file = env_.files.readFile(destination, kMaxPayloadBytes - 4);
  if (!file) return false;
  ByteWriter payload(file->size() + 4);
  payload.u32(backgroundFormatCode(extension)).bytes(*file);
  std::vector<uint8_t> envelope = Compress(payload.data());
  // The old background goes only once the new one is ready: a file that
  // cannot be read must not leave the page without any.
  if (local && page->hasBackgroundFile()) {
    sendMessage(DeleteObject{page->id(), page->backgroundNumber()}, kLevelFirst);
    rememberRemoved(page->backgroundNumber());
    page->dropBackgroundFile();
  }

  sendMessage(BackgroundAnnounce{page->id(), number}, kLevelFirst);
  mirrorBulk(page->id(), number, envelope, false);
  sendTransfer(number, page->id(), envelope);

  page->announceBackground(number);
  page->installBackground(number, extension, std::move(envelope));
  if (page->id() == currentPageId_) {
    loadBackgroundPicture(*page);
    env_.view.invalidateAll(true);
  }
  env_.view.contentsChanged(ContentsChange::BackgroundReady, page->id());
  return true;
}

bool Board::setTemplateBackground(std::string_view name, uint32_t pageId) {
  const auto& names = options_.templateNames;
  const bool known = std::find(names.begin(), names.end(), name) != names.end();
  const std::string_view templateName = known ? name : std::string_view{};
  if (pageId == 0) {
    if (!privileges_.pages) {
      env_.view.messageBox(kSetBackgroundPrivilegeTextKey, MessageBoxKind::StopOk);
      return false;
    }
    Page* page = currentPage();
    if (!page || !privileges_.write) return false;
    page->setTemplateName(templateName);
    if (page->hasBackgroundFile()) {
      sendMessage(DeleteObject{page->id(), page->backgroundNumber()}, kLevelFirst);
      rememberRemoved(page->backgroundNumber());
      page->dropBackgroundFile();
    }
    sendMessage(SetBackgroundByName{page->id(), std::string(name)}, kLevelFirst);
    env_.view.invalidateAll(true);
    return true;
  }
  Page* page = findPage(pageId);
  if (!page) {
    page = createPage(pageId);
    if (!page) return false;
    env_.view.contentsChanged(ContentsChange::PageAdded, pageId);
  }
  page->setTemplateName(templateName);
  if (page->hasBackgroundFile()) page->dropBackgroundFile();
  env_.view.invalidateAll(true);
  return true;
}

void Board::applyScale(float factor, uint32_t pageId) {
  const bool local = pageId == 0;
  Page* page = local ? currentPage() : findPage(pageId);
  if (!page || !page->hasBackgroundFile() || !page->backgroundPicture()) return;
  if (factor >= 0.0f && factor == page->scale()) return;
  if (local) sendMessage(BackgroundScale{page->id(), scaleCodeOf(factor)}, kLevelFirst);
  backgroundScale_ = factor;
  page->setScale(factor);
  page->backgroundPicture()->setScale(factor);
  invalidateIfCurrent(*page);
}

// --- Recreating content ------------------------------------------------------

std::vector<uint8_t> Board::backgroundEnvelope(const Page& page) const {
  if (!page.backgroundBulk().empty()) return page.backgroundBulk();
  const auto file = env_.files.readFile(
      backgroundPath(page.backgroundNumber(), page.backgroundExtension()), kMaxPayloadBytes - 4);
  if (!file) return {};
  ByteWriter payload(file->size() + 4);
  payload.u32(backgroundFormatCode(page.backgroundExtension())).bytes(*file);
  return Compress(payload.data());
}

void Board::appendBackgroundMessages(const Page& page, BulkForm form,
                                     std::vector<std::vector<uint8_t>>& out) const {
  const uint32_t number = page.backgroundNumber();
  out.push_back(build(BackgroundAnnounce{page.id(), number}));
  if (!page.hasBackgroundFile()) return;
  const std::vector<uint8_t> envelope = backgroundEnvelope(page);
  if (envelope.empty()) return;
  if (form == BulkForm::OneMessage) {
    out.push_back(build(BulkData{page.id(), number, envelope}));
    return;
  }
  appendTransfer(number, myUserId_, page.id(), envelope, out);
}

void Board::appendItemMessages(const Page& page, const PageObject& entry, BulkForm form,
                               std::vector<std::vector<uint8_t>>& out) const {
  const std::vector<uint8_t> record = saveRecord(*entry.object);
  out.push_back(
      build(CreateObject{static_cast<uint8_t>(entry.object->kind()), page.id(), entry.id, record}));
  if (entry.bulk.empty()) return;
  if (form == BulkForm::OneMessage) {
    out.push_back(build(BulkData{page.id(), entry.id, entry.bulk}));
    return;
  }
  appendTransfer(entry.id, myUserId_, page.id(), entry.bulk, out);
}

std::vector<std::vector<uint8_t>> Board::itemMessages(uint32_t pageId, uint32_t itemId,
                                                      BulkForm form) const {
  std::vector<std::vector<uint8_t>> out;
  const Page* page = findPage(pageId);
  if (!page || itemId == 0) return out;
  if (itemId == page->backgroundNumber() &&
      (page->hasBackgroundFile() || page->pendingBackgroundNumber() == itemId)) {
    appendBackgroundMessages(*page, form, out);
  } else if (const PageObject* entry = page->findEntry(itemId)) {
    appendItemMessages(*page, *entry, form, out);
  }
  return out;
}

std::vector<uint32_t> Board::pageContentIds(uint32_t pageId) const {
  std::vector<uint32_t> ids;
  const Page* page = findPage(pageId);
  if (!page) return ids;
  for (const PageObject& entry : page->objects()) ids.push_back(entry.id);
  if (page->hasBackgroundFile() && page->backgroundNumber() != 0) {
    ids.push_back(page->backgroundNumber());
  }
  return ids;
}

std::vector<std::vector<uint8_t>> Board::contentReport() const {
  std::vector<std::vector<uint8_t>> out;
  for (uint32_t id = kFirstSystemPage; id <= kLastSystemPage; ++id) {
    if (!findPage(id)) out.push_back(build(RemovePage{id, 0}));
  }
  const auto& names = options_.templateNames;
  const bool hasDefault = std::find(names.begin(), names.end(), kDefaultTemplateName) != names.end();
  const std::string_view creationTemplate = hasDefault ? kDefaultTemplateName : std::string_view{};
  for (const auto& page : pages_) {
    out.push_back(build(RenamePage{page->id(), page->name()}));
    if (page->templateName() != creationTemplate) {
      out.push_back(build(SetBackgroundByName{page->id(), page->templateName()}));
    }
    if (page->hasBackgroundFile() || page->pendingBackgroundNumber() != 0) {
      appendBackgroundMessages(*page, BulkForm::OneMessage, out);
    }
    for (const PageObject& entry : page->objects()) {
      appendItemMessages(*page, entry, BulkForm::OneMessage, out);
    }
  }
  if (findPage(currentPageId_)) out.push_back(build(CurrentPage{currentPageId_}));
  return out;
}

}  // namespace scribly
