#pragma once
// Owners for every handle the Win32 layer touches. Each closes its handle on
// every path; copies are deleted, moves hand the handle over.
#include <objbase.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdint>
#include <utility>

namespace scribly {

// A handle closed by Traits::close; Traits::invalid() is the "none" value.
template <class Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle h) : handle_(h) { Traits::adopted(handle_); }
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = other.release();
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::invalid(); }
  // Gives the handle up without closing it.
  Handle release() { return std::exchange(handle_, Traits::invalid()); }
  void reset(Handle h = Traits::invalid()) {
    if (handle_ != Traits::invalid()) Traits::close(handle_);
    handle_ = h;
    Traits::adopted(handle_);
  }
  // For calls that return a handle through an out parameter (none that make
  // GDI objects, whose count would miss it).
  Handle* put() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::invalid();
};

struct GdiObjectStats {
  // Objects owned through GdiHandle and not yet deleted.
  int64_t live = 0;
  // Deletions after which the object still existed: it was still selected
  // into a context, so the system only deferred the deletion.
  int64_t deferredDeletes = 0;
};
// Every creation and deletion through GdiHandle is counted, so tests can prove
// the drawing code deletes what it makes and never deletes a selected object.
GdiObjectStats gdiObjectStats();

namespace detail {
void countGdiAdopted(HGDIOBJ h);
void deleteGdiObject(HGDIOBJ h);

template <class H>
struct GdiTraits {
  using Handle = H;
  static H invalid() { return nullptr; }
  static void adopted(H h) { countGdiAdopted(h); }
  static void close(H h) { deleteGdiObject(h); }
};
// Handles that need no counting, closed by one system call.
template <class H, auto Close>
struct ClosedBy {
  using Handle = H;
  static H invalid() { return nullptr; }
  static void adopted(H) {}
  static void close(H h) { Close(h); }
};
struct FileTraits : ClosedBy<HANDLE, &CloseHandle> {
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
};
struct FindTraits : ClosedBy<HANDLE, &FindClose> {
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
};
using KernelTraits = ClosedBy<HANDLE, &CloseHandle>;
using ModuleTraits = ClosedBy<HMODULE, &FreeLibrary>;
using GlobalTraits = ClosedBy<HGLOBAL, &GlobalFree>;
using RegistryTraits = ClosedBy<HKEY, &RegCloseKey>;
using MemoryDcTraits = ClosedBy<HDC, &DeleteDC>;
using CursorTraits = ClosedBy<HCURSOR, &DestroyCursor>;
using IconTraits = ClosedBy<HICON, &DestroyIcon>;
using MenuTraits = ClosedBy<HMENU, &DestroyMenu>;
using ImageListTraits = ClosedBy<HIMAGELIST, &ImageList_Destroy>;
}  // namespace detail

// Pens, brushes, fonts, bitmaps and regions: deleted with DeleteObject.
template <class H>
using GdiHandle = UniqueHandle<detail::GdiTraits<H>>;
using GdiObject = GdiHandle<HGDIOBJ>;
using Pen = GdiHandle<HPEN>;
using Brush = GdiHandle<HBRUSH>;
using Font = GdiHandle<HFONT>;
using Bitmap = GdiHandle<HBITMAP>;
using Region = GdiHandle<HRGN>;

// A kernel file handle (CreateFile's failure value is INVALID_HANDLE_VALUE).
using FileHandle = UniqueHandle<detail::FileTraits>;
// A kernel object whose failure value is null: process, thread, job, token.
using KernelHandle = UniqueHandle<detail::KernelTraits>;
// A directory search from FindFirstFile.
using FindHandle = UniqueHandle<detail::FindTraits>;
// A library this code loaded with LoadLibrary.
using ModuleHandle = UniqueHandle<detail::ModuleTraits>;
// A registry key opened or created by this code.
using RegistryKey = UniqueHandle<detail::RegistryTraits>;
// Global memory from GlobalAlloc; release() when a stream takes it over.
using GlobalMemory = UniqueHandle<detail::GlobalTraits>;
// Cursors and icons this code made or loaded from a file (never the shared
// system ones from LoadCursor or LoadIcon).
using Cursor = UniqueHandle<detail::CursorTraits>;
using Icon = UniqueHandle<detail::IconTraits>;
// A menu not attached to a window (a window destroys its own menu bar).
using MenuHandle = UniqueHandle<detail::MenuTraits>;
// An image list of the common controls; whoever destroys it links comctl32.
using ImageList = UniqueHandle<detail::ImageListTraits>;

