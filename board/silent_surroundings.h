#pragma once
// Surroundings for a board nobody looks at (the relay server's replica, tools
// and benchmarks): no view, no files (pages keep the background bytes they
// received), no picture decoding, no user information. Questions get
// `answer`.
#include "board/board_seams.h"

namespace scribly {

class SilentSurroundings : public BoardView,
                           public BoardFiles,
                           public PictureDecoder,
                           public HostInfo {
 public:
  explicit SilentSurroundings(MessageBoxAnswer answer = MessageBoxAnswer::No) : answer_(answer) {}

  void invalidateRect(const Rect&, bool) override {}
  void invalidateAll(bool) override {}
  void contentsChanged(ContentsChange, uint32_t) override {}
  void documentPagesRemoved(std::string_view) override {}
  void namedPageCreated(std::span<const uint8_t>) override {}
  void pageInfoChanged() override {}
  MessageBoxAnswer messageBox(std::string_view, MessageBoxKind) override { return answer_; }
  std::optional<ScrollInfo> scrollInfo(ScrollBar) override { return std::nullopt; }
  int32_t setScrollPosition(ScrollBar, int32_t position) override { return position; }
  void setScrollRange(ScrollBar, int32_t, int32_t, uint32_t) override {}
  void scrollContents(int32_t, int32_t) override {}
  std::optional<Size> clientSize() override { return std::nullopt; }

  std::optional<std::vector<uint8_t>> readFile(const std::string&, size_t) override {
    return std::nullopt;
  }
  bool writeFile(const std::string&, std::span<const uint8_t>) override { return true; }
  bool copyFile(const std::string&, const std::string&) override { return true; }
  bool moveFile(const std::string&, const std::string&) override { return true; }
  bool deleteFile(const std::string&) override { return true; }

  std::unique_ptr<BackgroundPicture> decodeFile(const std::string&) override { return nullptr; }
  std::string userInfo(uint32_t) override { return {}; }

 private:
  MessageBoxAnswer answer_;
};

}  // namespace scribly
