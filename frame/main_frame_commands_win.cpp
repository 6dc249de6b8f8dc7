// The main frame's named commands, which the skin's scripts and menus call.
#include <optional>
#include <string>

#include "frame/frame_board_win.h"
#include "frame/main_frame_win.h"
#include "frame/page_export_win.h"
#include "images/picture_files_win.h"
#include "skin/language_keys.h"
#include "win/text.h"

namespace scribly {

void MainFrame::selectTool(uint8_t tool) {
  if (ownBoard_) ownBoard_->tools().selectTool(tool);
}

void MainFrame::focusView() {
  if (HWND view = viewWindow()) SetFocus(view);
}

void MainFrame::insertImage() {
  if (ownBoard_) ownBoard_->tools().insertImageCommand();
}

void MainFrame::insertHandSymbol() {
  if (ownBoard_) ownBoard_->tools().insertHandSymbolCommand();
}

void MainFrame::captureScreen(bool hidePlugin) {
  if (capture_) capture_->start(hidePlugin);
}

void MainFrame::paste() {
  if (ownBoard_) pasteFromClipboard(ownBoard_->tools(), viewWindow(), window_);
}

void MainFrame::openMenu(std::string_view menu, std::string_view elementName) {
  auto found = menus_.find(menu);
  SkinElement* at = element(elementName);
  if (found == menus_.end() || !at || !at->window()) return;
  RECT box;
  GetWindowRect(at->window(), &box);
  found->second->popup({box.left, box.bottom});
}

void MainFrame::setBackground(std::string_view item) {
  if (!ownBoard_) return;
  if (item == "custom") {
    // Refused before the dialog, as every background is.
    if (!ownBoard_->board().mayChangeBackground()) return;
    if (std::optional<std::string> file = choosePictureToOpen(window_))
      if (std::optional<std::string> path = systemCodePagePath(*file))
        ownBoard_->board().setBackgroundFile(*path);
    return;
  }
  ownBoard_->board().setTemplateBackground(item);
}

void MainFrame::setBackgroundScale(double factor) {
  if (ownBoard_) ownBoard_->board().applyScale(static_cast<float>(factor));
}

void MainFrame::contextCommand(std::string_view item) {
  if (!ownBoard_) return;
  SelectionEditing& selection = ownBoard_->selection();
  if (item == "copy") selection.copy();
  if (item == "paste") selection.paste();
  if (item == "delete") {
    selection.remove();
    activateToolButton('E');  // the delete tool stays in hand and shows so
  }
  if (item == "rotate90") selection.turnRight();
  if (item == "saveto")
    if (BoardObject* active = ownBoard_->tools().activeObject())
      saveObject(ownBoard_->board(), *active, GetActiveWindow());
  if (item == "editpic" && editPicture_) editPicture_->show();
}

void MainFrame::savePages(std::string_view command) {
  if (!ownBoard_) return;
  Board& board = ownBoard_->board();
  FrameBoard* frameBoard = ownBoard_.get();
  const auto failed = [frameBoard] {
    frameBoard->messageBox(kTextExportFailed, MessageBoxKind::StopOk);
  };
  if (command == "savepng") {
    saveCurrentPagePng(board, GetActiveWindow(), failed);
    return;
  }
  ShareDialog* dialog = shareDialog_.get();
  bool shown = false;
  const auto progress = [dialog, &shown](size_t done, size_t pages) {
    shown = true;
    if (dialog) dialog->exportProgress(done, pages);
  };
  // The bar goes once the pages are saved or the saving failed.
  if (!savePagesPdf(board, GetActiveWindow(), progress, failed) && shown && dialog) dialog->reset();
}

void MainFrame::libraryCommand(std::string_view item) {
  if (library_) library_->command(item);
}

void MainFrame::setLineStyle(uint32_t style) {
  if (!ownBoard_) return;
  ownBoard_->tools().setStyle(style);
  // The buttons show the style in hand wherever their panel sits: the click
  // script finds them only while the panel is inside the frame's window.
  if (panels_) panels_->penStateChanged(kPenStyleBit, style);
}

void MainFrame::showContents(std::string_view asking) {
  SkinElement* at = element(asking);
  if (contents_) contents_->showAgain(at ? at->window() : nullptr);
}

void MainFrame::shareDocumentPath(const std::string& path) {
  if (shareDialog_) shareDialog_->showPath(path);
}

void MainFrame::goToNeighbourPage(int direction) {
  if (!ownBoard_) return;
  ownBoard_->board().goToPage(0, true, direction);
  ownBoard_->scroll().toStart();
}

void MainFrame::pageOption(uint32_t option) {
  if (contents_) contents_->pageOption(option);
}

}  // namespace scribly
