#pragma once
// A peer's page change that arrives while a mouse button is down waits for
// the release: what the person is drawing stays on the page it began on.
#include <cstdint>

namespace scribly {

class MouseDeferral {
 public:
  void press() { down_ = true; }
  // The button is up: answers the page a peer asked for meanwhile, 0 for none.
  uint32_t release() {
    down_ = false;
    const uint32_t page = page_;
    page_ = 0;
    return page;
  }
  // Whether a peer's change to `page` must wait; the latest one waiting wins.
  bool defer(uint32_t page) {
    if (down_) page_ = page;
    return down_;
  }
  uint32_t deferredPage() const { return page_; }
  void reset() { *this = MouseDeferral{}; }

 private:
  bool down_ = false;
  uint32_t page_ = 0;
};

}  // namespace scribly
