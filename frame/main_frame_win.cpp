#include "frame/main_frame_win.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "base/module_paths.h"
#include "collab/message_header.h"
#include "collab/privileges.h"
#include "frame/frame_board_win.h"
#include "win/handles.h"
#include "win/messages.h"
#include "win/module.h"
#include "win/window_proc.h"

namespace scribly {
namespace {

constexpr wchar_t kFrameClass[] = L"ScriblyMainFrame";
constexpr COLORREF kPaperColour = RGB(255, 255, 255);

// Copies posted and not yet handled. Any process can post the data message
// to the frame; only a pointer found here is ours to read and free.
std::mutex g_copiesLock;
std::unordered_map<const uint8_t*, uint32_t> g_copies;

// `BulkData` may pass the message limit: a host replays it from its
// recording of the mirrored stream, and one message carries a whole picture.
size_t maxHostDataBytes(uint8_t firstByte) {
  return codeOf(firstByte) == toByte(MessageCode::kBulkData) ? BulkData::kMaxBytes
                                                             : kMaxHostDataBytes;
}

// A posted copy of host data: owned by the message until the frame frees it.
uint8_t* allocCopy(const uint8_t* data, uint32_t length) {
  auto* copy = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, length));
  if (!copy) return nullptr;
  memcpy(copy, data, length);
  std::lock_guard lock(g_copiesLock);
  g_copies[copy] = length;
  return copy;
}

// Takes a posted copy back: false (and nothing freed) for a pointer that is
// not one, or a length that is not its own.
bool takeCopy(const uint8_t* copy, size_t length) {
  std::lock_guard lock(g_copiesLock);
  auto found = g_copies.find(copy);
  if (found == g_copies.end() || found->second != length) return false;
  g_copies.erase(found);
  return true;
}

void freeCopy(uint8_t* copy) { HeapFree(GetProcessHeap(), 0, copy); }

}  // namespace

MainFrame::MainFrame(const FrameSettings& settings, FrameHandler* handler)
    : settings_(settings),
      handler_(handler),
      host_(settings.sink),
      backgroundFolder_(scribly::backgroundFolder(settings.skinFolder)) {}

std::unique_ptr<MainFrame> MainFrame::create(const FrameSettings& settings, FrameHandler* handler) {
  std::unique_ptr<MainFrame> frame(new MainFrame(settings, handler));
  frame->files_ = InstanceFolder::create();
  // A broken skin install still leaves a whiteboard to draw on; a skin busy
  // on another thread (the engine serves one) refuses the frame instead.
  if (!frame->createSkinWindow() &&
      (SkinSystem::runsOnAnotherThread() || !frame->createPlainWindow()))
    return nullptr;
  if (!handler) {
    // In the skin the view is the element "view wnd"; a plain frame makes one.
    frame->ownBoard_ = std::make_unique<FrameBoard>(
        frame->window_, frame->host_, settings, frame->filesFolder(L"BKDoc"), frame->viewWindow());
    frame->handler_ = frame->ownBoard_.get();
    if (SkinElement* info = frame->skinWindow_ ? frame->skinWindow_->find("curpageinfo") : nullptr)
      frame->ownBoard_->setPageInfoDisplay([info](const std::string& text) {
        if (info->control()) info->control()->setText(text.c_str());
      });
  }
  frame->wireSkin();
  SetTimer(frame->window_, kPollTimer, kPollMilliseconds, nullptr);
  RECT area = {0, 0, 800, 600};
  if (settings.parent) GetClientRect(settings.parent, &area);
  MoveWindow(frame->window_, 0, 0, area.right - area.left, area.bottom - area.top, TRUE);
  return frame;
}

std::string MainFrame::filesFolder(std::wstring_view name) const {
  return files_ ? files_->subfolderForCodePage(name) : std::string();
}

bool MainFrame::createSkinWindow() {
  if (settings_.moduleFolder.empty()) return false;
  skinSystem_ = SkinSystem::acquire(settings_.moduleFolder, settings_.skinFolder);
  if (skinSystem_)
    skinWindow_ = skinSystem_->createWindow("scribly main frame", settings_.parent, this);
  if (!skinWindow_) {
    skinSystem_.reset();
    return false;
  }
  window_ = skinWindow_->window();
  return true;
}

bool MainFrame::createPlainWindow() {
  if (!registerWindowClass(moduleInstance(), kFrameClass, &forwardingWindowProc<MainFrame>))
    return false;
  DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (settings_.parent ? WS_CHILD : WS_POPUP);
  return CreateWindowExW(0, kFrameClass, L"scribly main frame", style, 0, 0, 800, 600,
                         settings_.parent, nullptr, moduleInstance(), this) != nullptr;
}

MainFrame::~MainFrame() {
  if (skinWindow_) {
    dropPendingData();
    // What lives in or beside the skin window goes before it.
    editPicture_.reset();
    library_.reset();
    if (ownBoard_) {
      ownBoard_->setContents(nullptr, {});
      ownBoard_->setHistoryDisplay({});
    }
    contents_.reset();
    shareDialog_.reset();
    capture_.reset();
    panels_.reset();
    menus_.clear();
    extToolBox_.reset();
    skinWindow_.reset();  // destroys the window without telling us
  } else if (window_ && IsWindow(window_)) {
    DestroyWindow(window_);
  }
  window_ = nullptr;
  handler_ = nullptr;
  ownBoard_.reset();
  skinSystem_.reset();
}

