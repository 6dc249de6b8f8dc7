#include "collab/conference_channel.h"

#include "collab/message_header.h"

namespace scribly {

bool isMirroredCode(uint8_t code) {
  if (isObjectCreation(code) || isObjectChange(code)) return true;
  switch (static_cast<MessageCode>(code)) {
    case MessageCode::kSetBackgroundByName:
    case MessageCode::kClearPage:
    case MessageCode::kCurrentPage:
    case MessageCode::kAddPage:
    case MessageCode::kRemovePage:
    case MessageCode::kRenamePage:
    case MessageCode::kRenamePageAndRefresh:
    case MessageCode::kCreateNamedPage:
    case MessageCode::kRemoveDocumentPages:
    case MessageCode::kClearPageWithBackground:
    // How large a page's picture shows: a board rebuilt from the stream
    // shows it so too.
    case MessageCode::kBackgroundScale:
      return true;
    default:
      return false;
  }
}

void ConferenceChannel::sendNow(std::span<const uint8_t> message, uint32_t hostLevel) {
  if (message.empty()) return;
  host_.sendTo(kWhiteboardType, peerToPeer_ ? peerId_ : 0, message, hostLevel);
}

void ConferenceChannel::mirror(std::span<const uint8_t> message, bool force) {
  if (message.empty() || !isMirroredCode(codeOf(message[0]))) return;
  if (force || mirroring()) host_.hostMessage(kMirrorCommand, message);
}

}  // namespace scribly
