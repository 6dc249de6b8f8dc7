#include "share/contents_panel_win.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <winspool.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

#include "share/document_share.h"
#include "share/tree_items.h"
#include "win/folders.h"
#include "win/messages.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr std::string_view kInfoTitle = "Info Title";
constexpr std::string_view kInfoContents = "Info Contents";
constexpr std::string_view kStartButton = "btn start share";
constexpr std::string_view kStopButton = "btn stop share";
constexpr std::string_view kPathEdit = "scribly tip edit";
constexpr std::string_view kQualityPictureRadio = "scribly_quality_text_pic";
constexpr std::string_view kQualityTextRadio = "scribly_quality_text";
constexpr std::string_view kChooseButton = "btn chose sharedoc";
constexpr std::string_view kProgressBar = "share progress";
constexpr std::string_view kTreeName = "vdtree";
constexpr std::string_view kContentsMenu = "contents menu";
// The panel's own: start editing the label of the item being renamed.
constexpr UINT kBeginRename = WM_APP + 0x10;

constexpr std::string_view kResultKeys[] = {"Scribly_Tip_Printing_Text",
                                            "Scribly_MessageBox_PrintResultOK_Text",
                                            "Scribly_MessageBox_PrintResultFailed_Text"};

// Item data of the roots and the document items.
constexpr LPARAM kSystemRootData = 10;
constexpr LPARAM kUserRootData = 20;
constexpr LPARAM kDocumentData = 30;
constexpr uint32_t kSystemPages = 6;
// Ids of one document handed to the page list, as the removal message holds.
constexpr size_t kMaxDocumentPages = 1023;
constexpr size_t kPathBytes = 260;
constexpr size_t kNameBytes = 128;
// Import ticks in a row that may make no page (about two seconds: an id
// range on its way from the server arrives within them).
constexpr unsigned kImportAttempts = 100;

// The contents tip: the item's own markup inside a blue font. The "/>"
// after the font element is part of it; the engine shows only the words.
constexpr char kContentsTipFormat[] = "<tip><font size=\"10\" color=\"0,0,255\">%s</font>/></tip>";

std::string toSystem(std::string_view utf8) { return recode(utf8, kCodePageUtf8, kCodePageSystem); }
std::string fromSystem(std::string_view text) {
  return recode(text, kCodePageSystem, kCodePageUtf8);
}

std::string cut(std::string text, size_t bytes) {
  if (text.size() >= bytes) text.resize(bytes - 1);
  return text;
}

void deleteTree(const std::string& folder) { deleteFolderTree(toWide(folder, kCodePageSystem)); }

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
  HANDLE search = FindFirstFileW((toWide(folder, kCodePageSystem) + L"*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    entries.push_back({fromWide(found.cFileName),
                       (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0});
  } while (FindNextFileW(search, &found) && entries.size() < 100000);
  FindClose(search);
  return entries;
}

// The text of a skin control, UTF-8.
std::string controlText(SkinElement* element, size_t bytes) {
  if (!element || !element->control()) return {};
  std::string text(bytes, '\0');
  element->control()->getText(text.data(), text.size());
  text.resize(std::char_traits<char>::length(text.c_str()));
  return text;
}

}  // namespace

// ------------------------------------------------------------- the printer

PrinterHandle PrinterHandle::load(const std::string& folder) {
  // Loaded once and kept for the process, as the skin engine is: every load
  // starts the library's own C++ runtime, whose start-up memory unloading
  // never gives back, so a library loaded per conference grows the host.
  static std::mutex lock;
  static HMODULE library = nullptr;
  {
    std::lock_guard guard(lock);
    if (!library)
      library = LoadLibraryW((toWide(folder, kCodePageSystem) + L"\\" + kDocPrintModule).c_str());
  }
  if (!library) return {};
  auto create = reinterpret_cast<CreateDocPrintFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, kCreateDocPrintName)));
  DocPrinter* printer = create ? create() : nullptr;
  return printer ? PrinterHandle(nullptr, printer) : PrinterHandle();
}

PrinterHandle& PrinterHandle::operator=(PrinterHandle&& other) noexcept {
  if (this != &other) {
    reset();
    library_ = std::exchange(other.library_, nullptr);
    printer_ = std::exchange(other.printer_, nullptr);
  }
  return *this;
}

void PrinterHandle::reset() {
  if (printer_) printer_->release();
  if (library_) FreeLibrary(library_);
  printer_ = nullptr;
  library_ = nullptr;
}

