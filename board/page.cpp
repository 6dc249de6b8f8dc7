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
  auto it = std::find_if(objects_.begin(), objects_.end(),
                         [id](const PageObject& e) { return e.id == id; });
  return it == objects_.end() ? nullptr : &*it;
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
  if (id == 0 || !object || findEntry(id)) return false;
  objects_.push_back(PageObject{id, std::move(object), {}});
  return true;
}

std::unique_ptr<BoardObject> Page::removeObject(uint32_t id) {
  auto it = std::find_if(objects_.begin(), objects_.end(),
                         [id](const PageObject& e) { return e.id == id; });
  if (it == objects_.end()) return nullptr;
  std::unique_ptr<BoardObject> object = std::move(it->object);
  objects_.erase(it);
  return object;
}

void Page::releaseBackground(bool keepNumber) {
  picture_.reset();
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

void Page::setSize(uint32_t width, uint32_t height) {
  if (width < kMinPageSide || height < kMinPageSide) return;
  width_ = width;
  height_ = height;
}

}  // namespace scribly
