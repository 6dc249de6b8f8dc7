#include "frame/main_frame_win.h"

#include <cstring>

#include "base/module_paths.h"
#include "frame/frame_board_win.h"
#include "win/handles.h"
#include "win/messages.h"
#include "win/module.h"
#include "win/window_proc.h"

namespace scribly {
namespace {

constexpr wchar_t kFrameClass[] = L"ScriblyMainFrame";
constexpr COLORREF kPaperColour = RGB(255, 255, 255);

volatile LONG g_pendingCopies = 0;

// A posted copy of host data: owned by the message until the frame frees it.
uint8_t* allocCopy(const uint8_t* data, uint32_t length) {
  auto* copy = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, length));
  if (!copy) return nullptr;
  memcpy(copy, data, length);
  InterlockedIncrement(&g_pendingCopies);
  return copy;
}

void freeCopy(uint8_t* copy) {
  if (!copy) return;
  HeapFree(GetProcessHeap(), 0, copy);
  InterlockedDecrement(&g_pendingCopies);
}

}  // namespace

MainFrame::MainFrame(const FrameSettings& settings, FrameHandler* handler)
    : settings_(settings),
      handler_(handler),
      host_(settings.sink),
      backgroundFolder_(scribly::backgroundFolder(settings.skinFolder)) {}

std::unique_ptr<MainFrame> MainFrame::create(const FrameSettings& settings,
                                             FrameHandler* handler) {
  if (!registerWindowClass(moduleInstance(), kFrameClass, &forwardingWindowProc<MainFrame>))
    return nullptr;
  std::unique_ptr<MainFrame> frame(new MainFrame(settings, handler));
  RECT area = {0, 0, 800, 600};
  if (settings.parent) GetClientRect(settings.parent, &area);
  DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (settings.parent ? WS_CHILD : WS_POPUP);
  HWND hwnd = CreateWindowExW(0, kFrameClass, L"scribly main frame", style, 0, 0,
                              area.right - area.left, area.bottom - area.top, settings.parent,
                              nullptr, moduleInstance(), frame.get());
  if (!hwnd) return nullptr;
  if (!handler) {
    frame->ownBoard_ = std::make_unique<FrameBoard>(hwnd, frame->host_, settings);
    frame->handler_ = frame->ownBoard_.get();
  }
  return frame;
}

MainFrame::~MainFrame() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  handler_ = nullptr;
  ownBoard_.reset();
}

bool MainFrame::postDataIn(const uint8_t* data, uint32_t length) {
  if (!data || length == 0 || length > kMaxHostDataBytes || !window_) return false;
  uint8_t* copy = allocCopy(data, length);
  if (!copy) return false;
  if (!PostMessageW(window_, WM_PLUGIN_DATA_IN, reinterpret_cast<WPARAM>(copy), length)) {
    freeCopy(copy);  // a full message queue must not leak the copy
    return false;
  }
  return true;
}

bool MainFrame::postPrivilege(uint32_t privilege) {
  return window_ && PostMessageW(window_, WM_PLUGIN_SET_PRIVILEGE, privilege, 0);
}

bool MainFrame::command(UINT message, WPARAM wParam, LPARAM lParam, bool post) {
  if (!window_) return false;
  if (post) return PostMessageW(window_, message, wParam, lParam) != 0;
  SendMessageW(window_, message, wParam, lParam);
  return true;
}

void MainFrame::join(uint32_t userId, uint32_t peerId) {
  if (handler_) handler_->joined(userId, peerId);
}

void MainFrame::reset() {
  if (handler_) handler_->reset();
  InvalidateRect(window_, nullptr, FALSE);
}

long MainFrame::pendingDataCopies() { return g_pendingCopies; }

LRESULT MainFrame::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PLUGIN_DATA_IN: {
      auto* copy = reinterpret_cast<uint8_t*>(wParam);
      if (copy && handler_)
        handler_->dataIn(std::span<const uint8_t>(copy, static_cast<size_t>(lParam)));
      freeCopy(copy);
      return 0;
    }
    case WM_PLUGIN_SET_PRIVILEGE:
      if (handler_) handler_->privilegeChanged(static_cast<uint32_t>(wParam));
      return 0;
    case WM_PLUGIN_CMD_MIRROR:
      if (handler_) handler_->mirrorCommand(wParam, lParam);
      return 0;
    case WM_PLUGIN_CMD_EDITING:
      if (handler_) handler_->editingCommand(wParam, lParam);
      return 0;
    case WM_SIZE:
      if (ownBoard_) ownBoard_->resize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!ownBoard_ || !data || data->dwData != kScriptCopyData || !data->lpData) return FALSE;
      ownBoard_->runScript(
          std::string_view(static_cast<const char*>(data->lpData), data->cbData));
      return TRUE;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      paint();
      return 0;
    case WM_DESTROY:
      dropPendingData();
      return 0;
  }
  return DefWindowProcW(window_, msg, wParam, lParam);
}

void MainFrame::paint() {
  PaintDc dc(window_);
  RECT client;
  GetClientRect(window_, &client);
  Brush paper(CreateSolidBrush(kPaperColour));
  if (paper) FillRect(dc.get(), &client, paper.get());
}

void MainFrame::dropPendingData() {
  // Copies still queued for this window would otherwise be lost with it.
  MSG m;
  while (PeekMessageW(&m, window_, WM_PLUGIN_DATA_IN, WM_PLUGIN_DATA_IN, PM_REMOVE))
    freeCopy(reinterpret_cast<uint8_t*>(m.wParam));
}

}  // namespace scribly