void setUpSharePrinter() {
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  wchar_t name[] = L"VardenPrinter";
  if (!OpenPrinterW(name, &printer, &defaults) || !printer) return;
  DWORD needed = 0;
  BYTE probe[4];
  GetPrinterW(printer, 2, probe, sizeof probe, &needed);
  if (needed >= sizeof(PRINTER_INFO_2W)) {
    std::vector<BYTE> buffer(needed);
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    if (GetPrinterW(printer, 2, buffer.data(), needed, &needed) && info->pDevMode) {
      DEVMODEW& mode = *info->pDevMode;
      mode.dmFields |= DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_SCALE | DM_PRINTQUALITY;
      mode.dmPaperSize = 0;  // custom, 244.8 mm x 185.5 mm at half scale
      mode.dmPaperLength = 2448;
      mode.dmPaperWidth = 1855;
      mode.dmScale = 50;
      mode.dmPrintQuality = 100;
      SetPrinterW(printer, 2, buffer.data(), 4);
    }
  }
  ClosePrinter(printer);
}

// ------------------------------------------------------------- tip panel

TipPanel::TipPanel(SkinSystem& skin, HWND owner, ShareFlags& flags)
    : skin_(skin), owner_(owner), flags_(flags), quality_(kQualityPicture) {
  uploadTitle_ = skin_.text("Scribly_Tip_UpLoadShareDoc_Text");
  window_ = skin_.createWindow(kTipPanelWindowName, owner, this);
  if (!window()) return;
  ShowWindow(window(), SW_HIDE);
  enableStart(false);
  if (SkinElement* edit = find(kPathEdit)) edit->send(EM_SETLIMITTEXT, kPathBytes - 1);
  if (SkinElement* radio = find(kQualityPictureRadio)) radio->send(BM_SETCHECK, BST_CHECKED);
  if (SkinElement* bar = find(kProgressBar)) bar->show(false);
}

TipPanel::~TipPanel() { window_.reset(); }

LRESULT TipPanel::onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                                bool& handled) {
  if (&source != &source.ownerWindow()) return 0;
  switch (message) {
    case WM_PLUGIN_TIP:
      handled = true;
      tip(wParam, lParam);
      return 0;
    case WM_CLOSE:
      handled = true;
      stop();
      return 0;
    case WM_COMMAND: {
      SkinElement* control = lParam ? source.find(reinterpret_cast<HWND>(lParam)) : nullptr;
      if (!control) return 0;
      const UINT code = HIWORD(wParam);
      if (code == EN_CHANGE && control->name() == kPathEdit) {
        enableStart(!controlText(control, kPathBytes).empty());
      } else if (code == BN_CLICKED && control->name() == kChooseButton) {
        chooseDocument();
      } else if (code == BN_CLICKED && control->name() == kStartButton) {
        start();
      } else if (code == BN_CLICKED && control->name() == kStopButton) {
        stop();
      }
      return 0;
    }
    default:
      return 0;
  }
}

LRESULT TipPanel::onNamedCommand(SkinElement& source, std::string_view name, std::string_view) {
  if (name != "SelectPrintQuality") return 0;
  if (source.name() == kQualityTextRadio) quality_ = kQualityText;
  if (source.name() == kQualityPictureRadio) quality_ = kQualityPicture;
  return 0;
}

void TipPanel::tip(WPARAM mode, LPARAM lParam) {
  const auto text = [lParam] {
    return lParam ? std::string(reinterpret_cast<const char*>(lParam)) : std::string();
  };
  switch (mode) {
    case kTipReset:
      ShowWindow(window(), SW_HIDE);
      setText(kInfoTitle, {});
      setText(kInfoContents, {});
      setText(kPathEdit, {});
      enableStart(false);
      if (SkinElement* bar = find(kProgressBar)) {
        bar->send(PBM_SETPOS, 0);
        bar->show(false);
      }
      return;
    case kTipResult:
      if (lParam >= 0 && lParam < static_cast<LPARAM>(std::size(kResultKeys)))
        title_ = skin_.text(kResultKeys[lParam], kNameBytes);
      setText(kInfoTitle, title_);
      break;
    case kTipUploading:
      setText(kInfoTitle, uploadTitle_);
      setText(kInfoContents, cut(text(), kNameBytes));
      break;
    case kTipChoose:
      flags_.stop = false;
      showCentred();
      // The dialog opens with "choose" in focus: Space or Return browses.
      if (SkinElement* choose = find(kChooseButton); choose && choose->window())
        SetFocus(choose->window());
      return;
    case kTipPath:
      setText(kPathEdit, cut(text(), kPathBytes));
      flags_.stop = false;
      break;
    case kTipProgress:
      if (SkinElement* bar = find(kProgressBar)) {
        bar->send(PBM_SETRANGE32, 0, HIWORD(lParam));
        bar->send(PBM_SETPOS, LOWORD(lParam));
        bar->show(true);
      }
      return;
    default:
      return;
  }
  showCentred();
}

