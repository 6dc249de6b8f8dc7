#include "collab/send_queue.h"

#include <algorithm>
#include <array>
#include <optional>

#include "collab/message_header.h"

namespace scribly {
namespace {

// Level-1 messages that concern one object: creations and changes.
bool isObjectMessage(uint8_t code) { return isObjectCreation(code) || isObjectChange(code); }

bool isTransferMessage(uint8_t code) {
  return code >= toByte(MessageCode::kTransferBegin) && code <= toByte(MessageCode::kTransferEnd);
}

// The key of a transfer message, at offset 1; the page of its end message, at offset 5.
std::optional<uint32_t> transferKey(std::span<const uint8_t> m) { return readPage(m); }
std::optional<uint32_t> transferEndPage(std::span<const uint8_t> m) { return readObjectId(m); }

}  // namespace

void SendQueue::sendWithFlag(std::span<const uint8_t> message, bool queued, uint32_t hostLevel) {
  const uint8_t first = firstByteOf(codeOf(message[0]), queued);
  if (message[0] == first) {
    channel_.sendNow(message, hostLevel);
    return;
  }
  // Most messages are short: their flagged copy needs no allocation.
  std::array<uint8_t, 256> small;
  std::vector<uint8_t> large;
  std::span<uint8_t> copy;
  if (message.size() <= small.size()) {
    copy = std::span<uint8_t>(small.data(), message.size());
  } else {
    large.resize(message.size());
    copy = large;
  }
  std::copy(message.begin(), message.end(), copy.begin());
  copy[0] = first;
  channel_.sendNow(copy, hostLevel);
}

void SendQueue::send(std::span<const uint8_t> message, uint32_t level) {
  channel_.mirror(message, false);
  if (message.empty() || message.size() > kMaxMessageBytes) return;

  if (level == kLevelDirect) {
    sendWithFlag(message, false, kHostLevelDirect);
    return;
  }
  level = std::min(level, kLevelSecond);

  purgeFor(message);

  if (ready_) {
    sendWithFlag(message, true, kHostLevelDirect);
    ready_ = false;
    return;
  }
  std::vector<uint8_t> copy(message.begin(), message.end());
  copy[0] |= kQueuedFlag;
  listFor(level).push_back(std::move(copy));
}

// While the queue is backed up, deleting an object or clearing a page makes
// the waiting updates of that object or page pointless.
void SendQueue::purgeFor(std::span<const uint8_t> message) {
  const uint8_t code = codeOf(message[0]);
  const bool deletesObject = code == toByte(MessageCode::kDeleteObject);
  const bool clearsPage = code == toByte(MessageCode::kClearPage) ||
                          code == toByte(MessageCode::kClearPageWithBackground);
  if (!deletesObject && !clearsPage) return;
  const std::optional<uint32_t> page = readPage(message);
  if (!page) return;
  const std::optional<uint32_t> objectId = deletesObject ? readObjectId(message) : std::nullopt;
  if (deletesObject && !objectId) return;

  // Clearing a page keeps its background file, so its announce and its
  // picture transfer, keyed by the number `ClearPageWithBackground` carries,
  // must still leave.
  std::optional<uint32_t> keptBackground;
  if (code == toByte(MessageCode::kClearPageWithBackground)) keptBackground = readObjectId(message);

  std::erase_if(first_, [&](const std::vector<uint8_t>& entry) {
    if (!isObjectMessage(codeOf(entry[0])) || readPage(entry) != page) return false;
    const std::optional<uint32_t> id = readObjectId(entry);
    if (deletesObject) return id == objectId;
    return !(keptBackground && id == keptBackground);
  });

  // Walk the transfers from the newest: an end message naming the cleared
  // page gives the key whose begin and chunks, queued before it, go too.
  uint32_t currentKey = deletesObject ? *objectId : 0;
  for (auto it = second_.end(); it != second_.begin();) {
    --it;
    const uint8_t entryCode = codeOf((*it)[0]);
    const std::optional<uint32_t> key = transferKey(*it);
    if (!isTransferMessage(entryCode) || !key) continue;
    if (clearsPage && entryCode == toByte(MessageCode::kTransferEnd) &&
        transferEndPage(*it) == page && key != keptBackground) {
      currentKey = *key;
    }
    if (*key == currentKey) it = second_.erase(it);
  }
}

void SendQueue::pump() {
  if (first_.empty() && second_.empty()) {
    ready_ = true;
    return;
  }
  const bool fromFirst = !first_.empty();
  List& list = fromFirst ? first_ : second_;
  channel_.sendNow(list.front(), fromFirst ? kHostLevelQueued : kHostLevelDirect);
  list.pop_front();
}

void SendQueue::clear() {
  first_.clear();
  second_.clear();
  ready_ = true;
}

}  // namespace scribly
