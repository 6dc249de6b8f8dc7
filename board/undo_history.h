#pragma once
// What this participant did to each page, newest first, so that it can be
// undone and redone: the steps and what they need to go back and forth. The
// board applies them; this keeps them, bounds them, and forgets the ones a
// peer's later change made stale, so that an undo never takes back what
// someone else did.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "collab/message_header.h"
#include "objects/board_object.h"
#include "objects/font_record.h"

namespace scribly {

// A local change of one object property: any property change but
// `DeleteObject`.
struct ObjectChange {
  MessageCode code = MessageCode::kSetColor;
  // Colour, fill, width (low byte), packed point, style (low byte, signed),
  // or a picture value (orientation, adjustment, brightness, contrast); for
  // `SetObjectPoints` the first value.
  uint32_t value = 0;
  // `SetObjectPoints`: the second value.
  uint32_t second = 0;
  // `SetObjectFont`.
  FontRecord font;
};

// The change that takes `change` back on `object` as it is before `change`;
// nullopt when the object cannot say what it had.
std::optional<ObjectChange> inverseChange(const BoardObject& object, const ObjectChange& change);

// A page's background as a step restores it: a file (its envelope, as it
// travels) or, without one, a template by name.
struct BackgroundState {
  std::vector<uint8_t> envelope;
  std::string templateName;
};

struct UndoStep {
  enum class Kind : uint8_t { Objects, Change, Background };
  // Objects: `present` says whether they are on the page now (undo takes
  // them off) or held here (undo puts them back). One object for a creation
  // or a deletion, every object for a cleared page.
  struct Item {
    uint32_t id = 0;
    std::unique_ptr<BoardObject> object;
    // A held picture's bulk record as it travelled: it goes out again as it
    // was, not encoded once more.
    std::vector<uint8_t> bulk;
  };

  Kind kind = Kind::Objects;
  std::vector<Item> items;
  bool present = true;
  // Change: the object, and its property before and after.
  uint32_t object = 0;
  ObjectChange before;
  ObjectChange after;
  // Background.
  BackgroundState backgroundBefore;
  BackgroundState backgroundAfter;

  // What the step holds, for the history's bound, and what the history
  // counted for it when it took it in.
  size_t bytes() const;
  size_t counted = 0;
};

class UndoHistory {
 public:
  static constexpr size_t kMaxStepsPerPage = 200;

  // `changed` runs whenever what can be undone or redone may have changed.
  UndoHistory(size_t maxBytes, std::function<void()> changed)
      : maxBytes_(maxBytes), changed_(std::move(changed)) {}

  // A new local step on a page: the page's redo steps go.
  void record(uint32_t page, UndoStep step);
  bool canUndo(uint32_t page) const;
  bool canRedo(uint32_t page) const;
  // The newest step to undo (redo), taken out; the board puts it back with
  // `undone` (`redone`) once applied, or drops it when nothing of it applies.
  std::optional<UndoStep> takeUndo(uint32_t page);
  std::optional<UndoStep> takeRedo(uint32_t page);
  void undone(uint32_t page, UndoStep step);
  void redone(uint32_t page, UndoStep step);
  // An object put back under a new id: every step of the page names that one.
  void renameObject(uint32_t page, uint32_t from, uint32_t to);

  // A peer's change of an object's property, its deletion, a page cleared,
  // its background replaced, a page removed: the steps it made stale go.
  void peerChanged(uint32_t page, uint32_t object, MessageCode code);
  void peerDeleted(uint32_t page, uint32_t object);
  void peerChangedBackground(uint32_t page);
  void forgetPage(uint32_t page);
  void clear();

 private:
  struct PageHistory {
    std::deque<UndoStep> undo;  // newest at the back
    std::deque<UndoStep> redo;  // next to redo at the back
  };
  // Drops steps of a page for which `stale` answers true.
  template <class Stale>
  void dropSteps(uint32_t page, Stale stale);
  void add(UndoStep& step) {
    step.counted = step.bytes();
    bytes_ += step.counted;
  }
  void remove(const UndoStep& step) { bytes_ -= std::min(bytes_, step.counted); }
  // Drops the oldest steps, on `page` first, until the bound holds.
  void trim(uint32_t page);
  void notify() {
    if (changed_) changed_();
  }

  size_t maxBytes_;
  size_t bytes_ = 0;
  std::function<void()> changed_;
  std::map<uint32_t, PageHistory> pages_;
};

}  // namespace scribly
