#include "win/handles.h"

namespace scribly {
namespace {

// Drawing runs on the window thread only; plain counters suffice.
GdiObjectStats stats;

}  // namespace

GdiObjectStats gdiObjectStats() { return stats; }

namespace detail {

void countGdiAdopted(HGDIOBJ h) {
  if (h) ++stats.live;
}

void deleteGdiObject(HGDIOBJ h) {
  DeleteObject(h);
  --stats.live;
  if (GetObjectType(h) != 0) ++stats.deferredDeletes;
}

}  // namespace detail
}  // namespace scribly
