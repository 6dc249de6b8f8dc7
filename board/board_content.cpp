// Local content changes and what carries content between boards: object
// creation and bulk data, backgrounds, and the messages that recreate a page.
#include <algorithm>

#include "board/board.h"
#include "collab/message_codec.h"
#include "objects/hand_symbol_object.h"

namespace scribly {
namespace {

std::string extensionOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot);
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
  page->removeObject(objectId);
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

bool Board::applyObjectChange(std::span<const uint8_t> message) {
  const auto header = readHeader(message);
  const auto pageId = readPage(message);
  const auto objectId = readObjectId(message);
  if (!header || !pageId || !objectId) return false;
  const uint8_t code = header->code;
  if (code > toByte(MessageCode::kSetContrast)) return false;
  Page* page = findPage(*pageId);
  if (!page) return false;
  BoardObject* object = page->findObject(*objectId);
  if (!object) {
    // A withdrawn background file: its transfer will never end.
    if (code == toByte(MessageCode::kDeleteObject) && transfers_.pageOf(*objectId) == page->id()) {
      transfers_.drop(*objectId);
    }
    return false;
  }

  if (code == toByte(MessageCode::kDeleteObject)) {
    if (!parse<DeleteObject>(message)) return false;
    invalidateObject(*page, *object);
    forgetActiveObject(*objectId);
    page->removeObject(*objectId);
    if (transfers_.pageOf(*objectId) == page->id()) transfers_.drop(*objectId);
    return true;
  }

  // Parse first, so that a malformed message leaves the object untouched.
  std::optional<SetObjectValue> value;
  std::optional<SetObjectWidth> width;
  std::optional<SetObjectPoints> points;
  std::optional<SetObjectFont> font;
  std::optional<SetObjectStyle> style;
  switch (static_cast<MessageCode>(code)) {
    case MessageCode::kSetWidth:
      if (!(width = parse<SetObjectWidth>(message))) return false;
      break;
    case MessageCode::kSetPoints:
      if (!(points = parse<SetObjectPoints>(message))) return false;
      break;
    case MessageCode::kSetFont:
      if (!(font = parse<SetObjectFont>(message))) return false;
      break;
    case MessageCode::kSetStyle:
      if (!(style = parse<SetObjectStyle>(message))) return false;
      // Only the five pen styles exist; anything else would reach the pen.
      if (style->style < 0 || style->style > static_cast<int8_t>(kPenDashDotDot)) return false;
      break;
    default:
      if (!(value = parse<SetObjectValue>(message))) return false;
      break;
  }

  invalidateObject(*page, *object);
  bool changed = false;
  switch (static_cast<MessageCode>(code)) {
    case MessageCode::kSetColor:
      changed = object->setColour(value->value);
      break;
    case MessageCode::kSetFill:
      changed = object->setFill(value->value);
      break;
    case MessageCode::kSetWidth:
      changed = object->setPenWidth(width->width);
      break;
    case MessageCode::kMoveTo:
      object->moveTo(PackedPoint{value->value});
      changed = true;
      break;
    case MessageCode::kSetPoints:
      object->setPoints(PackedPoint{points->first}, PackedPoint{points->second});
      changed = true;
      break;
    case MessageCode::kSetFont: {
      ByteReader in(font->font);
      const FontRecord record = FontRecord::read(in);
      changed = in.ok() && object->setFont(record);
      break;
    }
    case MessageCode::kSetStyle:
      changed = object->setPenStyle(static_cast<uint32_t>(style->style));
      break;
    case MessageCode::kSetOrientation:
      changed = object->setOrientation(static_cast<int32_t>(value->value));
      break;
    case MessageCode::kSetAdjustmentA:
      changed = object->setAdjustmentA(static_cast<int32_t>(value->value));
      break;
    case MessageCode::kSetBrightness:
      changed = object->setBrightness(static_cast<int32_t>(value->value));
      break;
    case MessageCode::kSetContrast:
      changed = object->setContrast(static_cast<int32_t>(value->value));
      break;
    default:
      break;
  }
  if (changed) invalidateObject(*page, *object);
  return changed;
}

bool Board::clearPage(uint32_t pageId) {
  if (!privileges_.write) return false;
  Page* page = pageId != 0 ? findPage(pageId) : currentPage();
  if (!page) return false;
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
  page.clearObjects();
  // A clear keeps the background, so a background on its way keeps coming.
  transfers_.dropPage(page.id(), page.pendingBackgroundNumber());
  invalidateIfCurrent(page);
}

// --- Transfers ---------------------------------------------------------------

void Board::sendTransfer(uint32_t key, uint32_t pageId, std::span<const uint8_t> data) {
  sendMessage(TransferBegin{key, myUserId_, pageId, static_cast<uint32_t>(data.size())},
              kLevelSecond);
  for (size_t offset = 0; offset < data.size(); offset += kMaxChunkBytes) {
    const size_t n = std::min(kMaxChunkBytes, data.size() - offset);
    sendMessage(TransferChunk{key, data.subspan(offset, n)}, kLevelSecond);
  }
  sendMessage(TransferEnd{key, pageId}, kLevelSecond);
}

bool Board::acceptBulk(uint32_t pageId, uint32_t key, std::vector<uint8_t> data) {
  Page* page = findPage(pageId);
  if (!page || key == 0) return false;
  if (key == page->pendingBackgroundNumber()) {
    return installReceivedBackground(*page, key, std::move(data));
  }
  PageObject* entry = page->findEntry(key);
  if (!entry || !entry->object->hasBulkData()) return false;
  if (!entry->object->loadBulkData(data)) return false;
  entry->bulk = std::move(data);
  invalidateObject(*page, *entry->object);
  return true;
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
  out.push_back(build(TransferBegin{number, myUserId_, page.id(),
                                    static_cast<uint32_t>(envelope.size())}));
  for (size_t offset = 0; offset < envelope.size(); offset += kMaxChunkBytes) {
    const size_t n = std::min(kMaxChunkBytes, envelope.size() - offset);
    out.push_back(
        build(TransferChunk{number, std::span<const uint8_t>(envelope).subspan(offset, n)}));
  }
  out.push_back(build(TransferEnd{number, page.id()}));
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
  const std::span<const uint8_t> bulk(entry.bulk);
  out.push_back(build(TransferBegin{entry.id, myUserId_, page.id(),
                                    static_cast<uint32_t>(bulk.size())}));
  for (size_t offset = 0; offset < bulk.size(); offset += kMaxChunkBytes) {
    const size_t n = std::min(kMaxChunkBytes, bulk.size() - offset);
    out.push_back(build(TransferChunk{entry.id, bulk.subspan(offset, n)}));
  }
  out.push_back(build(TransferEnd{entry.id, page.id()}));
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