void TipPanel::showCentred() {
  if (!window()) return;
  RECT owner{}, own{};
  if (owner_ && GetWindowRect(owner_, &owner) && GetWindowRect(window(), &own)) {
    const int width = own.right - own.left, height = own.bottom - own.top;
    MoveWindow(window(), owner.left + (owner.right - owner.left - width) / 2,
               owner.top + (owner.bottom - owner.top - height) / 2, width, height, TRUE);
  }
  ShowWindow(window(), SW_SHOW);
}

void TipPanel::chooseDocument() {
  wchar_t file[kPathBytes] = {};
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window();
  dialog.lpstrFilter =
      L"Microsoft Office(*.ppt;*.pptx;*doc;*docx;*xls;*xlsx)\0*.ppt;*.pptx;*doc;*docx;*xls;*xlsx\0"
      L"Text file(*.txt;*.rtf)\0*.txt;*.rtf\0"
      L"Picture Files(*.bmp;*.jpg;*.jpeg;*.gif)\0*.bmp;*.jpg;*.jpeg;*.gif\0"
      L"All Files(*.*)\0*.*\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = kPathBytes;
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&dialog)) return;
  // The edit's change notification enables "start".
  setText(kPathEdit, cut(fromWide(file), kPathBytes));
}

void TipPanel::start() {
  // A share sends a file to everyone: only the user's own click starts one,
  // never one posted or sent by another program.
  if (!skin_.raisedByUser()) return;
  const std::string typed = controlText(find(kPathEdit), kPathBytes);
  if (typed.empty()) return;
  const std::optional<std::string> path = systemCodePagePath(typed);
  // The printer takes 8-bit paths; one that cannot be written so names no file.
  if (!path || path->size() >= kPathBytes) {
    if (window_) window_->messageBox(kTextPrintError, MB_ICONEXCLAMATION);
    return;
  }
  enableStart(false);
  if (!contents_) return;
  flags_.request = ShareFlags::Request{*path, quality_};
  SendMessageW(contents_, WM_PLUGIN_START_SHARING, 0, 0);
}

void TipPanel::stop() {
  flags_.stop = true;
  if (window()) SendMessageW(window(), WM_PLUGIN_TIP, kTipReset, 0);
  if (contents_) SendMessageW(contents_, WM_PLUGIN_STOP_SHARING, 0, 0);
}

void TipPanel::setText(std::string_view name, const std::string& text) {
  if (SkinElement* element = find(name); element && element->control())
    element->control()->setText(text.c_str());
}

void TipPanel::enableStart(bool enabled) {
  if (SkinElement* button = find(kStartButton)) button->enable(enabled);
}

// ------------------------------------------------------------- contents panel

ContentsPanel::ContentsPanel(SkinSystem& skin, Surroundings surroundings, PrinterHandle printer,
                             ShareFlags& flags)
    : skin_(skin),
      around_(std::move(surroundings)),
      printer_(std::move(printer)),
      flags_(flags),
      face_(recode(kTreeFaceCp936, kCodePageChinese, kCodePageUtf8)) {
  window_ = skin_.createWindow(kContentsPanelWindowName, around_.frame, this);
  if (!window()) return;
  ShowWindow(window(), SW_HIDE);
  menu_ = window_->menu(kContentsMenu);
  if (tree() && !around_.pictureFolder.empty())
    SendMessageW(tree(), kTreeSetPictureFolder, 0,
                 reinterpret_cast<LPARAM>(around_.pictureFolder.c_str()));
  buildTree();
  if (printer_.get()) printer_.get()->setNotifyWindow(window(), WM_PLUGIN_PRINT_FINISHED);
}

ContentsPanel::~ContentsPanel() {
  if (window()) KillTimer(window(), kImportTimer);
  // The printer may still report to the window; it goes first.
  printer_ = PrinterHandle();
  window_.reset();
}

