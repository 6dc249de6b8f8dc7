// Undo and redo on the board: the steps the history keeps, applied back or
// again as the user's own changes, which peers then get.
#include <utility>

#include "board/board.h"

namespace scribly {

BackgroundState Board::backgroundState(const Page& page) const {
  BackgroundState state{{}, page.templateName()};
  // A background still on its way cannot be given back: the step then
  // brings back the template.
  if (page.hasBackgroundFile() && page.backgroundNumber() != 0 &&
      page.pendingBackgroundNumber() == 0) {
    state.envelope = backgrounds_.envelopeOf(page);
  }
  return state;
}

bool Board::undo() { return stepHistory(true); }
bool Board::redo() { return stepHistory(false); }

bool Board::canUndo() const { return privileges_.write && history_.canUndo(pages_.currentId()); }

bool Board::canRedo() const { return privileges_.write && history_.canRedo(pages_.currentId()); }

bool Board::stepHistory(bool back) {
  Page* page = pages_.current();
  if (!page || !privileges_.write) return false;
  const uint32_t id = page->id();
  const bool wasReplaying = std::exchange(replaying_, true);
  bool applied = false;
  // A step of which nothing applies any more is skipped for the next one.
  while (!applied) {
    std::optional<UndoStep> step = back ? history_.takeUndo(id) : history_.takeRedo(id);
    if (!step) break;
    applied = applyStep(*page, *step, back);
    if (!applied) continue;
    if (back) {
      history_.undone(id, std::move(*step));
    } else {
      history_.redone(id, std::move(*step));
    }
  }
  replaying_ = wasReplaying;
  return applied;
}

bool Board::applyStep(Page& page, UndoStep& step, bool back) {
  switch (step.kind) {
    case UndoStep::Kind::Objects:
      return applyObjectsStep(page, step);
    case UndoStep::Kind::Change:
      if (!page.findObject(step.object)) return false;
      // A value the object has already counts as applied: nothing is sent.
      changeObject(page.id(), step.object, back ? step.before : step.after);
      return true;
    case UndoStep::Kind::Background:
      if (!privileges_.pages) return false;
      return applyBackground(page, back ? step.backgroundBefore : step.backgroundAfter);
  }
  return false;
}

bool Board::applyObjectsStep(Page& page, UndoStep& step) {
  if (step.present) {
    for (UndoStep::Item& item : step.items) takeObject(page, item.id, item);
  } else {
    // Back under new ids: a peer's message still on its way under the old
    // id must not reach the object on one board and miss it on another.
    for (UndoStep::Item& item : step.items) {
      const uint32_t id = placeObject(std::move(item.object), &page, std::move(item.bulk));
      item.bulk.clear();
      if (id != 0) history_.renameObject(page.id(), item.id, id);
      item.id = id;
    }
  }
  std::erase_if(step.items, [&step](const UndoStep::Item& item) {
    return step.present ? !item.object : item.id == 0;
  });
  step.present = !step.present;
  return !step.items.empty();
}

bool Board::applyBackground(Page& page, const BackgroundState& state) {
  // The template first, as a person would choose it before the file: the
  // file leaves the template as it is.
  if (state.envelope.empty() || state.templateName != page.templateName()) {
    changeTemplate(page, state.templateName);
  }
  if (state.envelope.empty()) return true;
  const uint32_t number = freshId();
  if (number == 0) return false;
  auto written = backgrounds_.writeReceived(page.id(), number, state.envelope);
  if (!written) return false;
  publishBackground(page, number, written->extension, state.envelope, std::move(written->file),
                    true);
  return true;
}

}  // namespace scribly
