// Background announces and their bytes (in one message or as a transfer),
// page visits and removals from arbitrary bytes: the board holds no more
// than its budget, received files take no more than their room on disk, and
// no single allocation goes far past the budget (memory_limit.h).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/picture_header.h"
#include "tests/fuzz/memory_limit.h"
#include "tests/native/board_test_support.h"

using namespace scribly;
using namespace scribly::testing;

namespace {

constexpr size_t kDiskRoom = size_t{4} << 20;

// Decodes as the system picture loader would be let to: only files whose
// header reads and fits, to a picture of the size the header states.
struct HeaderDecoder final : PictureDecoder {
  FakeFiles* files;
  explicit HeaderDecoder(FakeFiles* f) : files(f) {}
  std::unique_ptr<BackgroundPicture> decodeFile(const std::string& path,
                                                size_t maxPixelBytes) override {
    auto it = files->files.find(path);
    if (it == files->files.end()) return nullptr;
    const auto header = readPictureFileHeader(it->second);
    if (!header || !pictureFits(*header, maxPixelBytes)) return nullptr;
    const auto w = static_cast<uint16_t>(header->width);
    const auto h = static_cast<uint16_t>(header->height);
    return BackgroundPicture::make(std::vector<uint8_t>(pictureBytes(w, h)), w, h);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RecordingHost host;
  FakeView view;
  FakeFiles files;
  HeaderDecoder decoder(&files);
  FakeHostInfo info;
  BoardOptions options;
  options.backgroundFolder = "C:\\BKDoc\\";
  options.maxPictureBytes = kBudget;
  options.maxReceivedBackgroundBytes = kDiskRoom;
  options.transferLimits = TransferLimits{1 << 20, 4 << 20, 8};
  view.client = Size{800, 600};
  Board board(BoardEnvironment{host, view, files, decoder, info, nullptr}, options);
  board.initialize(11, 12);
  // Each step: an operation byte, a page byte, a number byte, a u16 length
  // and that many bytes.
  ByteReader in(std::span<const uint8_t>(data, size));
  while (in.remaining() >= 5) {
    const uint8_t op = in.u8();
    const uint32_t page = 1 + in.u8() % 3;
    const uint32_t number = 500 + in.u8() % 8;
    const uint16_t length = in.u16();
    const std::span<const uint8_t> bytes = in.bytes(std::min<size_t>(length, in.remaining()));
    switch (op % 6) {
      case 0:
        board.dispatch(build(BackgroundAnnounce{page, number}));
        break;
      case 1:
        board.dispatch(build(BulkData{page, number, bytes}));
        break;
      case 2:
        board.dispatch(build(TransferBegin{number, 21, page, static_cast<uint32_t>(bytes.size())}));
        if (!bytes.empty()) board.dispatch(build(TransferChunk{number, bytes}));
        board.dispatch(build(TransferEnd{number, page}));
        break;
      case 3:
        board.goToPage(page, false);
        break;
      case 4:
        board.dispatch(build(BackgroundScale{page, number % 11}));
        break;
      default:
        board.dispatch(build(RemovePage{page, 0}));
        break;
    }
    size_t onDisk = 0, held = 0;
    for (const auto& [path, file] : files.files) onDisk += file.size();
    for (const auto& p : board.pages()) held += p->heldBytes();
    if (board.heldPictureBytes() != held || held > kBudget || onDisk > kDiskRoom ||
        board.receivedBackgroundBytes() != onDisk) {
      std::abort();
    }
  }
  return 0;
}
