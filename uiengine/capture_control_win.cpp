#include "uiengine/capture_control_win.h"

#include <algorithm>
#include <utility>

#include "win/bitmap_file.h"

namespace scribly {

std::optional<LRESULT> CaptureControl::kindMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case kCaptureStart: {
      // The report, with the path, goes only to a window of this thread.
      const auto reportTo = reinterpret_cast<HWND>(wParam);
      if (lParam && reportTo && GetWindowThreadProcessId(reportTo, nullptr) == GetCurrentThreadId())
        start(reportTo, reinterpret_cast<const char*>(lParam));
      return 0;
    }
    case WM_LBUTTONDOWN:
      dragging_ = true;
      dragFrom_ = dragTo_ = p;
      SetCapture(hwnd());
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_) {
        dragTo_ = p;
        InvalidateRect(hwnd(), nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP:
      if (dragging_) {
        dragTo_ = p;
        end(true);
      }
      return 0;
    case WM_RBUTTONUP:
      end(false);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) end(false);
      return 0;
    default:
      return std::nullopt;
  }
}

void CaptureControl::start(HWND reportTo, std::string path) {
  report_ = reportTo;
  path_ = std::move(path);
  dragging_ = false;
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  {
    WindowDc screen(nullptr);
    screen_.reset(CreateCompatibleBitmap(screen.get(), width, height));
    MemoryDc copy(screen.get());
    ScopedSelect selected(copy.get(), screen_.get());
    BitBlt(copy.get(), 0, 0, width, height, screen.get(), x, y, SRCCOPY);
  }
  SetWindowPos(hwnd(), HWND_TOPMOST, x, y, width, height, SWP_SHOWWINDOW);
  SetForegroundWindow(hwnd());
  SetFocus(hwnd());
  SetCursor(LoadCursor(nullptr, IDC_CROSS));
}

void CaptureControl::end(bool take) {
  dragging_ = false;
  if (GetCapture() == hwnd()) ReleaseCapture();
  ShowWindow(hwnd(), SW_HIDE);
  const RECT area = {std::min(dragFrom_.x, dragTo_.x), std::min(dragFrom_.y, dragTo_.y),
                     std::max(dragFrom_.x, dragTo_.x), std::max(dragFrom_.y, dragTo_.y)};
  const bool written = take && screen_ && area.right - area.left >= 2 &&
                       area.bottom - area.top >= 2 && writeBitmapFile(screen_.get(), area, path_);
  screen_.reset();
  const HWND report = std::exchange(report_, nullptr);
  if (!report) return;
  if (written)
    SendMessageW(report, kCaptureDone, reinterpret_cast<WPARAM>(path_.c_str()), 0);
  else
    SendMessageW(report, kCaptureNone, 0, 0);
}

void CaptureControl::draw(HDC dc) {
  RECT client;
  GetClientRect(hwnd(), &client);
  MemoryDc source(dc);
  ScopedSelect picture(source.get(), screen_.get());
  BitBlt(dc, 0, 0, client.right, client.bottom, source.get(), 0, 0, SRCCOPY);
  if (dragging_) {
    Pen pen(CreatePen(PS_SOLID, 2, RGB(0, 120, 212)));
    ScopedSelect p(dc, pen.get()), b(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, dragFrom_.x, dragFrom_.y, dragTo_.x, dragTo_.y);
  }
}

}  // namespace scribly
