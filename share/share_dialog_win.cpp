#include "share/share_dialog_win.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
// clang-format on

#include <optional>

#include "share/document_share.h"
#include "skin/language_keys.h"
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

std::string_view titleKey(PrintStage stage) {
  switch (stage) {
    case PrintStage::Printing:
      return "Scribly_Tip_Printing_Text";
    case PrintStage::Printed:
      return "Scribly_MessageBox_PrintResultOK_Text";
    case PrintStage::Failed:
      return "Scribly_MessageBox_PrintResultFailed_Text";
  }
  return {};
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

ShareDialog::ShareDialog(SkinSystem& skin, HWND owner)
    : skin_(skin), owner_(owner), quality_(kQualityPicture) {
  uploadTitle_ = skin_.text("Scribly_Tip_UpLoadShareDoc_Text");
  window_ = skin_.createWindow(kShareDialogWindowName, owner, this);
  if (!window()) return;
  ShowWindow(window(), SW_HIDE);
  enableStart(false);
  if (SkinElement* edit = find(kPathEdit)) edit->send(EM_SETLIMITTEXT, kSharePathBytes - 1);
  if (SkinElement* radio = find(kQualityPictureRadio)) radio->send(BM_SETCHECK, BST_CHECKED);
  if (SkinElement* bar = find(kProgressBar)) bar->show(false);
}

ShareDialog::~ShareDialog() { window_.reset(); }

LRESULT ShareDialog::onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                                   bool& handled) {
  if (&source != &source.ownerWindow()) return 0;
  switch (message) {
    case WM_CLOSE:
      handled = true;
      stop();
      return 0;
    case WM_COMMAND: {
      SkinElement* control = lParam ? source.find(reinterpret_cast<HWND>(lParam)) : nullptr;
      if (!control) return 0;
      const UINT code = HIWORD(wParam);
      if (code == EN_CHANGE && control->name() == kPathEdit) {
        enableStart(!controlText(control, kSharePathBytes).empty());
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

LRESULT ShareDialog::onNamedCommand(SkinElement& source, std::string_view name, std::string_view) {
  if (name != "SelectPrintQuality") return 0;
  if (source.name() == kQualityTextRadio) quality_ = kQualityText;
  if (source.name() == kQualityPictureRadio) quality_ = kQualityPicture;
  return 0;
}

void ShareDialog::reset() {
  if (!window()) return;
  ShowWindow(window(), SW_HIDE);
  setText(kInfoTitle, {});
  setText(kInfoContents, {});
  setText(kPathEdit, {});
  enableStart(false);
  if (SkinElement* bar = find(kProgressBar)) {
    bar->send(PBM_SETPOS, 0);
    bar->show(false);
  }
}

void ShareDialog::choose() {
  showCentred();
  // The dialog opens with "choose" in focus: Space or Return browses.
  if (SkinElement* chooser = find(kChooseButton); chooser && chooser->window())
    SetFocus(chooser->window());
}

void ShareDialog::showPath(std::string_view path) {
  setText(kPathEdit, fitBuffer(std::string(path), kSharePathBytes));
  showCentred();
}

void ShareDialog::printStage(PrintStage stage) {
  setText(kInfoTitle, skin_.text(titleKey(stage), kShareNameBytes));
  showCentred();
}

void ShareDialog::uploading(uint32_t page) {
  setText(kInfoTitle, uploadTitle_);
  setText(kInfoContents, std::to_string(page));
  showCentred();
}

void ShareDialog::progress(size_t imported, size_t pages) {
  SkinElement* bar = find(kProgressBar);
  if (!bar) return;
  bar->send(PBM_SETRANGE32, 0, static_cast<LPARAM>(pages));
  bar->send(PBM_SETPOS, imported);
  bar->show(true);
}

void ShareDialog::exportProgress(size_t done, size_t pages) {
  if (!window()) return;
  if (done >= pages) return reset();
  setText(kInfoTitle, skin_.text(kTextExporting, kShareNameBytes));
  setText(kInfoContents, std::to_string(done) + " / " + std::to_string(pages));
  progress(done, pages);
  showCentred();
  RedrawWindow(window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void ShareDialog::showCentred() {
  if (!window()) return;
  RECT owner{}, own{};
  if (owner_ && GetWindowRect(owner_, &owner) && GetWindowRect(window(), &own)) {
    const int width = own.right - own.left, height = own.bottom - own.top;
    MoveWindow(window(), owner.left + (owner.right - owner.left - width) / 2,
               owner.top + (owner.bottom - owner.top - height) / 2, width, height, TRUE);
  }
  ShowWindow(window(), SW_SHOW);
}

void ShareDialog::chooseDocument() {
  wchar_t file[kSharePathBytes] = {};
  const std::wstring filter = toWide(documentChooserFilter());
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window();
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = kSharePathBytes;
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&dialog)) return;
  // The edit's change notification enables "start".
  setText(kPathEdit, fitBuffer(fromWide(file), kSharePathBytes));
}

void ShareDialog::start() {
  // A share sends a file to everyone: only the user's own click starts one,
  // never one posted or sent by another program.
  if (!skin_.raisedByUser()) return;
  const std::string typed = controlText(find(kPathEdit), kSharePathBytes);
  if (typed.empty()) return;
  const std::optional<std::string> path = systemCodePagePath(typed);
  // The printer takes 8-bit paths; one that cannot be written so names no file.
  if (!path || path->size() >= kSharePathBytes) {
    if (window_) window_->messageBox(kTextPrintError, MB_ICONEXCLAMATION);
    return;
  }
  enableStart(false);
  if (runner_) runner_->startShare(*path, quality_);
}

void ShareDialog::stop() {
  reset();
  if (runner_) runner_->stopShare();
}

void ShareDialog::setText(std::string_view name, const std::string& text) {
  if (SkinElement* element = find(name); element && element->control())
    element->control()->setText(text.c_str());
}

void ShareDialog::enableStart(bool enabled) {
  if (SkinElement* button = find(kStartButton)) button->enable(enabled);
}

}  // namespace scribly
