#include "frame/frame_board_win.h"

#include "base/module_paths.h"
#include "board/operation_script.h"
#include "skin/language_keys.h"
#include "win/messages.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr char kLanguageFile[] = "\\Scribly_LANG.xml";

// A text by key as the wide message box shows it, through the buffer size
// message boxes use.
std::wstring messageText(const LanguageTexts& texts, std::string_view key) {
  char buffer[kMessageTextBytes] = {};
  size_t size = sizeof buffer;
  texts.copyText(key, buffer, &size);
  return toWide(std::string_view(buffer, size));
}

BoardOptions boardOptions(const FrameSettings& settings, std::string files) {
  BoardOptions options;
  options.peerToPeer = settings.peerToPeer;
  options.backgroundFolder = std::move(files);
  options.templates = loadBackgroundTemplates(backgroundFolder(settings.skinFolder));
  return options;
}

}  // namespace

FrameBoard::FrameBoard(HWND frame, HostChannel& host, const FrameSettings& settings,
                       std::string backgroundFolder, HWND viewWindow)
    : frame_(frame),
      host_(host),
      view_(viewWindow ? std::make_unique<CanvasView>(*this, viewWindow)
                       : std::make_unique<CanvasView>(frame, *this)) {
  board_ = std::make_unique<Board>(
      BoardEnvironment{host_, *this, files_, pictures_, *this, &measurer_, this,
                       [] { return static_cast<uint32_t>(GetTickCount()); }},
      boardOptions(settings, std::move(backgroundFolder)));
  tools_ = std::make_unique<ViewTools>(*board_, *view_, frame);
  selection_ = std::make_unique<SelectionEditing>(*board_, tools_->tools());
  view_->setInput(this);
  texts_.load(moduleFolder() + kLanguageFile);
}

FrameBoard::~FrameBoard() {
  selection_.reset();
  tools_.reset();
  board_.reset();
}

void FrameBoard::poll() {
  tools_->poll();
  board_->scroll().tick();
}

void FrameBoard::resize(int width, int height) {
  if (view_->window()) MoveWindow(view_->window(), 0, 0, width, height, TRUE);
}

bool FrameBoard::runScript(std::string_view script) {
  ObjectFactory factory(&measurer_);
  const ScriptResult result = runOperationScript(*board_, factory, script, &measurer_);
  view_->invalidate();
  return result.failed == 0;
}

void FrameBoard::dataIn(std::span<const uint8_t> bytes) { board_->dispatch(bytes); }

void FrameBoard::privilegeChanged(uint32_t privilege) {
  const bool hadWrite = board_->privileges().write;
  board_->setPrivilegeWord(privilege);
  tools_->tools().writePrivilegeChanged(hadWrite);
}

void FrameBoard::mirrorCommand(uintptr_t wParam, intptr_t) { board_->setMirroring(wParam != 0); }

// The tool buttons and panels this enables come with the skin-built frame.
void FrameBoard::editingCommand(uintptr_t, intptr_t) {}

void FrameBoard::joined(uint32_t userId, uint32_t peerId) { board_->initialize(userId, peerId); }

void FrameBoard::reset() {
  const bool hadWrite = board_->privileges().write;
  board_->reset();
  tools_->tools().reset();
  // The reset gives every privilege back: drawing comes back with it.
  tools_->tools().writePrivilegeChanged(hadWrite);
  view_->invalidate();
}

bool FrameBoard::onViewMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (board_) {
    switch (message) {
      case WM_SIZE:
        board_->scroll().fitRanges(Size{LOWORD(lParam), HIWORD(lParam)});
        break;
      case WM_HSCROLL:
      case WM_VSCROLL:
        board_->scroll().scroll(message == WM_VSCROLL ? ScrollBar::Vertical : ScrollBar::Horizontal,
                                static_cast<ScrollRequest>(LOWORD(wParam)));
        result = 0;
        return true;
    }
  }
  return tools_ && tools_->handle(message, wParam, lParam, result);
}

void FrameBoard::paintView(Canvas& canvas, const Rect& area, const Rect& dirty) {
  board_->paint(canvas, area, dirty);
}

// The tools draw the object in hand on top.
void FrameBoard::paintOver(Canvas& canvas) {
  if (tools_) tools_->tools().paintActive(canvas);
}

uint32_t FrameBoard::shownPage() const { return board_ ? board_->currentPageId() : 0; }

uint64_t FrameBoard::shownRevision() const {
  const Page* page = board_ ? board_->currentPage() : nullptr;
  return page ? page->revision() : 0;
}

Size FrameBoard::shownPageSize() const {
  const Page* page = board_ ? board_->currentPage() : nullptr;
  return page ? page->size() : Size{};
}

