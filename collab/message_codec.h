#pragma once
// Builders and parsers for the messages of messages.h, both driven by each
// message's single layout.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "collab/message_header.h"

namespace scribly {

// The message's bytes with the queued flag clear; empty when it cannot be
// built (a code outside its family, a 0 inside an id list, a chunk over
// kMaxChunkBytes, or a result longer than a message may be).
template <class M>
std::vector<uint8_t> build(const M& message);

// The message, or nullopt when the bytes are not one: another code, too short
// for the fixed fields, a length field larger than what follows, or longer
// than a message may be. Bytes after the last field are ignored.
template <class M>
std::optional<M> parse(std::span<const uint8_t> bytes);

}  // namespace scribly
