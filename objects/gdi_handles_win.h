#pragma once
// Owners for the GDI objects the drawing code creates. Every creation and
// deletion is counted so that tests can prove nothing leaks, also where the
// system's own count of GDI objects is not available.
#include <windows.h>

#include <cstdint>

namespace scribly {

struct GdiObjectStats {
  // Objects created through GdiObject and not yet deleted.
  int64_t live = 0;
  // Deletions after which the object still existed: it was still selected
  // into a context, so the system only deferred the deletion.
  int64_t deferredDeletes = 0;
};
GdiObjectStats gdiObjectStats();

class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(HGDIOBJ h);
  ~GdiObject() { reset(); }
  GdiObject(GdiObject&& other) noexcept : handle_(other.release()) {}
  GdiObject& operator=(GdiObject&& other) noexcept;
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  HGDIOBJ get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  HGDIOBJ release() {
    HGDIOBJ h = handle_;
    handle_ = nullptr;
    return h;
  }
  void reset(HGDIOBJ h = nullptr);

 private:
  HGDIOBJ handle_ = nullptr;
};

// Selects an object into a context for a scope and puts the previous one back.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~ScopedSelect() {
    if (previous_) SelectObject(dc_, previous_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A memory context, deleted with its owner.
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
  ~MemoryDc() {
    if (dc_) DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// The screen's context for measuring, released to its window (the desktop).
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace scribly