Point FrameBoard::scrollPosition() const {
  return {-board_->scrollOffset(ScrollBar::Horizontal), -board_->scrollOffset(ScrollBar::Vertical)};
}

// Objects report their areas in view coordinates, scroll offsets applied.
void FrameBoard::invalidateRect(const Rect& r, bool) { view_->invalidate(r); }

// Without erasing, the page is the same and only shows again.
void FrameBoard::invalidateAll(bool erase) {
  if (erase)
    view_->invalidate();
  else
    view_->showAgain();
}

void FrameBoard::contentsChanged(ContentsChange kind, uint32_t page) {
  view_->invalidate();
  if (contents_)
    SendMessageW(contents_, WM_PLUGIN_CONTENTS_CHANGED, static_cast<WPARAM>(kind), page);
}

void FrameBoard::documentPagesRemoved(std::string_view documentName) {
  view_->invalidate();
  if (!contents_) return;
  // A few at most wait: each notice takes its name at once.
  constexpr size_t kMaxWaiting = 64;
  if (removedDocuments_.size() >= kMaxWaiting) removedDocuments_.pop_front();
  removedDocuments_.emplace_back(documentName.substr(0, 255));
  SendMessageW(contents_, WM_PLUGIN_CONTENTS_CHANGED,
               static_cast<WPARAM>(ContentsChange::DocumentPagesRemoved), 0);
}

std::optional<std::string> FrameBoard::takeRemovedDocument() {
  if (removedDocuments_.empty()) return std::nullopt;
  std::string name = std::move(removedDocuments_.front());
  removedDocuments_.pop_front();
  return name;
}

// A plain call on the frame's thread: no window message carries the name.
void FrameBoard::namedPageCreated(uint32_t page, std::string_view name) {
  view_->invalidate();
  if (namedPage_) namedPage_(page, name);
}

void FrameBoard::pageInfoChanged() {
  view_->showAgain();
  historyChanged();
  const Page* page = board_ ? board_->currentPage() : nullptr;
  if (!pageInfoDisplay_ || !page) return;
  pageInfoDisplay_(pageInfoText(*page, texts_.text(kTextPageInfo),
                                texts_.text(kTextSystemPagesTitle),
                                texts_.text(kTextUserPagesTitle)));
}

void FrameBoard::setPageInfoDisplay(std::function<void(const std::string&)> display) {
  pageInfoDisplay_ = std::move(display);
  pageInfoChanged();
}

MessageBoxAnswer FrameBoard::messageBox(std::string_view textKey, MessageBoxKind kind) {
  const std::wstring text = messageText(texts_, textKey);
  const std::wstring caption = messageText(texts_, kTextMessageBoxTitle);
  const UINT style = kind == MessageBoxKind::InformationYesNo ? MB_YESNO | MB_ICONINFORMATION
                                                              : MB_OK | MB_ICONSTOP;
  int answer = MessageBoxW(GetParent(view_->window()), text.c_str(), caption.c_str(), style);
  if (kind == MessageBoxKind::StopOk) return MessageBoxAnswer::Ok;
  return answer == IDYES ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
}

std::optional<ScrollInfo> FrameBoard::scrollInfo(ScrollBar bar) {
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  if (!GetScrollInfo(view_->window(), bar == ScrollBar::Vertical ? SB_VERT : SB_HORZ, &si))
    return std::nullopt;
  return ScrollInfo{si.nMin, si.nMax, si.nPage, si.nPos, si.nTrackPos};
}

int32_t FrameBoard::setScrollPosition(ScrollBar bar, int32_t position) {
  const int which = bar == ScrollBar::Vertical ? SB_VERT : SB_HORZ;
  SetScrollPos(view_->window(), which, position, TRUE);
  return GetScrollPos(view_->window(), which);
}

void FrameBoard::setScrollRange(ScrollBar bar, int32_t minimum, int32_t maximum,
                                uint32_t pageSize) {
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE;
  si.nMin = minimum;
  si.nMax = maximum;
  si.nPage = pageSize;
  SetScrollInfo(view_->window(), bar == ScrollBar::Vertical ? SB_VERT : SB_HORZ, &si, TRUE);
}

void FrameBoard::scrollContents(int32_t dx, int32_t dy) {
  ScrollWindowEx(view_->window(), dx, dy, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
}

std::optional<Size> FrameBoard::clientSize() {
  RECT client;
  if (!GetClientRect(view_->window(), &client)) return std::nullopt;
  return Size{client.right - client.left, client.bottom - client.top};
}

std::string FrameBoard::userInfo(uint32_t userId) { return host_.userInfo(userId); }

std::string FrameBoard::toSystemCodePage(std::string_view utf8) {
  return recode(utf8, kCodePageUtf8, kCodePageSystem);
}

}  // namespace scribly
