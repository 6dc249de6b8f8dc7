#pragma once
// The fonts controls are drawn in: the system's message font, and fonts made
// from a face and a size in points, as skins and item markup give them.
#include <windows.h>

#include <string_view>

#include "win/handles.h"

namespace scribly {

// The message font of the system, for every control without a font of its own.
HFONT defaultFont();

// `base` (none: the system's choice at 9 points) with the face (UTF-8, or the
// code-page-936 bytes the program writes its Chinese font name in) and the
// size in points at `dpi` put in where they are given.
Font pointFont(HFONT base, std::string_view face, int points, int dpi);

}  // namespace scribly
