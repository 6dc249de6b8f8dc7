#include "relayd/output_entry.h"

#include "base/byte_io.h"
#include "collab/message_header.h"

namespace scribly {

void appendDelivery(std::vector<uint8_t>& out, uint32_t to, uint32_t from,
                    std::span<const uint8_t> message) {
  ByteWriter w(12 + message.size());
  w.u32(to).u32(from).u32(static_cast<uint32_t>(message.size())).bytes(message);
  out.insert(out.end(), w.data().begin(), w.data().end());
}

bool decodeDeliveries(std::span<const uint8_t> bytes, std::vector<Delivery>& out) {
  out.clear();
  ByteReader r(bytes);
  while (r.ok() && !r.atEnd()) {
    Delivery d;
    d.to = r.u32();
    d.from = r.u32();
    const uint32_t length = r.u32();
    if (!r.ok() || length == 0 || length > kMaxMessageBytes || length > r.remaining()) {
      r.fail();
      break;
    }
    const auto message = r.bytes(length);
    d.message.assign(message.begin(), message.end());
    out.push_back(std::move(d));
  }
  if (!r.ok()) out.clear();
  return r.ok();
}

}  // namespace scribly
