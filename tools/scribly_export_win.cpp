// scribly-export RECORDING OUT.pdf: a recorded session replayed into a fresh
// board of a frame that is never shown, and every page saved as the contents
// menu's "save all pages as PDF" saves it. Exit codes: 0 saved; 3 saved, but
// the recording was cut short or damaged, so the file holds what it held; 1
// nothing saved; 2 usage.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "base/file_bytes.h"
#include "board/recording_replay.h"
#include "collab/recording.h"
#include "frame/frame_board_win.h"
#include "frame/main_frame_win.h"
#include "frame/page_export_win.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr int kSaved = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kSavedCut = 3;
// Recordings larger than this are refused rather than read in part.
constexpr size_t kMaxRecordingBytes = size_t{1} << 30;

int fail(const char* what) {
  std::fprintf(stderr, "scribly-export: %s\n", what);
  return kFailed;
}

int run(const wchar_t* recordingPath, const wchar_t* pdfPath) {
  const std::optional<std::string> in = systemCodePagePath(std::wstring_view(recordingPath));
  const std::optional<std::string> out = systemCodePagePath(std::wstring_view(pdfPath));
  if (!in || !out) return fail("a path that this system's code page cannot name");
  const FileReadResult file = readFileBytes(*in, kMaxRecordingBytes);
  if (!file.ok()) return fail("the recording cannot be read");
  const std::optional<Recording> recording = readRecording(file.bytes);
  if (!recording) return fail("the file is no recording");

  // The frame the plug-in makes, in a window never shown: the same board,
  // files and picture decoding, the same skin's templates.
  HWND parent = CreateWindowExW(0, L"STATIC", L"scribly-export", WS_OVERLAPPEDWINDOW, 0, 0, 960,
                                640, nullptr, nullptr, nullptr, nullptr);
  FrameSettings settings;
  settings.parent = parent;
  settings.moduleFolder = moduleFolder();
  std::unique_ptr<MainFrame> frame = MainFrame::create(settings, nullptr);
  if (!frame || !frame->board()) {
    DestroyWindow(parent);
    return fail("no board could be made");
  }
  Board& board = frame->board()->board();
  const size_t refused = replayRecording(board, recording->messages);
  // What the replay posted to the frame is handled before the pages are drawn.
  for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
  const ExportResult result = exportBoardPdf(board, *out);
  const size_t pages = board.pages().size();
  frame.reset();
  DestroyWindow(parent);
  if (result != ExportResult::Written) return fail("the PDF could not be written");
  std::printf("scribly-export: %zu pages from %zu messages (%zu refused)\n", pages,
              recording->messages.size(), refused);
  if (recording->cut || recording->damaged) {
    std::fprintf(stderr, "scribly-export: the recording was %s; saved what it held\n",
                 recording->damaged ? "damaged" : "cut short");
    return kSavedCut;
  }
  return kSaved;
}

}  // namespace
}  // namespace scribly

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: scribly-export RECORDING OUT.pdf\n");
    return scribly::kUsage;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = scribly::run(argv[1], argv[2]);
  CoUninitialize();
  return result;
}
