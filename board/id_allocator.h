#pragma once
// Ids for pages, objects and background files. Server mode hands out ids from
// ranges the server grants (`IdRangeGrant`); peer-to-peer mode counts, one
// side up from 100 and the other down from -101, so the two never collide.
#include <cstdint>

namespace scribly {

class SendQueue;

class IdAllocator {
 public:
  // Fewer ids than this left in the range asks the server for the next one.
  static constexpr uint32_t kLowWater = 10;
  static constexpr int32_t kUpwardStart = 100;
  static constexpr int32_t kDownwardStart = -101;

  explicit IdAllocator(SendQueue& queue) : queue_(queue) {}

  // Partner 0 means server mode: asks for a range unless a request is out.
  // Otherwise peer-to-peer: the counter starts once, by comparing the ids.
  void initialise(uint32_t myUserId, uint32_t partner);
  // The next id, or 0 when none is available (server mode without a range).
  uint32_t allocate();
  // A server's grant; false when ignored (peer-to-peer answers true, as the
  // grant simply has no use there). A range already pending, a 0 bound or a
  // range that holds no id is ignored.
  bool acceptRange(uint32_t start, uint32_t end);
  // Forgets the mode and the ranges. The peer-to-peer counter keeps running:
  // peers still hold the ids it handed out.
  void reset();

  bool peerToPeer() const { return partner_ != 0; }
  bool requestOutstanding() const { return requestOutstanding_; }
  // Ids left in the current range (server mode).
  uint32_t remaining() const { return next_ < end_ ? end_ - next_ : 0; }
  bool rangePending() const { return pendingStart_ != 0 && pendingEnd_ != 0; }

 private:
  void requestRange();

  SendQueue& queue_;
  uint32_t myUserId_ = 0;
  uint32_t partner_ = 0;
  uint32_t next_ = 0;
  uint32_t end_ = 0;
  uint32_t pendingStart_ = 0;
  uint32_t pendingEnd_ = 0;
  bool requestOutstanding_ = false;
  bool counterSet_ = false;
  int32_t counter_ = 0;
};

}  // namespace scribly
