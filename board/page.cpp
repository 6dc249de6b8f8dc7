#include "board/page.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "base/bmp_file.h"
#include "objects/image_object.h"

namespace scribly {
namespace {

size_t bytesOf(const PageObject& entry) {
  return entry.bulk.size() + (entry.object ? pixelBytesOf(*entry.object) : 0);
}

size_t bytesOf(const BackgroundPicture* picture) { return picture ? picture->pixels().size() : 0; }

}  // namespace

BackgroundFile::BackgroundFile(BoardFiles& files, std::string path, size_t* counted, size_t size)
    : files_(files), path_(std::move(path)), counted_(counted), size_(size) {
  if (counted_) *counted_ += size_;
}

BackgroundFile::~BackgroundFile() {
  files_.deleteFile(path_);
  if (counted_) *counted_ -= size_;
}

size_t pixelBytesOf(const BoardObject& object) {
  if (object.kind() != ObjectKind::Image) return 0;
  return static_cast<const ImageObject&>(object).pixels().size();
}

std::string defaultPageName(uint32_t id) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "System Page-%u", static_cast<unsigned>(id));
  return buffer;
}

Page::Page(uint32_t id, std::string_view name, uint32_t width, uint32_t height) : id_(id) {
  setName(name);
  // A requested side below 100 leaves the page without a size.
  if (width >= kMinPageSide && height >= kMinPageSide) {
    width_ = width;
    height_ = height;
  } else {
    width_ = height_ = 0;
  }
}

Page::~Page() {
  if (heldTotal_) *heldTotal_ -= reportedHeld_;
}

void Page::countHeldIn(size_t* total) {
  if (heldTotal_) *heldTotal_ -= reportedHeld_;
  heldTotal_ = total;
  reportedHeld_ = 0;
  reportHeld();
}

void Page::reportHeld() {
  const size_t held = heldBytes();
  if (heldTotal_) *heldTotal_ = *heldTotal_ - reportedHeld_ + held;
  reportedHeld_ = held;
}

void Page::setName(std::string_view name) {
  // Names end at their terminator, as they would in a C buffer.
  name = name.substr(0, std::min(name.find('\0'), name.size()));
  if (name.empty()) {
    name_ = defaultPageName(id_);
    return;
  }
  name_.assign(name.substr(0, kMaxPageNameBytes));
}

const PageObject* Page::findEntry(uint32_t id) const {
  const size_t* position = positions_.find(id);
  return position ? &objects_[*position] : nullptr;
}

PageObject* Page::findEntry(uint32_t id) {
  return const_cast<PageObject*>(static_cast<const Page*>(this)->findEntry(id));
}

BoardObject* Page::findObject(uint32_t id) {
  PageObject* e = findEntry(id);
  return e ? e->object.get() : nullptr;
}

const BoardObject* Page::findObject(uint32_t id) const {
  const PageObject* e = findEntry(id);
  return e ? e->object.get() : nullptr;
}

bool Page::addObject(uint32_t id, std::unique_ptr<BoardObject> object) {
  if (id == 0 || !object || !positions_.insert(id, objects_.size())) return false;
  objects_.push_back(PageObject{id, std::move(object), {}});
  recount(objects_.back());
  return true;
}

std::unique_ptr<BoardObject> Page::removeObject(uint32_t id) {
  const size_t* position = positions_.find(id);
  if (!position) return nullptr;
  PageObject& entry = objects_[*position];
  positions_.erase(id);
  objectsHeld_ -= entry.held;
  std::unique_ptr<BoardObject> object = std::move(entry.object);
  touch();
  entry = PageObject{};
  reportHeld();
  ++gaps_;
  while (!objects_.empty() && !objects_.back().object) {
    objects_.pop_back();
    --gaps_;
  }
  if (gaps_ > positions_.size()) closeGaps();
  return object;
}

const std::vector<PageObject>& Page::objects() const {
  if (gaps_ != 0) closeGaps();
  return objects_;
}

void Page::closeGaps() const {
  size_t kept = 0;
  for (size_t i = 0; i < objects_.size(); ++i) {
    if (!objects_[i].object) continue;
    if (kept != i) {
      objects_[kept] = std::move(objects_[i]);
      positions_.set(objects_[kept].id, kept);
    }
    ++kept;
  }
  objects_.resize(kept);
  gaps_ = 0;
}

void Page::clearObjects() {
  touch();
  objects_.clear();
  positions_.clear();
  gaps_ = 0;
  objectsHeld_ = 0;
  reportHeld();
}

void Page::keepBulk(PageObject& entry, std::vector<uint8_t> bulk) {
  entry.bulk = std::move(bulk);
  entry.bulkStale = false;
  recount(entry);
}

