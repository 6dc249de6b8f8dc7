#pragma once
// The board taken home: every page as one PDF, or the current page as a PNG
// file, each page drawn by the view's own painting (paintWholePage), so the
// file shows what the view shows. The contents menu's commands ask for the
// file; the export tool names it.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

#include "board/board.h"
#include "images/page_export.h"

namespace scribly {

// Called before the first page and after each page.
using ExportProgress = std::function<void(size_t done, size_t pages)>;

// Every page of `board` in page order into the PDF at `path` (system code
// page), each named by its page's name and drawn as the view would show it
// turned to (Board::withPageShown).
ExportResult exportBoardPdf(Board& board, const std::string& path,
                            const ExportProgress& progress = {});

// The page as a PNG file at `path` (system code page); false when it could
// not be drawn or written.
bool writePagePng(Board& board, const Page& page, const std::string& path);

// The contents menu's "save all pages as PDF" and "save the page as PNG":
// the save dialog, then the file. False when cancelled or failed; a failure
// is also reported with the frame's box (`failed`).
bool savePagesPdf(Board& board, HWND owner, const ExportProgress& progress,
                  const std::function<void()>& failed);
bool saveCurrentPagePng(Board& board, HWND owner, const std::function<void()>& failed);

}  // namespace scribly
