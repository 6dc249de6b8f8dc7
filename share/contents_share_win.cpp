// The contents panel's share: the print job the share dialog asked for, then
// the import of its page pictures as document pages, in turns.
#include <algorithm>
#include <string>
#include <utility>

#include "docprint/print_job.h"
#include "share/contents_panel_win.h"
#include "share/document_share.h"
#include "skin/language_keys.h"
#include "win/folders.h"
#include "win/handles.h"
#include "win/text.h"

namespace scribly {
namespace {

// Import ticks in a row that may make no page (about two seconds: an id
// range on its way from the server arrives within them).
constexpr unsigned kImportAttempts = 100;
// How often an import paints what it changed (the dialog's progress, the
// tree) while its turns keep the message loop from painting.
constexpr ULONGLONG kImportPaintMilliseconds = 100;

std::string toSystem(std::string_view utf8) { return recode(utf8, kCodePageUtf8, kCodePageSystem); }
std::string fromSystem(std::string_view text) {
  return recode(text, kCodePageSystem, kCodePageUtf8);
}

// A folder of the job's own below the temporary root (made when missing),
// never one an earlier job left; empty when none can be made.
std::string freshOutputFolder(const std::string& root, std::string_view name) {
  const std::wstring wideRoot = toWide(root, kCodePageSystem);
  if (wideRoot.empty()) return {};
  createPrivateFolder(wideRoot);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string folder = shareOutputFolder(root, name, attempt);
    if (CreateDirectoryW(toWide(folder, kCodePageSystem).c_str(), nullptr)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

std::vector<FolderEntry> listFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  WIN32_FIND_DATAW found;
  const FindHandle search(
      FindFirstFileW((toWide(folder, kCodePageSystem) + L"*.*").c_str(), &found));
  if (!search) return entries;
  do {
    entries.push_back({fromWide(found.cFileName),
                       (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0});
  } while (FindNextFileW(search.get(), &found) && entries.size() < 100000);
  return entries;
}

// Paints what waits to be painted in this thread's windows, and nothing
// else: no message is handled meanwhile.
void paintThreadWindows() {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM) -> BOOL {
        if (IsWindowVisible(window))
          RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        return TRUE;
      },
      0);
}

}  // namespace

void ContentsPanel::startShare(const std::string& path, int32_t quality) {
  if (!ready_) return;
  stopAsked_ = false;
  // The privileges may have gone while the dialog was open; without them the
  // pages would reach the others without their pictures.
  if (!mayShare()) {
    messageBox(kTextNoShareDocPrivilege, MB_ICONERROR);
    dialog_.reset();
    return;
  }
  const std::string fullPath = fitBuffer(path, kSharePathBytes);
  // Split where the path's characters end: the second byte of a double-byte
  // character may be a backslash.
  const std::string name = fitBuffer(toSystem(fileNameOf(fromSystem(fullPath))), kShareNameBytes);
  if (documentKind(name) == DocumentKind::Picture) {
    around_.board.setBackgroundFile(fullPath);
    dialog_.reset();
    return;
  }
  documentName_ = name;
  if (findDocument(name)) {
    messageBox("Scribly_MessageBox_AlreadyShare_Text", MB_ICONEXCLAMATION);
    dialog_.reset();
    showAgain();
    return;
  }
  DocPrinter* printer = printer_.get();
  if (printer) printer->setQuality(printQualityFor(name, quality));
  outputFolder_ = freshOutputFolder(around_.temporaryRoot, name);
  if (printer) printer->setOutputFolder(outputFolder_.c_str());
  ready_ = false;
  if (!printer || outputFolder_.empty() || printer->printDocument(fullPath.c_str()) == 0) {
    messageBox(kTextPrintError, MB_ICONEXCLAMATION);
    dialog_.reset();
    ready_ = true;
    return;
  }
  job_ = printer->jobNumber();
  dialog_.printStage(PrintStage::Printing);
}

void ContentsPanel::stopShare() {
  stopAsked_ = true;
  if (printer_.get()) printer_.get()->stop();
}

void ContentsPanel::printFinished(WPARAM job, bool succeeded) {
  // Only the printer's report of the job it runs for us counts: anyone can
  // post the message, nobody else knows the job's number. A report for a job
  // this panel no longer waits for (the board was reset) is dropped too.
  if (job == 0 || job != job_ || ready_ || !pictures_.empty()) return;
  job_ = 0;
  if (succeeded) {
    dialog_.printStage(PrintStage::Printed);
    startImport();
    return;
  }
  dialog_.printStage(PrintStage::Failed);
  dialog_.reset();
  ready_ = true;
}

void ContentsPanel::startImport() {
  if (outputFolder_.empty() || documentName_.empty()) return;
  const std::string name = fromSystem(documentName_);
  documentItem_ = tree_.insert(nullptr, TreeItemStyle::Red, name, kImageDocument, kDocumentData);
  pictures_ = importPictureList(name, listFolder(outputFolder_));
  nextPicture_ = 0;
  failedTicks_ = 0;
  dialog_.progress(0, pictures_.size());
  importing_ = true;
  paintedAt_ = GetTickCount64();
  SetTimer(window(), kImportTimer, kImportMilliseconds, nullptr);
  turnPosted_ = PostMessageW(window(), kImportTurn, 0, 0);
}

void ContentsPanel::importTurn() {
  // A tick that comes late, or a turn anyone may post, does nothing unless
  // an import runs.
  if (!importing_) return;
  // Pages follow one another for up to the turn's time, unless input or a
  // sent message waits; a peer's messages wait for the turn's end.
  const ULONGLONG start = GetTickCount64();
  bool made = false;
  while ((made = importPage()) && nextPicture_ < pictures_.size() &&
         GetTickCount64() - start < kImportMilliseconds &&
         HIWORD(GetQueueStatus(QS_INPUT | QS_SENDMESSAGE)) == 0) {
  }
  // The dialog is told once a turn: it shows nothing in between.
  if (importing_) {
    dialog_.uploading(static_cast<uint32_t>(std::min(nextPicture_ + 1, pictures_.size())));
    dialog_.progress(nextPicture_, pictures_.size());
  }
  // No page yet (no id): the next tick tries again. After the last page the
  // end waits for the tick too, which comes once no message is queued: the
  // pages' messages have gone by then, before the dialog hides.
  if (!made || !importing_ || nextPicture_ >= pictures_.size()) return;
  // Otherwise the next turn is posted: it comes once the messages queued
  // before it are handled (a peer's answers to the pages' transfers), where
  // the tick would wait for as long as they keep coming. Input goes first:
  // the tick then comes after it. Paint would wait for the import's end, so
  // the import paints now and then.
  const DWORD waiting = HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT));
  if ((waiting & QS_PAINT) && GetTickCount64() - paintedAt_ >= kImportPaintMilliseconds) {
    paintThreadWindows();
    paintedAt_ = GetTickCount64();
  }
  if (!(waiting & QS_INPUT) && !turnPosted_)
    turnPosted_ = PostMessageW(window(), kImportTurn, 0, 0);
}

