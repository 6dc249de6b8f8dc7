#include "board/page_list.h"

#include <algorithm>

namespace scribly {

PageList::PageList(size_t maxPages, std::string creationTemplate)
    : maxPages_(maxPages), creationTemplate_(std::move(creationTemplate)) {
  reset();
}

Page* PageList::find(uint32_t id) const {
  Page* const* page = byId_.find(id);
  return page ? *page : nullptr;
}

Page* PageList::create(uint32_t id, std::string_view name) {
  if (id == 0 || pages_.size() >= maxPages_ || byId_.find(id)) return nullptr;
  auto page = std::make_unique<Page>(id, name);
  page->setTemplateName(creationTemplate_);
  page->countHeldIn(&heldBytes_);
  byId_.insert(id, page.get());
  if (currentId_ == 0) currentId_ = id;
  pages_.push_back(std::move(page));
  ids_.push_back(id);
  return pages_.back().get();
}

size_t PageList::positionOf(uint32_t id) const {
  if (!byId_.find(id)) return pages_.size();
  return static_cast<size_t>(std::find(ids_.begin(), ids_.end(), id) - ids_.begin());
}

Page* PageList::next(uint32_t id) const {
  const size_t i = positionOf(id);
  return i == pages_.size() ? nullptr : pages_[(i + 1) % pages_.size()].get();
}

Page* PageList::previous(uint32_t id) const {
  const size_t i = positionOf(id);
  return i == pages_.size() ? nullptr : pages_[(i + pages_.size() - 1) % pages_.size()].get();
}

uint32_t PageList::successorOf(uint32_t id) const {
  const size_t i = positionOf(id);
  if (i == pages_.size()) return 0;
  if (i + 1 < pages_.size()) return pages_[i + 1]->id();
  return i > 0 ? pages_[i - 1]->id() : 0;
}

bool PageList::remove(uint32_t id) {
  const size_t i = positionOf(id);
  if (i == pages_.size()) return false;
  if (id == currentId_) currentId_ = successorOf(id);
  byId_.erase(id);
  pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(i));
  ids_.erase(ids_.begin() + static_cast<std::ptrdiff_t>(i));
  return true;
}

void PageList::reset() {
  pages_.clear();
  ids_.clear();
  byId_.clear();
  for (uint32_t id = kFirstSystemPage; id <= kLastSystemPage; ++id) create(id);
  currentId_ = kFirstSystemPage;
}

}  // namespace scribly
