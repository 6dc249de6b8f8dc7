#include "board/id_allocator.h"

#include "collab/message_codec.h"
#include "collab/send_queue.h"

namespace scribly {

void IdAllocator::requestRange() {
  if (requestOutstanding_) return;
  queue_.send(build(IdRangeRequest{}), kLevelDirect);
  requestOutstanding_ = true;
}

void IdAllocator::initialise(uint32_t myUserId, uint32_t partner) {
  myUserId_ = myUserId;
  partner_ = partner;
  if (partner == 0) {
    requestRange();
    return;
  }
  if (!counterSet_) {
    counter_ = partner < myUserId ? kUpwardStart : kDownwardStart;
    counterSet_ = true;
  }
}

uint32_t IdAllocator::allocate() {
  if (partner_ != 0) {
    const int32_t id = counter_;
    counter_ = myUserId_ <= partner_ ? counter_ - 1 : counter_ + 1;
    return static_cast<uint32_t>(id);
  }
  if (next_ >= end_) {
    if (!rangePending()) return 0;
    next_ = pendingStart_;
    end_ = pendingEnd_;
    pendingStart_ = pendingEnd_ = 0;
  }
  if (end_ - next_ < kLowWater && !rangePending()) requestRange();
  return next_++;
}

bool IdAllocator::acceptRange(uint32_t start, uint32_t end) {
  if (partner_ != 0) return true;
  if (pendingStart_ != 0 || pendingEnd_ != 0) return false;
  if (start == 0 || end == 0 || start >= end) return false;
  pendingStart_ = start;
  pendingEnd_ = end;
  requestOutstanding_ = false;
  return true;
}

void IdAllocator::reset() {
  myUserId_ = 0;
  partner_ = 0;
  next_ = end_ = 0;
  pendingStart_ = pendingEnd_ = 0;
  requestOutstanding_ = false;
}

}  // namespace scribly
