#pragma once
// Hand sessions: what a person's hand does to the plug-in's windows, one step
// a line, played by the host as real input.
//
//   as N                          the participant the next lines act on (default 1)
//   click NAME [X Y]              left click in the element's client area (default its centre)
//   rclick NAME [X Y]             the same with the right button
//   drag NAME X1 Y1 X2 Y2 [STEPS] press, move in STEPS moves (default 10), release
//   key NAME VK                   press and release a virtual key in the element's window
//   type TEXT                     the characters of TEXT to the window with the keyboard focus
//   wait MS                       let the windows run for MS milliseconds
//   menu N                        click item N (from 0) of the open pop-up menu
//   open-file FILE                in the open-file dialog that comes up: type the
//                                 file's path into its focused field, press Enter
//   save-file FILE                the same in a save dialog, over the name it proposes
//   answer BUTTON                 click yes, no, ok or cancel in the message box
//                                 or dialog that comes up
//   clip-text TEXT                put TEXT on the clipboard, as another program would
//   clip-picture FILE             put the picture of a bitmap file on the clipboard
//
// NAME is the element's skin name; one with spaces is written in double
// quotes ("view wnd"). A relative FILE is relative to the session file's
// folder (resolveHandFiles). Numbers are decimal, VK also 0x-hexadecimal. Lines
// starting with "#" and empty lines are skipped. A session comes from a file,
// so every line is parsed with bounds, and one bad line refuses the whole
// session: half a session played would leave the boards in a state nobody wrote.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scribly {

enum class HandAction {
  Click,
  RightClick,
  Drag,
  Key,
  Type,
  Wait,
  Menu,
  OpenFile,
  SaveFile,
  Answer,
  ClipText,
  ClipPicture
};

struct HandStep {
  HandAction action = HandAction::Click;
  int line = 0;          // in the session text, from 1
  int participant = 1;   // from 1
  std::string element;   // empty for type and wait
  bool atCentre = true;  // click, rclick: no point given
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int steps = 0;       // drag moves
  uint32_t value = 0;  // key: virtual key; wait: milliseconds; menu: item; answer: button id
  std::string text;    // type, clip-text: UTF-8; open-file, save-file, clip-picture: the file
};

struct HandSession {
  std::vector<HandStep> steps;
  // "line N: reason" when the text was refused; steps is then empty.
  std::string error;
  bool ok() const { return error.empty(); }
};

// Longer sessions are refused whole.
constexpr size_t kMaxHandSessionBytes = 1 << 20;
constexpr int kMaxHandParticipants = 16;
constexpr int kMaxHandDragSteps = 1000;
constexpr uint32_t kMaxHandWaitMs = 60000;
constexpr size_t kMaxHandNameBytes = 127;  // the longest name a window is asked for
constexpr size_t kMaxHandTextBytes = 4096;
constexpr size_t kMaxHandFileBytes = 259;  // a path the dialogs take
constexpr int kMaxHandCoordinate = 10000;  // either sign
constexpr uint32_t kMaxHandMenuItem = 63;

HandSession parseHandSession(std::string_view text);

// Puts `folder` and `separator` before every relative file of the session
// (one that starts with neither a separator nor a drive such as "C:").
void resolveHandFiles(HandSession& session, std::string_view folder, char separator);

}  // namespace scribly
