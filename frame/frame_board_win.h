#pragma once
// The board inside the frame: the view window, the board with its seams over
// Win32, and the frame's host traffic handed to the board.
#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "board/board.h"
#include "board/selection_editing.h"
#include "board/view_scroll.h"
#include "frame/board_files_win.h"
#include "frame/canvas_view_win.h"
#include "frame/host_channel_win.h"
#include "frame/main_frame_win.h"
#include "frame/view_tools_win.h"
#include "objects/gdi_canvas_win.h"
#include "skin/language_texts.h"

namespace scribly {

class FrameBoard final : public FrameHandler,
                         public PagePainter,
                         public ViewInput,
                         public BoardView,
                         public HostInfo,
                         public TextCodec {
 public:
  // The view is `viewWindow` when given (the skin's "view wnd", whose
  // messages the frame hands to viewMessage), else a window of its own.
  // Background files go to `backgroundFolder` (8-bit, ending in "\"; empty:
  // none are kept), which belongs to this board alone.
  FrameBoard(HWND frame, HostChannel& host, const FrameSettings& settings,
             std::string backgroundFolder, HWND viewWindow = nullptr);
  ~FrameBoard() override;

  Board& board() { return *board_; }
  CanvasView& view() { return *view_; }
  DrawingTools& tools() { return tools_->tools(); }
  SelectionEditing& selection() { return *selection_; }
  // The view's scroll bars: the view's size and scroll messages reach them
  // through viewMessage, the broadcast through poll.
  ViewScroll& scroll() { return board_->scroll(); }
  // A message of an adopted view window; true when consumed.
  bool viewMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return view_->handleMessage(message, wParam, lParam, result);
  }
  // The frame's 10 ms tick.
  void poll();
  void resize(int width, int height);
  // Where the text telling the shown page goes (UTF-8); told at once and at
  // every change of page or page name.
  void setPageInfoDisplay(std::function<void(const std::string&)> display);
  // Told whenever what can be undone or redone on the shown page may have
  // changed: a step, a peer's change, another page shown.
  void setHistoryDisplay(std::function<void()> display) {
    historyDisplay_ = std::move(display);
    historyChanged();
  }
  // The contents panel, told of every change of the page list: through its
  // window, and of a peer's document page through `namedPage`. Null and
  // empty stop the telling.
  void setContents(HWND window, std::function<void(uint32_t, std::string_view)> namedPage) {
    contents_ = window;
    namedPage_ = std::move(namedPage);
  }
  // The names of documents whose pages went, one per notice the panel got,
  // oldest first: the notice carries no name of its own.
  std::optional<std::string> takeRemovedDocument();
  // Switches the frame's drawing tools on and off with the write privilege.
  void setDrawingSwitch(std::function<void(bool)> drawingSwitch) {
    tools_->setDrawingSwitch(std::move(drawingSwitch));
  }
  // A host's scripted session: local operations, as a user would make them;
  // true when every line applied.
  bool runScript(std::string_view script);

  // FrameHandler
  void dataIn(std::span<const uint8_t> bytes) override;
  void privilegeChanged(uint32_t privilege) override;
  void mirrorCommand(uintptr_t wParam, intptr_t lParam) override;
  void editingCommand(uintptr_t wParam, intptr_t lParam) override;
  void joined(uint32_t userId, uint32_t peerId) override;
  void reset() override;

  // ViewInput
  bool onViewMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // PagePainter
  void paintView(Canvas& canvas, const Rect& area, const Rect& dirty) override;
  void paintOver(Canvas& canvas) override;
  Point scrollPosition() const override;
  uint32_t shownPage() const override;
  Size shownPageSize() const override;
  uint64_t shownRevision() const override;

  // BoardView
  void invalidateRect(const Rect& r, bool erase) override;
  void invalidateAll(bool erase) override;
  void contentsChanged(ContentsChange kind, uint32_t page) override;
  void documentPagesRemoved(std::string_view documentName) override;
  void namedPageCreated(uint32_t page, std::string_view name) override;
  void pageInfoChanged() override;
  void historyChanged() override {
    if (historyDisplay_) historyDisplay_();
  }
  MessageBoxAnswer messageBox(std::string_view textKey, MessageBoxKind kind) override;
  std::optional<ScrollInfo> scrollInfo(ScrollBar bar) override;
  int32_t setScrollPosition(ScrollBar bar, int32_t position) override;
  void setScrollRange(ScrollBar bar, int32_t minimum, int32_t maximum, uint32_t pageSize) override;
  void scrollContents(int32_t dx, int32_t dy) override;
  std::optional<Size> clientSize() override;

  // HostInfo
  std::string userInfo(uint32_t userId) override;

  // TextCodec
  std::string toSystemCodePage(std::string_view utf8) override;

 private:
  HWND frame_;
  HostChannel& host_;
  Win32Files files_;
  SystemPictureDecoder pictures_;
  ScreenTextMeasurer measurer_;
  // Read once from the language file beside the module; keys show as
  // themselves when the file or a key is missing.
  LanguageTexts texts_;
  std::function<void(const std::string&)> pageInfoDisplay_;
  std::function<void()> historyDisplay_;
  HWND contents_ = nullptr;
  std::function<void(uint32_t, std::string_view)> namedPage_;
  std::deque<std::string> removedDocuments_;
  std::unique_ptr<CanvasView> view_;
  std::unique_ptr<Board> board_;
  std::unique_ptr<ViewTools> tools_;
  std::unique_ptr<SelectionEditing> selection_;
};

}  // namespace scribly
