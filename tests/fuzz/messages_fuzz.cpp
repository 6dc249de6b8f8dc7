// Fuzzes the parser of every whiteboard message: any bytes are offered to
// each parser; whatever one accepts must build again and read back the same.
#include <cstdlib>

#include "collab/message_codec.h"

namespace {

template <class M>
void check(std::span<const uint8_t> input) {
  auto parsed = scribly::parse<M>(input);
  if (!parsed) return;
  if constexpr (std::is_same_v<M, scribly::TransferChunk>) {
    // Peers may send longer chunks than this board ever builds.
    if (parsed->data.size() > scribly::kMaxChunkBytes) return;
  }
  const std::vector<uint8_t> bytes = scribly::build(*parsed);
  if (bytes.empty() || bytes.size() > input.size() + 8) std::abort();
  auto again = scribly::parse<M>(bytes);
  if (!again || scribly::build(*again) != bytes) std::abort();
}

template <class... M>
void checkAll(std::span<const uint8_t> input) {
  (check<M>(input), ...);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace scribly;
  checkAll<CreateObject, BackgroundAnnounce, TransferBegin, TransferChunk, TransferEnd,
           SetObjectValue, SetObjectWidth, SetObjectPoints, DeleteObject, SetObjectFont,
           SetObjectStyle, SetBackgroundByName, ClearPage, CurrentPage, AddPage, RemovePage, Scroll,
           RenamePage, RenamePageAndRefresh, Acknowledgement, IdRangeRequest, IdRangeGrant,
           StateRequest, MissingItem, TransferProgress, StateReplyEnd, CreateNamedPage,
           RemoveDocumentPages, ClearPageWithBackground, BackgroundScale, BulkData, StateReplyItem,
           PageShown, PageContents, BackgroundReady>(std::span<const uint8_t>(data, size));
  readHeader(std::span<const uint8_t>(data, size));
  return 0;
}
