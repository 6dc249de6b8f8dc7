#pragma once
// Scripted sessions: the host drives a participant's board with the same local
// operations a user's hands would cause, one per line:
//
//   rect|ellipse|line|arrow|darrow|triangle|half1..half4 X1 Y1 X2 Y2 [key=value...]
//   pencil X Y X Y ...          text X Y words...        hand X Y
//   picture X Y W H             (a generated test picture)
//   colour|fill|width|style @N VALUE     move @N X Y     delete @N
//   addpage [NAME]   page ID   renamepage ID NAME   removepage ID   clear
//   background PATH  scale CODE
//
// Keys: colour=, fill=, width=, style=. "@N" is the N-th object this script
// committed (from 1). Numbers are decimal or 0x-hexadecimal. Lines starting
// with "#" and empty lines are skipped. Scripts come from outside the process,
// so every line is parsed with bounds and a bad line only fails itself.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scribly {

class Board;
class ObjectFactory;
class TextMeasurer;

struct ScriptResult {
  int applied = 0;
  int failed = 0;
  // "line N: reason" for each failed line, at most a few.
  std::vector<std::string> errors;
};

// Scripts longer than this are refused whole.
constexpr size_t kMaxScriptBytes = 1 << 20;

// `measurer` sizes text and hand-symbol boxes (may be null in tests).
ScriptResult runOperationScript(Board& board, const ObjectFactory& factory, std::string_view script,
                                TextMeasurer* measurer = nullptr);

}  // namespace scribly
