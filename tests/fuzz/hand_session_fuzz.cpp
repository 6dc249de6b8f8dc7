// Fuzzes the hand-session reader with any bytes a session file could hold.
// A refused session has no steps and says which line; an accepted one keeps
// every step within the bounds the player relies on.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "host/hand_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scribly;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const HandSession session = parseHandSession(text);
  if (!session.ok()) {
    if (!session.steps.empty()) std::abort();
    if (session.error.rfind("line ", 0) != 0 && session.error.find("1 MiB") == std::string::npos)
      std::abort();
    return 0;
  }
  auto inRange = [](int v) { return v >= -kMaxHandCoordinate && v <= kMaxHandCoordinate; };
  for (const HandStep& s : session.steps) {
    if (s.participant < 1 || s.participant > kMaxHandParticipants) std::abort();
    if (!inRange(s.x1) || !inRange(s.y1) || !inRange(s.x2) || !inRange(s.y2)) std::abort();
    if (s.element.size() > kMaxHandNameBytes || s.text.size() > kMaxHandTextBytes) std::abort();
    const bool needsElement = s.action == HandAction::Click || s.action == HandAction::RightClick ||
                              s.action == HandAction::Drag || s.action == HandAction::Key;
    if (needsElement == s.element.empty()) std::abort();
    const bool file = s.action == HandAction::OpenFile || s.action == HandAction::ClipPicture;
    if (file && (s.text.empty() || s.text.size() > kMaxHandFileBytes)) std::abort();
    if (s.action == HandAction::ClipText && s.text.empty()) std::abort();
    if (s.action == HandAction::Menu && s.value > kMaxHandMenuItem) std::abort();
    if (s.action == HandAction::Drag && (s.steps < 1 || s.steps > kMaxHandDragSteps)) std::abort();
    if (s.action == HandAction::Key && (s.value < 1 || s.value > 254)) std::abort();
    if (s.action == HandAction::Wait && s.value > kMaxHandWaitMs) std::abort();
    if (s.action == HandAction::Type && s.text.empty()) std::abort();
  }
  return 0;
}
