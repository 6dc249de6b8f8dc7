// The main frame as the program object of its skin window: the elements it
// works with, the routing of their messages and the layout.
#include <windowsx.h>

#include <algorithm>
#include <iterator>

#include "base/module_paths.h"
#include "collab/privileges.h"
#include "frame/frame_board_win.h"
#include "frame/main_frame_win.h"
#include "images/picture_files_win.h"
#include "skin/engine_messages.h"
#include "skin/language_keys.h"
#include "skin/skin_config.h"
#include "win/messages.h"
#include "win/text.h"

namespace scribly {
namespace {

// The extension panel sits in the tool bar at this point on tall frames.
constexpr POINT kExtensionPanelInToolBar = {0, 334};
constexpr int kTallFrame = 550;
constexpr int kShortFrame = 400;
constexpr int kNoRoomForSave = 376;
constexpr int kNoRoomForClear = 353;
// The undo and redo buttons' row: below the extension panel on tall frames,
// below the panel's button when it pops up from there instead.
constexpr int kUndoRowTall = 552;
constexpr int kUndoRowShort = 362;

constexpr std::string_view kFrameMenus[] = {"set bkgnd", "set bkgndscale", "right mouseclick"};

// The drawing tools, which both the host's editing switch
// (kCommandEnableEditing) and the write privilege turn off; the elements only
// the editing switch turns off; and those only the write privilege does
// ("paste" also needs something to paste).
constexpr char kDrawingTools[] = "tool panel";
constexpr const char* kEditingElements[] = {"add share doc", "add page", "ext panel"};
constexpr const char* kDrawingElements[] = {"clrscr", "cut", "hand", "capture"};

// Touch input is registered where the system has it (6.1 and later); older
// systems lack the function, so it is looked up by name.
void registerTouch(HWND view) {
  using RegisterTouch = BOOL(WINAPI*)(HWND, ULONG);
  if (HMODULE user = GetModuleHandleW(L"user32.dll"))
    if (auto reg = reinterpret_cast<RegisterTouch>(
            reinterpret_cast<void*>(GetProcAddress(user, "RegisterTouchWindow"))))
      reg(view, 0);
}

}  // namespace

SkinElement* MainFrame::element(std::string_view name) {
  return skinWindow_ ? skinWindow_->find(name) : nullptr;
}

HWND MainFrame::viewWindow() {
  SkinElement* view = element("view wnd");
  return view ? view->window() : nullptr;
}

void MainFrame::wireSkin() {
  if (!skinWindow_ || !ownBoard_) return;
  const HWND view = viewWindow();
  if (view) {
    registerTouch(view);
    // The view shows the page edge to edge; its scroll bars appear when the
    // page is larger than the view.
    LONG style = GetWindowLongW(view, GWL_STYLE);
    style = (style & ~(WS_BORDER | WS_THICKFRAME)) | WS_HSCROLL | WS_VSCROLL;
    SetWindowLongW(view, GWL_STYLE, style);
    SetScrollRange(view, SB_HORZ, 0, 0, FALSE);
    SetScrollRange(view, SB_VERT, 0, 0, FALSE);
    SetWindowPos(view, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetFocus(view);
  }
  if (SkinElement* tip = element("privtip")) tip->show(false);
  // The tools start with the pencil in hand, so a first drag draws; its
  // button shows it.
  clickButton("pencial");
  for (std::string_view name : kFrameMenus)
    if (std::unique_ptr<SkinMenuHandle> menu = skinWindow_->menu(name))
      menus_[std::string(name)] = std::move(menu);
  panels_ = std::make_unique<ToolPanels>(*skinSystem_, *skinWindow_, ownBoard_->tools());
  // The panels show the pen the tools start with, its line style included.
  panels_->penStateChanged(kPenColourBit | kPenFillBit | kPenWidthBit | kPenFontBit | kPenStyleBit,
                           ownBoard_->tools().pen().style);
  editPicture_ = std::make_unique<PictureEditPanel>(*skinSystem_, window_, ownBoard_->tools(),
                                                    ownBoard_->board());
  shareDialog_ = std::make_unique<ShareDialog>(*skinSystem_, window_);
  contents_ = std::make_unique<ContentsPanel>(
      *skinSystem_,
      ContentsPanel::Surroundings{
          ownBoard_->board(), window_, [board = ownBoard_.get()] { board->scroll().toStart(); },
          filesFolder(L"PrintTemp"),
          joinPath(installFolderOf(settings_.moduleFolder), "Skin\\VDTree"),
          [board = ownBoard_.get()] { return board->takeRemovedDocument(); },
          [this](std::string_view command) { savePages(command); }},
      PrinterHandle::load(settings_.moduleFolder), *shareDialog_);
  shareDialog_->setRunner(contents_.get());
  ownBoard_->setContents(contents_->window(),
                         [panel = contents_.get()](uint32_t page, std::string_view name) {
                           panel->namedPageCreated(page, name);
                         });
  ownBoard_->setDrawingSwitch([this](bool on) {
    drawing_ = on;
    updateToolElements();
  });
  // Sharing a library file opens the tip panel with its path.
  library_ = std::make_unique<LibraryTree>(
      *skinSystem_, *skinWindow_, joinPath(settings_.moduleFolder, kConfigFileName),
      LibraryTree::Hooks{[this] { return contents_->mayShare(); },
                         [this](const std::string& path) { shareDocumentPath(path); },
                         {}});
  capture_ = std::make_unique<ScreenCapture>(
      ownBoard_->tools(), [this](uintptr_t code) { host_.notify(code); }, element("screen cap"),
      window_, filesFolder(L""));
  extToolBox_ = skinSystem_->createWindow("ext tool box", window_, nullptr);
  if (extToolBox_) ShowWindow(extToolBox_->window(), SW_HIDE);
  AddClipboardFormatListener(window_);
  updatePasteButton();
  ownBoard_->setHistoryDisplay([this] { updateUndoButtons(); });
  if (SkinElement* info = element("curpageinfo"))
    ownBoard_->setPageInfoDisplay([info](const std::string& text) {
      if (info->control()) info->control()->setText(text.c_str());
    });
}

LRESULT MainFrame::onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                                 bool& handled) {
  if (!skinWindow_) return 0;  // still being built
  if (panels_) {
    LRESULT result = 0;
    if (panels_->handle(source, message, wParam, lParam, result)) {
      handled = true;
      return result;
    }
  }
  if (library_) {
    LRESULT result = 0;
    if (library_->handle(source, message, wParam, lParam, result)) {
      handled = true;
      return result;
    }
  }
  // A click of a button reaches the panel it sits in, wherever that panel is
  // (the tool bar, the extension panel in its pop-up): the frame acts on some
  // buttons by name, and the button's own script still runs.
  if (message == WM_COMMAND && wParam <= 0xFFFF && lParam)
    if (SkinElement* from = skinWindow_->root().find(reinterpret_cast<HWND>(lParam)))
      elementCommand(from->name());
  if (&source != &skinWindow_->root()) {
    LRESULT result = 0;
    if (ownBoard_ && source.name() == "view wnd") {
      if (message == WM_RBUTTONDOWN) {
        openContextMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        handled = true;
      } else if (ownBoard_->viewMessage(message, wParam, lParam, result)) {
        handled = true;
      }
    }
    return result;
  }
  if (message == WM_NCDESTROY) window_ = nullptr;
  if (handleHostMessage(message, wParam, lParam)) {
    handled = true;
    return 0;
  }
  if (capture_ && capture_->handle(message)) {
    handled = true;
    return 0;
  }
  handled = true;
  switch (message) {
    case WM_SIZE:
      layout(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_TIMER:
      if (wParam == kPollTimer && ownBoard_) ownBoard_->poll();
      return 0;
    case WM_PLUGIN_SELECT_TOOL:
      if (wParam == 0) activateToolButton(static_cast<uint32_t>(lParam));
      return 0;
    case WM_PLUGIN_PEN_STATE:
      if (panels_)
        panels_->penStateChanged(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
      return 0;
    case WM_PLUGIN_SELECTION_PROPS:
      if (editPicture_)
        editPicture_->selectionChanged(static_cast<SelectionProperty>(wParam),
                                       static_cast<uint32_t>(lParam));
      return 0;
    case WM_PLUGIN_GO_TO_PAGE:
      // Only to a page there is: a message from anyone makes none.
      if (ownBoard_ && ownBoard_->board().findPage(static_cast<uint32_t>(wParam)))
        ownBoard_->board().goToPage(static_cast<uint32_t>(wParam), false);
      return 0;
    case WM_CLOSE:
      return 0;  // the host owns the frame; closing it is the host's call
    case WM_CLIPBOARDUPDATE:
      updatePasteButton();
      return 0;
    case WM_DESTROY:
      KillTimer(window_, kPollTimer);
      RemoveClipboardFormatListener(window_);
      handled = false;
      return 0;
  }
  handled = false;
  return 0;
}

LRESULT MainFrame::onNamedCommand(SkinElement& source, std::string_view name,
                                  std::string_view argument) {
  // What takes data from outside the whiteboard to every participant runs
  // only from a click the user made: not from another event's script, nor
  // from a click posted or sent from elsewhere.
  if (takesOutsideData(name)) {
    const std::optional<SkinEvent> event = skinSystem_ ? skinSystem_->raising() : std::nullopt;
    if ((event != SkinEvent::Click && event != SkinEvent::MenuCommand) ||
        !skinSystem_->raisedByUser())
      return 0;
  }
  return runCommand(*this, source.name(), name, argument);
}

void MainFrame::elementCommand(std::string_view name) {
  if (name == "ext panel btn") openExtensionPanel();
  if (name == "clrscr") clearPageAsked();
  if (name == "undo" && ownBoard_) ownBoard_->tools().undo();
  if (name == "redo" && ownBoard_) ownBoard_->tools().redo();
  if (name == "save" && ownBoard_) savePage(ownBoard_->board(), GetActiveWindow());
}

void MainFrame::layout(int width, int height) {
  // The tool bar keeps its width on the left, the library tree its width on
  // the right; the page bar and the view take what is between.
  auto place = [&](std::string_view name, auto rect) {
    SkinElement* e = element(name);
    if (!e || !e->window()) return;
    const SkinRect r = rect(e->description().rect);
    MoveWindow(e->window(), r.x, r.y, std::max(r.width, 0), std::max(r.height, 0), TRUE);
  };
  // The library tree has room only while it shows a library.
  const SkinElement* tree = element(kTreeElementName);
  const int treeWidth = tree && (GetWindowLongW(tree->window(), GWL_STYLE) & WS_VISIBLE)
                            ? tree->description().rect.width
                            : 0;
  place("tool bar", [&](SkinRect r) { return SkinRect{r.x, r.y, r.width, height - r.y}; });
  place("page bar", [&](SkinRect r) { return SkinRect{r.x, r.y, width - r.x, r.height}; });
  place("view wnd", [&](SkinRect r) {
    return SkinRect{r.x, r.y, width - r.x - treeWidth, height - r.y};
  });
  place(kTreeElementName, [&](SkinRect r) {
    return SkinRect{width - treeWidth, r.y, treeWidth, height - r.y};
  });

  for (const auto& [name, x] : {std::pair{"undo", 2}, {"redo", 34}}) {
    if (SkinElement* e = element(name); e && e->window())
      SetWindowPos(e->window(), nullptr, x, height >= kTallFrame ? kUndoRowTall : kUndoRowShort, 0,
                   0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SkinElement* panel = element("ext panel");
  SkinElement* toolBar = element("tool bar");
  SkinElement* button = element("ext panel btn");
  SkinElement* clear = element("clrscr");
  SkinElement* save = element("save");
  if (!panel || !panel->window()) return;
  const HWND box = extToolBox_ ? extToolBox_->window() : nullptr;
  if (height >= kTallFrame) {
    if (toolBar && toolBar->window()) SetParent(panel->window(), toolBar->window());
    SetWindowPos(panel->window(), nullptr, kExtensionPanelInToolBar.x, kExtensionPanelInToolBar.y,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (box) ShowWindow(box, SW_HIDE);
    if (button) button->show(false);
    if (clear) clear->show(true);
    if (save) save->show(true);
    return;
  }
  if (box) {
    SetParent(panel->window(), box);
    SetWindowPos(panel->window(), nullptr, 1, 1, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (height >= kShortFrame) {
    if (clear) clear->show(true);
    if (save) save->show(true);
    if (button) button->show(true);
    return;
  }
  // Below that nothing is shown again: a button hidden at a smaller height
  // comes back only at kShortFrame.
  if (button) button->show(false);
  if (height <= kNoRoomForSave && save) save->show(false);
  if (height <= kNoRoomForClear && clear) clear->show(false);
}

void MainFrame::openExtensionPanel() {
  if (!extToolBox_ || !extToolBox_->window()) return;
  RECT frame;
  GetWindowRect(window_, &frame);
  SetWindowPos(extToolBox_->window(), HWND_TOP, frame.left + 67, frame.bottom - 200, 0, 0,
               SWP_NOSIZE | SWP_SHOWWINDOW);
}

void MainFrame::showPrivilegeTip(bool write) {
  SkinElement* tip = element("privtip");
  if (!tip) return;
  tip->show(!settings_.peerToPeer && !write);
}

void MainFrame::enableEditing(bool enable) {
  if (!enable) {
    if (SkinElement* choice = element("choice")) choice->send(BM_SETCHECK, BST_CHECKED);
    if (SkinElement* pencil = element("pencial")) pencil->send(BM_SETCHECK, BST_UNCHECKED);
  }
  editing_ = enable;
  updateToolElements();
}

void MainFrame::updateToolElements() {
  auto enable = [this](const char* name, bool on) {
    if (SkinElement* e = element(name)) e->enable(on);
  };
  enable(kDrawingTools, editing_ && drawing_);
  for (const char* name : kEditingElements) enable(name, editing_);
  for (const char* name : kDrawingElements) enable(name, drawing_);
  updatePasteButton();
  updateUndoButtons();
}

void MainFrame::activateToolButton(uint32_t keyCode) { clickButton(toolButtonForKey(keyCode)); }

void MainFrame::clickButton(std::string_view name) {
  SkinElement* button = element(name);
  // As a click: the button's script highlights it and selects its tool.
  if (button && button->window()) SendMessageW(button->window(), kEngineClicked, 0, 0);
}

void MainFrame::openContextMenu(POINT view) {
  if (!ownBoard_) return;
  const std::optional<uint32_t> prepared =
      ownBoard_->selection().prepareContextMenu({view.x, view.y});
  if (!prepared) return;
  const uint32_t items = *prepared;
  // "choice" shows as chosen before the menu, whose command may choose another.
  activateToolButton(0);
  auto menu = menus_.find("right mouseclick");
  if (menu != menus_.end()) {
    for (int index = 0; index < static_cast<int>(std::size(kContextItemNames)); ++index)
      menu->second->enableItem(index, (items & (1u << index)) != 0);
    POINT screen = view;
    ClientToScreen(viewWindow(), &screen);
    menu->second->popup(screen);
  }
}

void MainFrame::clearPageAsked() {
  if (!ownBoard_) return;
  if (ownBoard_->messageBox(kTextConfirmClearPage, MessageBoxKind::InformationYesNo) !=
      MessageBoxAnswer::Yes)
    return;
  ownBoard_->selection().selectionCleared();
  ownBoard_->tools().reset();
  ownBoard_->board().clearPage();
}

void MainFrame::updatePasteButton() {
  SkinElement* button = element("paste");
  if (!button) return;
  button->enable(drawing_ &&
                 (IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_BITMAP)));
}

void MainFrame::updateUndoButtons() {
  if (!ownBoard_) return;
  const Board& board = ownBoard_->board();
  auto show = [this](std::string_view name, bool on) {
    SkinElement* button = element(name);
    if (!button || !button->window() || (IsWindowEnabled(button->window()) != FALSE) == on) return;
    button->enable(on);
    // A disabled button draws its picture as it is: it shows the grey twin
    // beside its own ("undo.bmp", "undo_off.bmp").
    for (const SkinMessage& m : button->description().messages) {
      if (m.code != kEnginePicture || !m.text || !m.text->ends_with(".bmp")) continue;
      std::string picture = *m.text;
      if (!on) picture.insert(picture.size() - 4, "_off");
      button->send(kEnginePicture, static_cast<WPARAM>(m.wParam),
                   reinterpret_cast<LPARAM>(picture.c_str()));
    }
  };
  show("undo", editing_ && board.canUndo());
  show("redo", editing_ && board.canRedo());
}

}  // namespace scribly
