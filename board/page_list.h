#pragma once
// The pages in their order (system pages first, new pages appended), found by
// id, with the current page.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "board/page.h"

namespace scribly {

class PageList {
 public:
  // New pages take `creationTemplate` (empty: none); at most maxPages exist.
  PageList(size_t maxPages, std::string creationTemplate);
  PageList(const PageList&) = delete;
  PageList& operator=(const PageList&) = delete;

  const std::vector<std::unique_ptr<Page>>& pages() const { return pages_; }
  Page* find(uint32_t id) const;
  // Null when the current id names no page.
  Page* current() const { return find(currentId_); }
  uint32_t currentId() const { return currentId_; }
  void setCurrent(uint32_t id) { currentId_ = id; }
  const std::string& creationTemplate() const { return creationTemplate_; }
  // Page::heldBytes of every page, kept up to date by the pages.
  size_t heldBytes() const { return heldBytes_; }

  // Appends a page (default name when empty); null when the id exists or the
  // list is full. A list without a current page makes the new page current.
  Page* create(uint32_t id, std::string_view name = {});
  // Neighbours in page order with wrap-around; null for an unknown id.
  Page* next(uint32_t id) const;
  Page* previous(uint32_t id) const;
  // The page that takes a removed page's place: the one after it, or the one
  // before when it is last; 0 when it is alone or unknown.
  uint32_t successorOf(uint32_t id) const;
  // Destroys the page; false when unknown. When it was current, its successor
  // becomes current (0 when none is left), so the current id never names a
  // page that is gone.
  bool remove(uint32_t id);
  // Back to the six empty system pages with page 1 current.
  void reset();

 private:
  // Position of a page in pages_, pages_.size() when unknown.
  size_t positionOf(uint32_t id) const;

  size_t maxPages_;
  std::string creationTemplate_;
  // Before pages_, which the pages update while they go.
  size_t heldBytes_ = 0;
  std::vector<std::unique_ptr<Page>> pages_;
  // The pages' ids in the same order: a page's place is found without
  // visiting every page before it.
  std::vector<uint32_t> ids_;
  IdTable<Page*> byId_;
  uint32_t currentId_ = kFirstSystemPage;
};

}  // namespace scribly
