#include "frame/page_export_win.h"

#include <commdlg.h>

#include <cwchar>
#include <optional>

#include "base/file_bytes.h"
#include "base/png_writer.h"
#include "frame/canvas_view_win.h"
#include "images/picture_files_win.h"
#include "win/text.h"

namespace scribly {
namespace {

// The save dialog over one filter with its extension; the chosen path in the
// system code page, nullopt when cancelled or when no 8-bit path names it.
std::optional<std::string> chooseFile(HWND owner, const wchar_t* filter, const wchar_t* extension,
                                      const std::wstring& proposed, bool& unnamed) {
  wchar_t file[MAX_PATH] = {};
  wcsncpy(file, proposed.c_str(), MAX_PATH - 1);
  OPENFILENAMEW dialog = fileDialog(owner, filter, file);
  dialog.lpstrDefExt = extension;
  dialog.Flags |= OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  std::optional<std::string> path = systemCodePagePath(std::wstring_view(file));
  unnamed = !path;
  return path;
}

std::wstring proposedName(const wchar_t* what) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t name[96];
  swprintf(name, std::size(name), L"Scribly-%ls-%d.%d.%d-%d.%d.%d", what, now.wYear, now.wMonth,
           now.wDay, now.wHour, now.wMinute, now.wSecond);
  return name;
}

}  // namespace

ExportResult exportBoardPdf(Board& board, const std::string& path, const ExportProgress& progress) {
  PageExport how;
  how.draw = [&board](const Page& page, const std::function<bool(const PagePixels&)>& use) {
    std::unique_ptr<PageDib> dib;
    board.withPageShown(
        page, [&](const Page& shown) { dib = paintWholePage(shown, board.pageTemplate(shown)); });
    if (!dib) return false;
    const Size size = dib->size();
    return use(PagePixels{size.width, size.height, size_t(size.width) * 4, dib->bits()});
  };
  how.nameOf = [](const Page& page) { return recode(page.name(), kCodePageSystem, kCodePageUtf8); };
  how.progress = progress;
  return exportPdf(board.pages(), how, path);
}

bool writePagePng(Board& board, const Page& page, const std::string& path) {
  std::unique_ptr<PageDib> dib;
  board.withPageShown(
      page, [&](const Page& shown) { dib = paintWholePage(shown, board.pageTemplate(shown)); });
  if (!dib) return false;
  const Size size = dib->size();
  // The writer takes three bytes a pixel: the DIB's fourth byte goes.
  std::vector<uint8_t> bgr(size_t(size.width) * size.height * 3);
  const uint8_t* from = dib->bits();
  for (size_t i = 0; i < bgr.size() / 3; ++i) {
    bgr[3 * i] = from[4 * i];
    bgr[3 * i + 1] = from[4 * i + 1];
    bgr[3 * i + 2] = from[4 * i + 2];
  }
  const std::vector<uint8_t> png =
      encodePng(static_cast<uint32_t>(size.width), static_cast<uint32_t>(size.height), bgr.data(),
                size_t(size.width) * 3);
  return !png.empty() && writeFileBytes(path, png);
}

bool savePagesPdf(Board& board, HWND owner, const ExportProgress& progress,
                  const std::function<void()>& failed) {
  if (board.pages().empty()) return false;
  bool unnamed = false;
  const std::optional<std::string> path =
      chooseFile(owner, L"PDF(*.pdf)\0*.pdf\0", L"pdf", proposedName(L"pages"), unnamed);
  const bool written = path && exportBoardPdf(board, *path, progress) == ExportResult::Written;
  if ((path || unnamed) && !written && failed) failed();
  return written;
}

bool saveCurrentPagePng(Board& board, HWND owner, const std::function<void()>& failed) {
  const Page* page = board.currentPage();
  if (!page) return false;
  bool unnamed = false;
  const std::optional<std::string> path =
      chooseFile(owner, L"PNG(*.png)\0*.png\0", L"png", proposedName(L"page"), unnamed);
  const bool written = path && writePagePng(board, *page, *path);
  if ((path || unnamed) && !written && failed) failed();
  return written;
}

}  // namespace scribly