// A memory context from CreateCompatibleDC.
class MemoryDc : public UniqueHandle<detail::MemoryDcTraits> {
 public:
  MemoryDc() = default;
  explicit MemoryDc(HDC compatibleWith)
      : UniqueHandle<detail::MemoryDcTraits>(CreateCompatibleDC(compatibleWith)) {}
};

// A printer from OpenPrinter, closed by `close`: ClosePrinter, or the call a
// test hands in with its own spooler (so this header needs no winspool.h).
class OpenedPrinter {
 public:
  using CloseCall = BOOL(WINAPI*)(HANDLE);
  OpenedPrinter(CloseCall close, HANDLE printer) : close_(close), printer_(printer) {}
  ~OpenedPrinter() {
    if (printer_) close_(printer_);
  }
  OpenedPrinter(const OpenedPrinter&) = delete;
  OpenedPrinter& operator=(const OpenedPrinter&) = delete;
  HANDLE get() const { return printer_; }

 private:
  CloseCall close_;
  HANDLE printer_;
};

// Global memory locked for a scope.
class GlobalMemoryLock {
 public:
  explicit GlobalMemoryLock(HGLOBAL memory)
      : memory_(memory), data_(memory ? ::GlobalLock(memory) : nullptr) {}
  ~GlobalMemoryLock() {
    if (data_) GlobalUnlock(memory_);
  }
  GlobalMemoryLock(GlobalMemoryLock&& other) noexcept
      : memory_(other.memory_), data_(std::exchange(other.data_, nullptr)) {}
  GlobalMemoryLock& operator=(GlobalMemoryLock&&) = delete;
  GlobalMemoryLock(const GlobalMemoryLock&) = delete;
  GlobalMemoryLock& operator=(const GlobalMemoryLock&) = delete;
  void* data() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};

// The context of a window (GetDC, or GetWindowDC for the whole window with
// its frame), released to the window it came from. A null window is the screen.
class WindowDc {
 public:
  enum class Area { Client, Whole };
  explicit WindowDc(HWND window, Area area = Area::Client)
      : window_(window), dc_(area == Area::Client ? GetDC(window) : GetWindowDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(WindowDc&& other) noexcept
      : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
  WindowDc& operator=(WindowDc&&) = delete;
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// The screen's context, for measuring and capturing.
class ScreenDc : public WindowDc {
 public:
  ScreenDc() : WindowDc(nullptr) {}
};

// BeginPaint for the scope, EndPaint at its end.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~PaintDc() {
    if (window_) EndPaint(window_, &paint_);
  }
  PaintDc(PaintDc&& other) noexcept
      : window_(std::exchange(other.window_, nullptr)), paint_(other.paint_), dc_(other.dc_) {}
  PaintDc& operator=(PaintDc&&) = delete;
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC get() const { return dc_; }
  const RECT& dirty() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a context for a scope and puts the previous one back.
// A null object selects nothing.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
  ~ScopedSelect() {
    if (previous_) SelectObject(dc_, previous_);
  }
  ScopedSelect(ScopedSelect&& other) noexcept
      : dc_(other.dc_), previous_(std::exchange(other.previous_, nullptr)) {}
  ScopedSelect& operator=(ScopedSelect&&) = delete;
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A counted reference to a COM object.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a reference of its own; the caller keeps its one.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  // For creation calls that hand out a reference through an out parameter.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

}  // namespace scribly