void ContentsPanel::buildTree() {
  if (!tree()) return;
  SendMessageW(tree(), WM_SETREDRAW, FALSE, 0);
  systemRoot_ = insertItem(nullptr, TreeItemStyle::Red,
                           skin_.text("Scribly_Contents_SystemPageTitle", kNameBytes),
                           kImageSystemRoot, kSystemRootData);
  for (uint32_t page = 1; page <= kSystemPages; ++page)
    insertItem(systemRoot_, TreeItemStyle::Blue, std::to_string(page), kImagePage, page);
  userRoot_ = insertItem(nullptr, TreeItemStyle::Red,
                         skin_.text("Scribly_Contents_UserPageTitle", kNameBytes), kImageUserRoot,
                         kUserRootData);
  SendMessageW(tree(), WM_SETREDRAW, TRUE, 0);
}

void ContentsPanel::showAgain(HWND below) {
  if (!window()) return;
  RECT box{};
  if (below && GetWindowRect(below, &box)) {
    SetWindowPos(window(), HWND_TOP, box.left, box.bottom, 0, 0, SWP_NOSIZE | SWP_NOREDRAW);
  } else if (around_.frame && GetWindowRect(around_.frame, &box)) {
    SetWindowPos(window(), nullptr, box.left, box.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
  }
  ShowWindow(window(), SW_SHOW);
}

LRESULT ContentsPanel::onSkinMessage(SkinElement& source, UINT message, WPARAM wParam,
                                     LPARAM lParam, bool& handled) {
  if (source.name() == kTreeName && source.window() == tree()) {
    if (message == kTreeNotify && wParam == 1) {
      handled = true;
      treeNotified(lParam);
    } else if (message == kTreeTipRequest) {
      handled = true;
      return tip(reinterpret_cast<char*>(wParam), static_cast<size_t>(lParam));
    }
    return 0;
  }
  if (&source != &source.ownerWindow()) return 0;
  handled = true;
  switch (message) {
    case WM_PLUGIN_START_SHARING:
      if (std::optional<ShareFlags::Request> asked = std::exchange(flags_.request, std::nullopt))
        startShare(asked->path.c_str(), asked->quality);
      return 0;
    case WM_PLUGIN_PRINT_FINISHED:
      printFinished(wParam, lParam == kPrintSucceeded);
      return 0;
    case WM_PLUGIN_STOP_SHARING:
      if (printer_.get()) printer_.get()->stop();
      handled = false;
      return 0;
    case WM_PLUGIN_CONTENTS_COMMAND:
      contentsCommand(lParam, true);
      return 0;
    case WM_PLUGIN_CONTENTS_CHANGED:
      contentsChanged(wParam, lParam);
      return 0;
    case WM_PLUGIN_NAMED_PAGE:
      namedPageCreated(static_cast<uint32_t>(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == kImportTimer) {
        importTick();
        return 0;
      }
      break;
    case kBeginRename:
      if (renamed_) {
        SetFocus(tree());
        SendMessageW(tree(), TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(renamed_));
      }
      return 0;
    case WM_CLOSE:
      // Closing only hides: the frame shows the panel again.
      ShowWindow(window(), SW_HIDE);
      return 0;
  }
  handled = false;
  return 0;
}

LRESULT ContentsPanel::onNamedCommand(SkinElement& source, std::string_view name,
                                      std::string_view argument) {
  if (name == "PageOpt") contentsCommand(static_cast<LPARAM>(pageOptionOf(source.name())), false);
  if (name == kContentsMenu) menuCommand(argument);
  return 0;
}

LRESULT ContentsPanel::sendTip(WPARAM mode, LPARAM lParam) {
  return tip_ ? SendMessageW(tip_, WM_PLUGIN_TIP, mode, lParam) : 0;
}

int ContentsPanel::messageBox(std::string_view key, UINT flags) {
  return window_ ? window_->messageBox(key, flags) : 0;
}

// ------------------------------------------------------------- sharing

void ContentsPanel::contentsCommand(LPARAM code, bool fromMessage) {
  if (code == kShareDocument) shareDocument();
  if (code == kAddPage) addPage(fromMessage);
  if (code == kSetUpPrinter) setUpSharePrinter();
}

bool ContentsPanel::mayShare() const {
  const Privileges& allowed = around_.board.privileges();
  return allowed.pages && allowed.write;
}

void ContentsPanel::shareDocument() {
  if (!mayShare()) {
    messageBox(kTextNoShareDocPrivilege, MB_ICONERROR);
    return;
  }
  ready_ = true;
  sendTip(kTipChoose);
}

void ContentsPanel::addPage(bool showPanel) {
  Board& board = around_.board;
  if (const uint32_t page = board.addUserPage()) board.goToPage(page, true);
  if (showPanel) showAgain();
  if (userRoot_ && !expanded(userRoot_)) {
    SendMessageW(tree(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(userRoot_));
    setImage(userRoot_, kImageUserRootOpen);
  }
}

void ContentsPanel::startShare(const char* path, int32_t quality) {
  if (!ready_) return;
  // The privileges may have gone while the dialog was open; without them the
  // pages would reach the others without their pictures.
  if (!mayShare()) {
    messageBox(kTextNoShareDocPrivilege, MB_ICONERROR);
    sendTip(kTipReset);
    return;
  }
  const std::string fullPath = cut(path, kPathBytes);
  // Split where the path's characters end: the second byte of a double-byte
  // character may be a backslash.
  const std::string name = cut(toSystem(documentFileName(fromSystem(fullPath))), kNameBytes);
  if (isPictureDocument(name)) {
    around_.board.setBackgroundFile(fullPath);
    sendTip(kTipReset);
    return;
  }
  documentName_ = name;
  if (findDocument(name)) {
    messageBox("Scribly_MessageBox_AlreadyShare_Text", MB_ICONEXCLAMATION);
    sendTip(kTipReset);
    showAgain();
    return;
  }
  DocPrinter* printer = printer_.get();
  if (printer) printer->setQuality(printQualityFor(name, quality));
  outputFolder_ = freshOutputFolder(around_.temporaryRoot, name);
  if (printer) printer->setOutputFolder(outputFolder_.c_str());
  ready_ = false;
  if (!printer || outputFolder_.empty() || printer->printDocument(fullPath.c_str()) == 0) {
    messageBox("Scribly_MessageBox_PrintError_Text", MB_ICONEXCLAMATION);
    sendTip(kTipReset);
    ready_ = true;
    return;
  }
  job_ = printer->jobNumber();
  sendTip(kTipResult, 0);
}

void ContentsPanel::printFinished(WPARAM job, bool succeeded) {
  // Only the printer's report of the job it runs for us counts: anyone can
  // post the message, nobody else knows the job's number. A report for a job
  // this panel no longer waits for (the board was reset) is dropped too.
  if (job == 0 || job != job_ || ready_ || !pictures_.empty()) return;
  job_ = 0;
  if (succeeded) {
    sendTip(kTipResult, 1);
    startImport();
    return;
  }
  sendTip(kTipResult, 2);
  sendTip(kTipReset);
  ready_ = true;
}

void ContentsPanel::startImport() {
  if (outputFolder_.empty() || documentName_.empty()) return;
  const std::string name = fromSystem(documentName_);
  documentItem_ = insertItem(nullptr, TreeItemStyle::Red, name, kImageDocument, kDocumentData);
  pictures_ = importPictureList(name, listFolder(outputFolder_));
  nextPicture_ = 0;
  failedTicks_ = 0;
  sendTip(kTipProgress, MAKELPARAM(0, pictures_.size()));
  SetTimer(window(), kImportTimer, kImportMilliseconds, nullptr);
}

void ContentsPanel::importTick() {
  // Without the privileges (withdrawn meanwhile) a page would reach the
  // others blank: the import ends with the pages made so far.
  if (flags_.stop || nextPicture_ >= pictures_.size() || !mayShare()) {
    finishImport();
    return;
  }
  const uint32_t number = static_cast<uint32_t>(nextPicture_ + 1);
  const std::string digits = std::to_string(number);
  sendTip(kTipUploading, reinterpret_cast<LPARAM>(digits.c_str()));
  Board& board = around_.board;
  const uint32_t page =
      board.addDocumentPage(cut(documentPageLabel(documentName_, number), kNameBytes));
  // No page this time (no id yet, or the page list is full): the same
  // picture is tried again on the next tick, for a while.
  if (page == 0) {
    if (++failedTicks_ < kImportAttempts) return;
    // Ended before the box: its modal loop would run further ticks.
    finishImport();
    messageBox(kTextPrintError, MB_ICONEXCLAMATION);
    return;
  }
  failedTicks_ = 0;
  if (flags_.firstImportedPage == 0) flags_.firstImportedPage = page;
  insertItem(documentItem_, TreeItemStyle::Blue, digits, kImagePage, page);
  board.setDocumentBackground(cut(outputFolder_ + toSystem(pictures_[nextPicture_]), kPathBytes),
                              page);
  ++nextPicture_;
  sendTip(kTipProgress, MAKELPARAM(nextPicture_, pictures_.size()));
}

void ContentsPanel::abandonShare() {
  if (!window()) return;
  KillTimer(window(), kImportTimer);
  if (!ready_ && printer_.get()) printer_.get()->stop();
  sendTip(kTipReset);
  // The printer is done with the pictures an import reads.
  if (!pictures_.empty()) deleteTree(around_.temporaryRoot);
  pictures_.clear();
  nextPicture_ = 0;
  outputFolder_.clear();
  documentName_.clear();
  documentItem_ = nullptr;
  flags_.firstImportedPage = 0;
  job_ = 0;
  ready_ = true;
}

void ContentsPanel::boardReset() {
  abandonShare();
  if (!tree()) return;
  menuItem_ = renamed_ = nullptr;
  SendMessageW(tree(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  buildTree();
}

void ContentsPanel::finishImport() {
  KillTimer(window(), kImportTimer);
  sendTip(kTipReset);
  pictures_.clear();
  nextPicture_ = 0;
  ready_ = true;
  showAgain();
  if (documentItem_ && !expanded(documentItem_)) {
    SendMessageW(tree(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(documentItem_));
    setImage(documentItem_, kImageDocumentOpen);
  }
  documentItem_ = nullptr;
  if (const uint32_t first = std::exchange(flags_.firstImportedPage, 0))
    around_.board.goToPage(first, true);
  deleteTree(around_.temporaryRoot);
}

// ------------------------------------------------------------- the tree

void ContentsPanel::contentsChanged(WPARAM kind, LPARAM data) {
  const auto page = static_cast<uint32_t>(data);
  switch (static_cast<ContentsChange>(kind)) {
    case ContentsChange::PageRemoved:
      if (HTREEITEM item = childWithData(userRoot_, data)) removeItem(item);
      return;
    case ContentsChange::PageAdded: {
      const Page* added = around_.board.findPage(page);
      if (!added || page <= kSystemPages || childWithData(userRoot_, data)) return;
      insertItem(userRoot_, TreeItemStyle::Blue, fromSystem(added->name()), kImagePage, data);
      return;
    }
    case ContentsChange::PageRenamed: {
      const Page* renamed = around_.board.findPage(page);
      HTREEITEM item = childWithData(userRoot_, data);
      if (!renamed || !item) return;
      const std::string markup =
          treeItemMarkup(TreeItemStyle::Blue, face_, fromSystem(renamed->name()));
      SendMessageW(tree(), kTreeSetItemMarkup, reinterpret_cast<WPARAM>(item),
                   reinterpret_cast<LPARAM>(markup.c_str()));
      return;
    }
    case ContentsChange::DocumentPagesRemoved: {
      // The name comes from the board's side, never through the message.
      const std::optional<std::string> name =
          around_.takeRemovedDocument ? around_.takeRemovedDocument() : std::nullopt;
      if (!name) return;
      if (HTREEITEM document = findDocument(cut(*name, kNameBytes * 2))) {
        deleteChildren(document);
        removeItem(document);
      }
      return;
    }
    case ContentsChange::BackgroundReady:
      for (HTREEITEM document = next(userRoot_, TVGN_NEXT); document;
           document = next(document, TVGN_NEXT))
        if (HTREEITEM item = childWithData(document, data)) {
          setImage(item, kImagePageMarked);
          return;
        }
      return;
  }
}

void ContentsPanel::namedPageCreated(uint32_t page) {
  const Page* made = around_.board.findPage(page);
  if (!made || page <= kSystemPages) return;
  const std::optional<DocumentPageName> label = parseDocumentPageLabel(made->name());
  if (!label) return contentsChanged(static_cast<WPARAM>(ContentsChange::PageAdded), page);
  // Listed once, under its document: a page some object made first sits
  // with the user pages until now.
  if (HTREEITEM early = childWithData(userRoot_, page)) removeItem(early);
  HTREEITEM document = findDocument(label->document);
  if (!document)
    document = insertItem(nullptr, TreeItemStyle::Red, fromSystem(label->document), kImageDocument,
                          kDocumentData);
  if (document && !childWithData(document, page))
    insertItem(document, TreeItemStyle::Blue, label->number, kImagePage, page);
}

void ContentsPanel::treeNotified(LPARAM kind) {
  HTREEITEM item = next(nullptr, TVGN_CARET);
  if (kind == kTreeClick) {
    commitRename();
    if (item) itemClicked(item);
  } else if (kind == kTreeRightClick) {
    if (item) openMenu(item);
  } else if (kind == kTreeLabelEdited) {
    commitRename();
  }
}

void ContentsPanel::itemClicked(HTREEITEM item) {
  if (item == systemRoot_) return toggle(item, kImageSystemRoot);
  if (item == userRoot_) return toggle(item, kImageUserRoot);
  if (!next(item, TVGN_PARENT)) return toggle(item, kImageDocument);
  const auto page = static_cast<uint32_t>(itemData(item));
  around_.board.goToPage(page, true);
  ShowWindow(window(), SW_HIDE);
  if (around_.scrollToStart) around_.scrollToStart();
}

void ContentsPanel::openMenu(HTREEITEM item) {
  const HTREEITEM parent = next(item, TVGN_PARENT);
  ContentsItemKind kind = ContentsItemKind::SystemOrDocumentPage;
  if (item == systemRoot_)
    kind = ContentsItemKind::SystemRoot;
  else if (item == userRoot_)
    kind = ContentsItemKind::UserRoot;
  else if (!parent)
    kind = ContentsItemKind::Document;
  else if (parent == userRoot_)
    kind = ContentsItemKind::UserPage;
  const bool current =
      parent && static_cast<uint32_t>(itemData(item)) == around_.board.currentPageId();
  const ContentsMenu menu = contentsMenuFor(kind, current);
  if (!menu.open || !menu_) return;
  menuItem_ = item;
  menu_->enableItem(0, menu.rename);
  menu_->enableItem(1, menu.remove);
  menu_->enableItem(2, menu.refresh);
  POINT cursor{};
  GetCursorPos(&cursor);
  menu_->popup(cursor);
}

void ContentsPanel::menuCommand(std::string_view command) {
  HTREEITEM item = menuItem_;
  if (!item) return;
  Board& board = around_.board;
  if (command == "rename") {
    renamed_ = item;
    renamedPage_ = static_cast<uint32_t>(itemData(item));
    oldName_ = toSystem(itemName(item));
    // Once the menu has closed and given the focus back, or the edit would
    // lose it at once and end.
    PostMessageW(window(), kBeginRename, 0, 0);
  } else if (command == "delete") {
    deleteItem(item);
  } else if (command == "refresh") {
    if (!board.privileges().lead) board.askPageContents();
  }
}

void ContentsPanel::commitRename() {
  if (!renamed_) return;
  const HTREEITEM item = std::exchange(renamed_, nullptr);
  const std::string name = toSystem(itemName(item));
  if (name == oldName_) return;
  if (around_.board.renamePage(renamedPage_, name) && around_.view)
    SendMessageW(around_.view, WM_PLUGIN_PAGE_INFO_CHANGED, renamedPage_, 0);
}

void ContentsPanel::deleteItem(HTREEITEM item) {
  Board& board = around_.board;
  if (!board.privileges().pages) {
    messageBox(kWritePrivilegeTextKey, MB_ICONERROR);
    return;
  }
  const HTREEITEM parent = next(item, TVGN_PARENT);
  if (parent && parent == userRoot_) {
    board.removePage(static_cast<uint32_t>(itemData(item)), 0, true);
    return;
  }
  if (parent || item == systemRoot_ || item == userRoot_) return;
  if (messageBox("Scribly_MessageBox_Remove_ShareDoc", MB_YESNO | MB_ICONQUESTION) == IDNO) return;
  const std::string name = cut(toSystem(itemName(item)), 256);
  std::vector<uint32_t> ids;
  for (HTREEITEM child = next(item, TVGN_CHILD); child && ids.size() < kMaxDocumentPages;
       child = next(child, TVGN_NEXT))
    ids.push_back(static_cast<uint32_t>(itemData(child)));
  deleteChildren(item);
  removeItem(item);
  board.removePageSet(name, ids, true);
}

LRESULT ContentsPanel::tip(char* buffer, size_t size) {
  if (!buffer || size == 0 || !tree()) return 0;
  TVHITTESTINFO hit{};
  GetCursorPos(&hit.pt);
  RECT box{};
  GetWindowRect(tree(), &box);
  hit.pt.x -= box.left;
  hit.pt.y -= box.top;
  auto* item = reinterpret_cast<HTREEITEM>(
      SendMessageW(tree(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (!item) return 0;
  const std::string markup = itemMarkup(item);
  std::snprintf(buffer, size, kContentsTipFormat, markup.c_str());
  return kTipWritten;
}

HWND ContentsPanel::tree() const {
  SkinElement* element = window_ ? window_->find(kTreeName) : nullptr;
  return element ? element->window() : nullptr;
}

HTREEITEM ContentsPanel::insertItem(HTREEITEM parent, TreeItemStyle style, std::string_view name,
                                    int image, LPARAM data) {
  if (!tree()) return nullptr;
  const std::string markup = treeItemMarkup(style, face_, name);
  TreeItemSpec spec{markup.c_str(), image, image, data, nullptr};
  return reinterpret_cast<HTREEITEM>(SendMessageW(
      tree(), kTreeInsertItem, reinterpret_cast<WPARAM>(parent), reinterpret_cast<LPARAM>(&spec)));
}

std::string ContentsPanel::itemMarkup(HTREEITEM item) const {
  char buffer[kMaxTreeItemBytes] = {};
  TreeText text{buffer, sizeof buffer};
  SendMessageW(tree(), kTreeGetItemMarkup, reinterpret_cast<WPARAM>(item),
               reinterpret_cast<LPARAM>(&text));
  return buffer;
}

std::string ContentsPanel::itemName(HTREEITEM item) const { return treeItemName(itemMarkup(item)); }

LPARAM ContentsPanel::itemData(HTREEITEM item) const {
  TVITEMW data{};
  data.mask = TVIF_PARAM | TVIF_HANDLE;
  data.hItem = item;
  return SendMessageW(tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data)) ? data.lParam : 0;
}

HTREEITEM ContentsPanel::next(HTREEITEM item, UINT relation) const {
  if (!tree() || (!item && relation != TVGN_CARET && relation != TVGN_ROOT)) return nullptr;
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree(), TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

bool ContentsPanel::expanded(HTREEITEM item) const {
  return (SendMessageW(tree(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
          TVIS_EXPANDED) != 0;
}

void ContentsPanel::setImage(HTREEITEM item, int image) {
  TVITEMW change{};
  change.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
  change.hItem = item;
  change.iImage = change.iSelectedImage = image;
  SendMessageW(tree(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

void ContentsPanel::toggle(HTREEITEM item, int closedImage) {
  const bool open = !expanded(item);
  SendMessageW(tree(), TVM_EXPAND, open ? TVE_EXPAND : TVE_COLLAPSE,
               reinterpret_cast<LPARAM>(item));
  setImage(item, open ? closedImage + 1 : closedImage);
}

HTREEITEM ContentsPanel::childWithData(HTREEITEM parent, LPARAM data) const {
  for (HTREEITEM child = next(parent, TVGN_CHILD); child; child = next(child, TVGN_NEXT))
    if (itemData(child) == data) return child;
  return nullptr;
}

HTREEITEM ContentsPanel::findDocument(std::string_view name) const {
  const std::string wanted = fromSystem(name);
  std::vector<std::string> markups;
  std::vector<HTREEITEM> items;
  for (HTREEITEM item = next(userRoot_, TVGN_NEXT); item; item = next(item, TVGN_NEXT)) {
    items.push_back(item);
    markups.push_back(itemMarkup(item));
  }
  const int found = findDocumentItem(markups, wanted);
  return found < 0 ? nullptr : items[static_cast<size_t>(found)];
}

bool ContentsPanel::removeItem(HTREEITEM item) {
  // Nothing keeps an item that is gone, nor one whose parent is gone.
  for (HTREEITEM* held : {&menuItem_, &renamed_, &documentItem_})
    if (*held && (*held == item || next(*held, TVGN_PARENT) == item)) *held = nullptr;
  return SendMessageW(tree(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)) != 0;
}

void ContentsPanel::deleteChildren(HTREEITEM parent) {
  while (HTREEITEM child = next(parent, TVGN_CHILD))
    if (!removeItem(child)) return;
}

}  // namespace scribly
