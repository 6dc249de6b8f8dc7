#include "board/page.h"

#include <algorithm>
#include <cstdio>

namespace scribly {

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
  auto it = positions_.find(id);
  return it == positions_.end() ? nullptr : &objects_[it->second];
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
  if (id == 0 || !object || !positions_.emplace(id, objects_.size()).second) return false;
  objects_.push_back(PageObject{id, std::move(object), {}});
  return true;
}

std::unique_ptr<BoardObject> Page::removeObject(uint32_t id) {
  auto it = positions_.find(id);
  if (it == positions_.end()) return nullptr;
  const size_t position = it->second;
  positions_.erase(it);
  std::unique_ptr<BoardObject> object = std::move(objects_[position].object);
  objects_.erase(objects_.begin() + static_cast<std::ptrdiff_t>(position));
  for (size_t i = position; i < objects_.size(); ++i) positions_[objects_[i].id] = i;
  return object;
}

void Page::clearObjects() {
  objects_.clear();
  positions_.clear();
}

Size Page::size() const {
  Size size{static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
  if (const BackgroundPicture* shown = shownPicture()) {
    size.width = std::max(size.width, shown->size().width);
    size.height = std::max(size.height, shown->size().height);
  }
  return size;
}

const BackgroundPicture* Page::shownPicture() const {
  if (!hasBackgroundFile_ || !picture_) return nullptr;
  return scaled_ ? scaled_.get() : picture_.get();
}

void Page::releaseBackground(bool keepNumber) {
  picture_.reset();
  scaled_.reset();
  scale_ = 1.0f;
  if (!keepNumber) backgroundNumber_ = 0;
}

void Page::announceBackground(uint32_t number) {
  releaseBackground(false);
  backgroundNumber_ = number;
  pendingBackgroundNumber_ = number;
  hasBackgroundFile_ = false;
  backgroundBulk_.clear();
}

void Page::installBackground(uint32_t number, std::string_view extension,
                             std::vector<uint8_t> bulk) {
  releaseBackground(false);
  backgroundNumber_ = number;
  if (pendingBackgroundNumber_ == number) pendingBackgroundNumber_ = 0;
  backgroundExtension_.assign(extension.substr(0, kMaxPageNameBytes));
  backgroundBulk_ = std::move(bulk);
  hasBackgroundFile_ = true;
}

void Page::dropBackgroundFile() {
  releaseBackground(false);
  hasBackgroundFile_ = false;
  backgroundBulk_.clear();
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