bool MainFrame::postDataIn(const uint8_t* data, uint32_t length) {
  if (!data || length == 0 || length > maxHostDataBytes(data[0]) || !window_) return false;
  uint8_t* copy = allocCopy(data, length);
  if (!copy) return false;
  if (!PostMessageW(window_, WM_PLUGIN_DATA_IN, reinterpret_cast<WPARAM>(copy), length)) {
    takeCopy(copy, length);  // a full message queue must not leak the copy
    freeCopy(copy);
    return false;
  }
  return true;
}

bool MainFrame::postPrivilege(uint32_t privilege) {
  return command(WM_PLUGIN_SET_PRIVILEGE, privilege, 0, true);
}

bool MainFrame::command(UINT message, WPARAM wParam, LPARAM lParam, bool post) {
  if (!window_ || !keepRequest({message, wParam, lParam})) return false;
  if (!post) {
    SendMessageW(window_, message, wParam, lParam);
    return true;
  }
  if (PostMessageW(window_, message, wParam, lParam)) return true;
  takeRequest(message, true);
  return false;
}

bool MainFrame::keepRequest(const HostRequest& request) {
  // A host that never lets the frame's thread run gets no more than this.
  constexpr size_t kMaxRequests = 4096;
  std::lock_guard lock(requestsLock_);
  if (requests_.size() >= kMaxRequests) return false;
  requests_.push_back(request);
  return true;
}

std::optional<MainFrame::HostRequest> MainFrame::takeRequest(UINT message, bool newest) {
  std::lock_guard lock(requestsLock_);
  const auto matches = [message](const HostRequest& r) { return r.message == message; };
  if (newest) {
    auto found = std::find_if(requests_.rbegin(), requests_.rend(), matches);
    if (found == requests_.rend()) return std::nullopt;
    const HostRequest taken = *found;
    requests_.erase(std::next(found).base());
    return taken;
  }
  auto found = std::find_if(requests_.begin(), requests_.end(), matches);
  if (found == requests_.end()) return std::nullopt;
  const HostRequest taken = *found;
  requests_.erase(found);
  return taken;
}

void MainFrame::join(uint32_t userId, uint32_t peerId) {
  if (handler_) handler_->joined(userId, peerId);
}

bool MainFrame::runScript(std::string_view script) {
  // A direct call from the frame's own thread: no other thread, and no other
  // process, has a way in.
  if (!ownBoard_ || GetWindowThreadProcessId(window_, nullptr) != GetCurrentThreadId())
    return false;
  return ownBoard_->runScript(script);
}

void MainFrame::reset() {
  if (handler_) handler_->reset();
  // Every privilege is back: the notice of a missing one goes.
  if (skinWindow_) showPrivilegeTip(true);
  if (contents_) contents_->boardReset();
  InvalidateRect(window_, nullptr, FALSE);
}

long MainFrame::pendingDataCopies() {
  std::lock_guard lock(g_copiesLock);
  return static_cast<long>(g_copies.size());
}

bool MainFrame::handleHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PLUGIN_DATA_IN: {
      auto* copy = reinterpret_cast<uint8_t*>(wParam);
      const auto length = static_cast<size_t>(lParam);
      // Another process may post this message with any pointer: only our
      // own copies are read and freed.
      if (!takeCopy(copy, length)) return true;
      if (handler_) handler_->dataIn(std::span<const uint8_t>(copy, length));
      freeCopy(copy);
      return true;
    }
    case WM_PLUGIN_SET_PRIVILEGE:
    case WM_PLUGIN_CMD_MIRROR:
    case WM_PLUGIN_CMD_EDITING: {
      // What the host asked through the plug-in object, never the message's
      // own parameters: anyone can post the message.
      const std::optional<HostRequest> asked = takeRequest(msg);
      if (!asked || !handler_) return true;
      if (msg == WM_PLUGIN_SET_PRIVILEGE) {
        handler_->privilegeChanged(static_cast<uint32_t>(asked->wParam));
        showPrivilegeTip((asked->wParam & kPrivilegeWrite) != 0);
      } else if (msg == WM_PLUGIN_CMD_MIRROR) {
        handler_->mirrorCommand(asked->wParam, asked->lParam);
      } else {
        handler_->editingCommand(asked->wParam, asked->lParam);
        enableEditing(asked->wParam != 0);
      }
      return true;
    }
    case WM_DESTROY:
      dropPendingData();
      return false;  // the skin's "ondestroy" may still want it
  }
  return false;
}

LRESULT MainFrame::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (handleHostMessage(msg, wParam, lParam)) return 0;
  switch (msg) {
    case WM_SIZE:
      if (ownBoard_) ownBoard_->resize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_TIMER:
      if (wParam == kPollTimer && ownBoard_) ownBoard_->poll();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      paint();
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
  // Without a window the filter below would take other frames' messages.
  if (!window_) return;
  // Copies still queued for this window would otherwise be lost with it.
  MSG m;
  while (PeekMessageW(&m, window_, WM_PLUGIN_DATA_IN, WM_PLUGIN_DATA_IN, PM_REMOVE)) {
    auto* copy = reinterpret_cast<uint8_t*>(m.wParam);
    if (takeCopy(copy, static_cast<size_t>(m.lParam))) freeCopy(copy);
  }
}

}  // namespace scribly
