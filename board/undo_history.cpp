#include "board/undo_history.h"

#include <algorithm>

#include "board/page.h"
#include "objects/pencil_object.h"
#include "objects/pixel_ops.h"
#include "objects/triangle_object.h"

namespace scribly {
namespace {

// Changes that do not commute with one another: a peer's change of one makes
// this participant's earlier step of any of them stale. A turn moves the
// picture's box about its centre, so it goes with the moves.
int conflictGroup(MessageCode code) {
  switch (code) {
    case MessageCode::kMoveTo:
    case MessageCode::kSetPoints:
    case MessageCode::kSetOrientation:
      return -1;
    default:
      return static_cast<int>(code);
  }
}

// Picture values set by dragging a track bar: one step per drag, not per
// position it passed.
bool mergesWithPrevious(MessageCode code) {
  return code == MessageCode::kSetBrightness || code == MessageCode::kSetContrast ||
         code == MessageCode::kSetAdjustmentA;
}

std::optional<Point> handlePoint(const BoardObject& object, uint32_t handleValue) {
  const auto handle = static_cast<int32_t>(handleValue);
  if (handle < 0) return std::nullopt;
  if (object.kind() == ObjectKind::Pencil) {
    const auto points = static_cast<const PencilObject&>(object).points();
    if (static_cast<size_t>(handle) < points.size()) return points[static_cast<size_t>(handle)];
  } else if (object.kind() == ObjectKind::Triangle) {
    const auto& corners = static_cast<const TriangleObject&>(object).corners();
    if (static_cast<size_t>(handle) < corners.size()) return corners[static_cast<size_t>(handle)];
  }
  return std::nullopt;
}

}  // namespace

std::optional<ObjectChange> inverseChange(const BoardObject& object, const ObjectChange& change) {
  ObjectChange before;
  before.code = change.code;
  bool known = true;
  int32_t value = 0;
  switch (change.code) {
    case MessageCode::kSetColor:
      known = object.getColour(before.value);
      break;
    case MessageCode::kSetFill:
      known = object.getFill(before.value);
      break;
    case MessageCode::kSetWidth: {
      uint8_t width = 0;
      known = object.getPenWidth(width);
      before.value = width;
      break;
    }
    case MessageCode::kSetStyle:
      known = object.getPenStyle(before.value);
      break;
    case MessageCode::kSetFont:
      known = object.getFont(before.font);
      break;
    case MessageCode::kMoveTo:
      before.value = object.firstPoint().value;
      break;
    case MessageCode::kSetPoints:
      // Strokes and triangles name the handle that moved and where to.
      if (object.kind() == ObjectKind::Pencil || object.kind() == ObjectKind::Triangle) {
        const std::optional<Point> old = handlePoint(object, change.value);
        if (!old) return std::nullopt;
        before.value = change.value;
        before.second = PackedPoint::pack(*old).value;
      } else {
        before.value = object.firstPoint().value;
        before.second = object.secondPoint().value;
      }
      break;
    case MessageCode::kSetOrientation:
      // A turn or a mirror is taken back by its opposite; any other value
      // only sets the property.
      switch (static_cast<Orientation>(change.value)) {
        case Orientation::MirrorLeftRight:
        case Orientation::MirrorTopBottom:
          before.value = change.value;
          break;
        case Orientation::TurnLeft:
          before.value = static_cast<uint32_t>(Orientation::TurnRight);
          break;
        case Orientation::TurnRight:
          before.value = static_cast<uint32_t>(Orientation::TurnLeft);
          break;
        default:
          known = object.getOrientation(value);
          before.value = static_cast<uint32_t>(value);
          break;
      }
      break;
    case MessageCode::kSetAdjustmentA:
      known = object.getAdjustmentA(value);
      before.value = static_cast<uint32_t>(value);
      break;
    case MessageCode::kSetBrightness:
      known = object.getBrightness(value);
      before.value = static_cast<uint32_t>(value);
      break;
    case MessageCode::kSetContrast:
      known = object.getContrast(value);
      before.value = static_cast<uint32_t>(value);
      break;
    default:
      return std::nullopt;
  }
  if (!known) return std::nullopt;
  return before;
}

size_t UndoStep::bytes() const {
  size_t total = sizeof(UndoStep) + items.size() * sizeof(Item) + backgroundBefore.envelope.size() +
                 backgroundAfter.envelope.size();
  for (const Item& item : items) {
    if (item.object) total += item.object->save({}) + pixelBytesOf(*item.object) + item.bulk.size();
  }
  return total;
}

void UndoHistory::record(uint32_t page, UndoStep step) {
  PageHistory& history = pages_[page];
  for (const UndoStep& s : history.redo) remove(s);
  history.redo.clear();
  if (!history.undo.empty() && step.kind == UndoStep::Kind::Change &&
      mergesWithPrevious(step.after.code)) {
    UndoStep& last = history.undo.back();
    if (last.kind == UndoStep::Kind::Change && last.object == step.object &&
        last.after.code == step.after.code) {
      last.after = step.after;
      notify();
      return;
    }
  }
  add(step);
  history.undo.push_back(std::move(step));
  if (history.undo.size() > kMaxStepsPerPage) {
    remove(history.undo.front());
    history.undo.pop_front();
  }
  trim(page);
  notify();
}

void UndoHistory::trim(uint32_t page) {
  auto drain = [this](std::deque<UndoStep>& steps) {
    while (bytes_ > maxBytes_ && !steps.empty()) {
      remove(steps.front());
      steps.pop_front();
    }
  };
  if (bytes_ <= maxBytes_) return;
  for (auto& [id, history] : pages_) {
    if (id != page) drain(history.redo);
  }
  for (auto& [id, history] : pages_) {
    if (id != page) drain(history.undo);
  }
  drain(pages_[page].undo);
}

bool UndoHistory::canUndo(uint32_t page) const {
  const auto it = pages_.find(page);
  return it != pages_.end() && !it->second.undo.empty();
}

bool UndoHistory::canRedo(uint32_t page) const {
  const auto it = pages_.find(page);
  return it != pages_.end() && !it->second.redo.empty();
}

namespace {

std::optional<UndoStep> takeBack(std::deque<UndoStep>& steps) {
  if (steps.empty()) return std::nullopt;
  UndoStep step = std::move(steps.back());
  steps.pop_back();
  return step;
}

}  // namespace

std::optional<UndoStep> UndoHistory::takeUndo(uint32_t page) {
  const auto it = pages_.find(page);
  if (it == pages_.end()) return std::nullopt;
  std::optional<UndoStep> step = takeBack(it->second.undo);
  if (step) remove(*step);
  notify();
  return step;
}

std::optional<UndoStep> UndoHistory::takeRedo(uint32_t page) {
  const auto it = pages_.find(page);
  if (it == pages_.end()) return std::nullopt;
  std::optional<UndoStep> step = takeBack(it->second.redo);
  if (step) remove(*step);
  notify();
  return step;
}

void UndoHistory::undone(uint32_t page, UndoStep step) {
  add(step);
  pages_[page].redo.push_back(std::move(step));
  trim(page);
  notify();
}

void UndoHistory::redone(uint32_t page, UndoStep step) {
  add(step);
  pages_[page].undo.push_back(std::move(step));
  trim(page);
  notify();
}

void UndoHistory::renameObject(uint32_t page, uint32_t from, uint32_t to) {
  const auto it = pages_.find(page);
  if (it == pages_.end()) return;
  for (auto* steps : {&it->second.undo, &it->second.redo}) {
    for (UndoStep& step : *steps) {
      if (step.object == from) step.object = to;
      for (UndoStep::Item& item : step.items)
        if (item.id == from) item.id = to;
    }
  }
}

template <class Stale>
void UndoHistory::dropSteps(uint32_t page, Stale stale) {
  const auto it = pages_.find(page);
  if (it == pages_.end()) return;
  bool dropped = false;
  for (auto* steps : {&it->second.undo, &it->second.redo}) {
    for (auto s = steps->begin(); s != steps->end();) {
      const size_t items = s->items.size();
      if (stale(*s)) {
        remove(*s);
        s = steps->erase(s);
        dropped = true;
      } else {
        // Counted again only when it lost objects: most steps hold none.
        if (s->items.size() != items) {
          remove(*s);
          add(*s);
        }
        ++s;
      }
    }
  }
  if (dropped) notify();
}

namespace {

// Takes an object off a step that has it on the page; true when nothing of
// the step is left.
bool withoutItem(UndoStep& step, uint32_t object) {
  if (step.kind != UndoStep::Kind::Objects || !step.present) return false;
  std::erase_if(step.items, [object](const UndoStep::Item& item) { return item.id == object; });
  return step.items.empty();
}

}  // namespace

void UndoHistory::peerChanged(uint32_t page, uint32_t object, MessageCode code) {
  // Taking back a creation would delete what the peer has worked on since.
  dropSteps(page, [&](UndoStep& step) {
    if (step.kind == UndoStep::Kind::Change) {
      return step.object == object && conflictGroup(step.after.code) == conflictGroup(code);
    }
    return withoutItem(step, object);
  });
}

void UndoHistory::peerDeleted(uint32_t page, uint32_t object) {
  dropSteps(page, [&](UndoStep& step) {
    if (step.kind == UndoStep::Kind::Change) return step.object == object;
    return withoutItem(step, object);
  });
}

void UndoHistory::peerChangedBackground(uint32_t page) {
  dropSteps(page, [](UndoStep& step) { return step.kind == UndoStep::Kind::Background; });
}

void UndoHistory::forgetPage(uint32_t page) {
  const auto it = pages_.find(page);
  if (it == pages_.end()) return;
  for (auto* steps : {&it->second.undo, &it->second.redo})
    for (const UndoStep& s : *steps) remove(s);
  pages_.erase(it);
  notify();
}

void UndoHistory::clear() {
  if (pages_.empty()) return;
  pages_.clear();
  bytes_ = 0;
  notify();
}

}  // namespace scribly