bool ContentsPanel::importPage() {
  // Without the privileges (withdrawn meanwhile) a page would reach the
  // others blank: the import ends with the pages made so far.
  if (stopAsked_ || nextPicture_ >= pictures_.size() || !mayShare()) {
    finishImport();
    return false;
  }
  const uint32_t number = static_cast<uint32_t>(nextPicture_ + 1);
  Board& board = around_.board;
  const uint32_t page =
      board.addDocumentPage(fitBuffer(documentPageLabel(documentName_, number), kShareNameBytes));
  // No page this time (no id yet, or the page list is full): the same
  // picture is tried again on the next tick, for a while.
  if (page == 0) {
    if (++failedTicks_ < kImportAttempts) return false;
    // Ended before the box: its modal loop would run further ticks.
    finishImport();
    messageBox(kTextPrintError, MB_ICONEXCLAMATION);
    return false;
  }
  failedTicks_ = 0;
  if (firstImportedPage_ == 0) firstImportedPage_ = page;
  // The board tells the page's background ready within the call: its item
  // is known, no walk through the tree needed.
  importedItem_ = {page, tree_.insert(documentItem_, TreeItemStyle::Blue, std::to_string(number),
                                      kImagePage, page)};
  board.setDocumentBackground(
      fitBuffer(outputFolder_ + toSystem(pictures_[nextPicture_]), kSharePathBytes), page);
  importedItem_ = {};
  ++nextPicture_;
  return true;
}

void ContentsPanel::abandonShare() {
  if (!window()) return;
  KillTimer(window(), kImportTimer);
  importing_ = false;
  if (!ready_ && printer_.get()) printer_.get()->stop();
  dialog_.reset();
  // The printer is done with the pictures an import reads.
  if (!pictures_.empty()) deleteFolderTree(around_.temporaryRoot);
  pictures_.clear();
  nextPicture_ = 0;
  outputFolder_.clear();
  documentName_.clear();
  documentItem_ = nullptr;
  firstImportedPage_ = 0;
  job_ = 0;
  ready_ = true;
}

void ContentsPanel::finishImport() {
  KillTimer(window(), kImportTimer);
  importing_ = false;
  dialog_.reset();
  pictures_.clear();
  nextPicture_ = 0;
  ready_ = true;
  showAgain();
  if (documentItem_ && !tree_.expanded(documentItem_))
    tree_.expand(documentItem_, true, kImageDocumentOpen);
  documentItem_ = nullptr;
  if (const uint32_t first = std::exchange(firstImportedPage_, 0))
    around_.board.goToPage(first, true);
  deleteFolderTree(around_.temporaryRoot);
}

}  // namespace scribly
