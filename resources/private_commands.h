#pragma once
// Host commands outside the published contract (scribly.idl). Only the host
// that comes with Scribly and the tests issue them; a host built from the
// contract knows nothing of them, so a default installation never runs one.
#include <cstdint>

namespace scribly {

// ExecuteCMD(kCommandRunScript, text, length, 0) plays a scripted session on
// the board as the user's own operations (board/operation_script.h). It is a
// direct call, honoured only when sent (bPost 0) from the thread that created
// the plug-in, so nothing outside the creating process can start one; the
// text is read during the call. S_OK when every line applied.
constexpr uint32_t kCommandRunScript = 0x53435250;  // "SCRP"

}  // namespace scribly
