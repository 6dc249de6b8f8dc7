#pragma once
// One window procedure, one object: WM_NCCREATE stores the object passed to
// CreateWindowEx, later messages go to its handle(), and WM_NCDESTROY forgets
// it. The owner class befriends forwardingWindowProc<Owner> and has `HWND
// window_` and `LRESULT handle(UINT, WPARAM, LPARAM)`. An exception never
// unwinds into the system: the message then gets the default answer. What
// only our own code may send is answered 0 when it comes from elsewhere.
#include <windows.h>

#include "win/message_origin.h"

namespace scribly {

template <class Owner>
LRESULT CALLBACK forwardingWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  const MessageScope scope(hwnd, msg, wParam, lParam);
  if (scope.refused()) return 0;
  LRESULT result = 0;
  try {
    result = self->handle(msg, wParam, lParam);
  } catch (...) {
    result = DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->window_ = nullptr;
  }
  return result;
}

// Registers a window class of `instance` once; true when it exists afterwards.
inline bool registerWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc,
                                HBRUSH background = nullptr) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(instance, name, &wc)) return true;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace scribly
