#pragma once
// What the view shows of the current page: the background picture at the
// page's scale on paper, else its template tiled, else paper; the objects in
// drawing order; grey past the page.
#include <cstdint>
#include <optional>

#include "board/page.h"
#include "objects/canvas.h"

namespace scribly {

constexpr uint32_t kBeyondPageGrey = 0xC0C0C0;

// Paints `area`, the view's client in page coordinates (the view's corner at
// the scroll position); the canvas draws in page coordinates. Without a page
// the whole area is grey. `tile` is the page's template picture, or null.
// Only objects and template copies that meet `dirty` are drawn (the rest of
// the canvas is clipped away by the caller); without it all are.
void paintPage(const Page* page, const BackgroundPicture* tile, Canvas& canvas, const Rect& area,
               const std::optional<Rect>& dirty = std::nullopt);

}  // namespace scribly
