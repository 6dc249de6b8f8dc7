#pragma once
// The deliveries of one part of an output-log entry (field "d"), as the owner
// writes them and every edge reads them: a run of
// `to:u32le | from:u32le | len:u32le | message`. to = 0 means everyone in
// the conference except `from`.
#include <cstdint>
#include <span>
#include <vector>

namespace scribly {

struct Delivery {
  uint32_t to = 0;
  uint32_t from = 0;
  std::vector<uint8_t> message;
  bool operator==(const Delivery&) const = default;
};

// A delivery with this sender carries no board message: the owner refused the
// user's join (the message is the reason, as text), and the edge ends the
// session with an ERROR.
constexpr uint32_t kRefusalSender = 0xFFFFFFFF;

void appendDelivery(std::vector<uint8_t>& out, uint32_t to, uint32_t from,
                    std::span<const uint8_t> message);
// False, with `out` emptied, when the bytes break the layout: a cut record,
// a message empty or over the board's 32768-byte cap.
bool decodeDeliveries(std::span<const uint8_t> bytes, std::vector<Delivery>& out);

}  // namespace scribly
