#include "objects/gdi_handles_win.h"

namespace scribly {

namespace {

// Drawing runs on the window thread only; plain counters suffice.
GdiObjectStats stats;

}  // namespace

GdiObjectStats gdiObjectStats() { return stats; }

GdiObject::GdiObject(HGDIOBJ h) : handle_(h) {
  if (handle_) ++stats.live;
}

GdiObject& GdiObject::operator=(GdiObject&& other) noexcept {
  if (this != &other) {
    reset();
    handle_ = other.release();
  }
  return *this;
}

void GdiObject::reset(HGDIOBJ h) {
  if (handle_) {
    DeleteObject(handle_);
    --stats.live;
    if (GetObjectType(handle_) != 0) ++stats.deferredDeletes;
  }
  handle_ = h;
  if (handle_) ++stats.live;
}

}  // namespace scribly
