#pragma once
// Surroundings for a board nobody looks at (the relay server's replica, tools
// and benchmarks): no view, no files (pages keep the background bytes they
// received), no picture decoding, no user information. Questions get
// `answer`.
#include "board/board_seams.h"
#include "board/tool_seams.h"
#include "collab/conference_channel.h"

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
  void namedPageCreated(uint32_t, std::string_view) override {}
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

  std::unique_ptr<BackgroundPicture> decodeFile(const std::string&, size_t) override {
    return nullptr;
  }
  std::string userInfo(uint32_t) override { return {}; }

 private:
  MessageBoxAnswer answer_;
};

// A host that drops what is sent, for the same boards.
class SilentHost : public HostLink, public SilentSurroundings {
 public:
  void sendTo(uint32_t, uint32_t, std::span<const uint8_t>, uint32_t) override {}
  void hostMessage(uint32_t, std::span<const uint8_t>) override {}
};

// Drawing tools nobody watches: the capture is remembered, no dialog or
// editor opens, no picture decodes.
class SilentToolSurroundings : public ToolSurroundings {
 public:
  void captureMouse() override { captured_ = true; }
  void releaseMouse() override { captured_ = false; }
  bool holdsMouse() const override { return captured_; }
  void focusView() override {}
  void enableDrawing(bool) override {}
  void toolButtonChanged(uint32_t) override {}
  void penStateChanged(uint32_t, uint32_t) override {}
  void selectionProperty(SelectionProperty, uint32_t) override {}
  void openTextEditor(Point, const FontRecord&, std::string_view) override {}
  std::optional<std::string> choosePictureFile() override { return std::nullopt; }
  bool loadPictureFile(ImageObject&, const std::string&, Point) override { return false; }
  bool cutFromView(ImageObject&, std::span<const Point>, Point) override { return false; }

 private:
  bool captured_ = false;
};

}  // namespace scribly
