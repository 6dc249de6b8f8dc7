#pragma once
// Picture files: the open and save dialogs, and a page or one object written
// as a bitmap file at the screen's colour depth.
#include <windows.h>
// clang-format off
#include <commdlg.h>
// clang-format on

#include <functional>
#include <optional>
#include <string>

#include "board/board.h"
#include "board/page.h"
#include "objects/board_object.h"

namespace scribly {

// A file dialog with one filter over `file`, a path buffer of MAX_PATH
// characters; the host's working folder stays where the host put it.
OPENFILENAMEW fileDialog(HWND owner, const wchar_t* filter, wchar_t* file);

// The open dialog for a bitmap, JPEG or GIF file; the chosen path in UTF-8,
// nullopt when cancelled.
std::optional<std::string> choosePictureToOpen(HWND owner);

// The save dialog for a bitmap file, proposing `proposedName`; the chosen
// path, nullopt when cancelled.
std::optional<std::wstring> choosePictureToSave(HWND owner, const std::wstring& proposedName);

// "Scribly-<page>-<year>.<month>.<day>-<hour>.<minute>.<second>".
std::wstring proposedPictureName(uint32_t pageId, const SYSTEMTIME& local);

// A path whose last three characters are not "bmp" in any case gets ".bmp".
std::wstring withBmpExtension(std::wstring path);

// Bits per pixel times planes of the display.
int screenColourDepth();

// The whole page (paper, background picture, every object) or one object
// drawn at the origin on the page's paper colour, written as a bitmap file at
// the bit count for a screen of `screenBits`, with a colour table up to 8
// bits. False when nothing could be drawn or the file not written whole.
bool writePagePicture(const Page& page, const std::wstring& path, int screenBits,
                      const BackgroundPicture* tile = nullptr);
bool writeObjectPicture(BoardObject& object, uint32_t paperColour, const std::wstring& path,
                        int screenBits);

using SaveChooser =
    std::function<std::optional<std::wstring>(HWND owner, const std::wstring& proposedName)>;

// Asks for a file name and writes the page, or the object of `page`, there at
// the screen's depth. False when there is no page, the dialog is cancelled or
// the file is not written.
bool savePagePicture(const Page* page, HWND owner, const SaveChooser& choose = choosePictureToSave,
                     const BackgroundPicture* tile = nullptr);
bool saveObjectPicture(const Page* page, BoardObject& object, HWND owner,
                       const SaveChooser& choose = choosePictureToSave);

// The frame's "save" element and "saveto" menu item: the current page, or
// the given object on it.
bool savePage(Board& board, HWND owner);
bool saveObject(Board& board, BoardObject& object, HWND owner);

}  // namespace scribly
