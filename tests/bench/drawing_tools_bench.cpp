// The tools on a page of 1000 objects: the work of one pointer movement while
// an object is dragged, and while the delete tool hovers (which searches the
// page at every movement); and how much of the view a drag invalidates.
// Prints figures only.
#include <cstdio>

#include "bench_objects.h"
#include "board/drawing_tools.h"
#include "board/silent_surroundings.h"
#include "tests/bench/bench_support.h"
#include "tests/native/board_test_support.h"

using namespace scribly::testing;

int main() {
  constexpr int kMoves = 20000;
  TestBoard board;
  board->initialize(11, 12);
  for (auto& object : makePage(nullptr)) board->commitObject(std::move(object));
  SilentToolSurroundings surroundings;
  DrawingTools tools(*board.board, surroundings, 1);

  // The last object, a filled ellipse, is drawn on top: select it and grip
  // its centre handle.
  const BoardObject& top = *board->currentPage()->objects().back().object;
  const Rect box = boxOf(top.firstPoint().unpack(), top.secondPoint().unpack());
  const Point grip{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  tools.selectTool(kChoiceTool);
  tools.mouseDown(grip);
  tools.mouseUp(grip);
  tools.mouseDown(grip);
  if (tools.dragMode() != DragMode::MoveObject) return 1;
  board.view.invalidated.clear();
  const double drag = 1000 * msPerCall(kMoves, [&](int i) {
                        tools.mouseMove({grip.x + 1 + i % 300, grip.y + 1 + i % 200});
                      });
  tools.mouseUp({grip.x + 50, grip.y + 50});
  double area = 0;
  for (const Rect& r : board.view.invalidated) area += double(r.width()) * r.height();

  tools.selectTool(kDeleteTool);
  const double hover = 1000 * msPerCall(kMoves, [&](int i) {
                         tools.mouseMove({(i * 37) % 1200, (i * 53) % 1200});
                       });

  std::printf("dragging one of 1000 objects (%d x %d): %.2f us per pointer movement\n", box.width(),
              box.height(), drag);
  std::printf("  invalidated per movement: %.0f pixels (%.2f%% of a 1200 x 1200 view)\n",
              area / kMoves, 100.0 * area / kMoves / (1200.0 * 1200.0));
  std::printf("delete tool hovering over 1000 objects: %.2f us per pointer movement\n", hover);
  printFigure("drag one of 1000 objects: tools' work", drag, "us per move",
              "goal <= 5 ms with poll and paint (view_bench_win)");
  printFigure("drag one of 1000 objects: area invalidated",
              100.0 * area / kMoves / (1200.0 * 1200.0), "% of view", "a 1200 x 1200 view");
  printFigure("delete tool hovering over 1000 objects", hover, "us per move",
              "drag %.2f us, ratio %.1f", drag, hover / drag);
}