void Page::turnedPixels(PageObject& entry) {
  entry.bulkStale = !entry.bulk.empty();
  recount(entry);
}

const std::vector<uint8_t>& Page::bulkOf(uint32_t id) {
  static const std::vector<uint8_t> kNone;
  PageObject* entry = findEntry(id);
  if (!entry) return kNone;
  if (entry->bulkStale) {
    // From the pixels shown here, which boards that decoded the same record
    // turned alike: one generation of JPEG loss however many turns.
    std::vector<uint8_t> bulk = saveBulkRecord(*entry->object);
    if (!bulk.empty()) keepBulk(*entry, std::move(bulk));
    entry->bulkStale = false;
  }
  return entry->bulk;
}

void Page::recount(PageObject& entry) {
  touch();
  objectsHeld_ -= entry.held;
  entry.held = bytesOf(entry);
  objectsHeld_ += entry.held;
  reportHeld();
}

size_t Page::heldBytes() const {
  // The scaled copy counts whether made yet or not.
  const size_t scaled = scaledSize_.width > 0
                            ? pictureBytes(static_cast<uint32_t>(scaledSize_.width),
                                           static_cast<uint32_t>(scaledSize_.height))
                            : 0;
  return objectsHeld_ + backgroundBulk_.size() + bytesOf(picture_.get()) + scaled;
}

Size Page::size() const {
  Size size{static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
  if (hasBackgroundFile_ && picture_) {
    const Size shown = scaledSize_.width > 0 ? scaledSize_ : picture_->size();
    size.width = std::max(size.width, shown.width);
    size.height = std::max(size.height, shown.height);
  }
  return size;
}

const BackgroundPicture* Page::shownPicture() const {
  if (!hasBackgroundFile_ || !picture_) return nullptr;
  if (scaledSize_.width <= 0) return picture_.get();
  if (!scaled_) scaled_ = picture_->resized(scaledSize_);
  return scaled_.get();
}

void Page::setPicture(std::unique_ptr<BackgroundPicture> picture) {
  picture_ = std::move(picture);
  scaledSize_ = Size{};
  scaled_.reset();
  touch();
  reportHeld();
}

void Page::setScaledSize(Size size) {
  const bool own = !picture_ || size == picture_->size() || !BackgroundPicture::resizable(size);
  scaledSize_ = own ? Size{} : size;
  scaled_.reset();
  touch();
  reportHeld();
}

void Page::releaseBackground(bool keepNumber) {
  // A page without a picture looks the same after.
  if (picture_ || scaledSize_.width > 0 || scale_ != 1.0f) touch();
  picture_.reset();
  scaledSize_ = Size{};
  scaled_.reset();
  scale_ = 1.0f;
  if (!keepNumber) backgroundNumber_ = 0;
  reportHeld();
}

uint64_t Page::nextRevision() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

const std::string& Page::backgroundPath() const {
  static const std::string kNone;
  return file_ ? file_->path() : kNone;
}

void Page::announceBackground(uint32_t number) {
  releaseBackground(false);
  file_.reset();
  backgroundNumber_ = number;
  pendingBackgroundNumber_ = number;
  hasBackgroundFile_ = false;
  backgroundBulk_.clear();
  reportHeld();
}

void Page::installBackground(uint32_t number, std::string_view extension, std::vector<uint8_t> bulk,
                             std::unique_ptr<BackgroundFile> file) {
  releaseBackground(false);
  file_ = std::move(file);
  backgroundNumber_ = number;
  if (pendingBackgroundNumber_ == number) pendingBackgroundNumber_ = 0;
  backgroundExtension_.assign(extension.substr(0, kMaxPageNameBytes));
  backgroundBulk_ = std::move(bulk);
  hasBackgroundFile_ = true;
  reportHeld();
}

void Page::dropBackgroundFile() {
  releaseBackground(false);
  file_.reset();
  hasBackgroundFile_ = false;
  backgroundBulk_.clear();
  reportHeld();
}

std::string pageInfoText(const Page& page, std::string_view info, std::string_view systemTitle,
                         std::string_view userTitle) {
  const std::string_view name = page.name();
  const size_t cut = name.find_last_of("/\\");
  const std::string_view file = cut == std::string_view::npos ? name : name.substr(cut + 1);
  std::string_view folder =
      cut == std::string_view::npos ? std::string_view() : name.substr(0, cut);
  if (folder.empty()) folder = isUserPage(page.id()) ? userTitle : systemTitle;
  std::string text(info);
  text.append(" ").append(folder).append(" / ").append(file);
  return text;
}

}  // namespace scribly
