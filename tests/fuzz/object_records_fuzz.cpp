// Loads every kind's record, and the picture's bulk record, from arbitrary
// bytes; whatever loads is saved, hit, moved and drawn again.
#include <cstddef>
#include <cstdint>
#include <span>

#include "objects/object_factory.h"
#include "tests/native/recording_canvas.h"

using namespace scribly;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // First byte picks the kind; for pictures the second picks record or bulk.
  static const uint8_t kKinds[] = {10, 11, 12, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25};
  const uint8_t kind = kKinds[data[0] % sizeof kKinds];
  std::span<const uint8_t> record(data + 1, size - 1);
  RecordingCanvas canvas;
  ObjectFactory factory(&canvas);
  std::unique_ptr<BoardObject> object;
  if (kind == 14 && !record.empty() && (record[0] & 1)) {
    object = factory.create(kind);
    if (!object->loadBulkData(record.subspan(1))) return 0;
  } else {
    object = factory.createFromRecord(kind, record);
    if (!object) return 0;
  }
  std::vector<uint8_t> saved = saveRecord(*object);
  saveBulkRecord(*object);
  RecordingInvalidator view;
  for (auto mode : {DrawMode::Plain, DrawMode::Selected, DrawMode::SelectedWithHandles}) {
    object->draw(&canvas, mode, 0xFFFFFF, true);
  }
  object->hitTest({10, 10});
  object->hitHandle({10, 10});
  object->invalidate(view, 3, 4, true);
  object->moveHandle(4, {50, 60});
  object->setOrientation(static_cast<int32_t>(size % 5));
  object->draw(&canvas, DrawMode::Plain, 0, false);
  if (auto copy = object->clone()) saveRecord(*copy);
  return 0;
}
