// Two skin-built frames in one process, relayed to each other as a host
// would: the whole view's repaint of a page of 1 000 objects (shown again,
// turned to, scrolled), each beside the same repaint without the kept page
// picture; the repaint while one object is dragged; and the time from the
// hand's last movement of a drag, released at once, to the peer's repaint.
#include <scribly.h>
#include <windows.h>

#include <cstring>
#include <memory>

#include "bench_objects.h"
#include "frame/frame_board_win.h"
#include "frame/main_frame_win.h"
#include "objects/gdi_canvas_win.h"
#include "tests/bench/bench_support.h"
#include "win/module.h"

namespace {

// Hands what one frame sends to the other, as the host's relay does.
struct RelaySink : IClientSink {
  scribly::MainFrame* peer = nullptr;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** o) override {
    *o = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE SendTo(ULONG, ULONG, BYTE* d, ULONG n, ULONG) override {
    if (peer) peer->postDataIn(d, n);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUserInfo(ULONG, BYTE* buffer) override {
    std::strcpy(reinterpret_cast<char*>(buffer), "<userbasic><name>Bench</name></userbasic>");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBufferSize(ULONG* size) override {
    *size = 32768;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMessageA(UINT_PTR, LONG_PTR, UINT_PTR*) override { return S_OK; }
};

HWND viewOf(scribly::MainFrame& frame) {
  return frame.skin() ? frame.skin()->find("view wnd")->window() : nullptr;
}

// Puts the pointer there, for the frame's next poll to take.
void pointAt(HWND view, int x, int y) {
  POINT p = {x, y};
  ClientToScreen(view, &p);
  SetCursorPos(p.x, p.y);
  SendMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

// The pointer there, taken by a poll of the frame's timer.
void pollAt(scribly::MainFrame& frame, HWND view, int x, int y) {
  pointAt(view, x, y);
  SendMessageW(frame.window(), WM_TIMER, scribly::MainFrame::kPollTimer, 0);
}

}  // namespace

int main() {
  using namespace scribly;
  const HostWindow host(1600, 1000);
  RelaySink toRight, toLeft;
  // A frame in its own half of the host window.
  const auto frame = [&](int left, RelaySink& sink) {
    FrameSettings settings;
    settings.parent = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, left, 0, 800, 900,
                                      host, nullptr, nullptr, nullptr);
    settings.sink = &sink;
    settings.peerToPeer = true;
    settings.moduleFolder = moduleFolder();
    return MainFrame::create(settings, nullptr);
  };
  auto ann = frame(0, toRight);
  auto ben = frame(800, toLeft);
  if (!ann || !ben || !ann->skin() || !ben->skin()) {
    std::printf("view_bench: the skin-built frames cannot be made here\n");
    return 1;
  }
  toRight.peer = ben.get();
  toLeft.peer = ann.get();
  ann->join(1, 2);
  ben->join(2, 1);
  ShowWindow(ann->window(), SW_SHOW);
  ShowWindow(ben->window(), SW_SHOW);
  pump();

  ScreenTextMeasurer measurer;
  for (auto& object : makePage(&measurer)) {
    ann->board()->board().commitObject(std::move(object));
    pump();
  }
  settle(1000);

  HWND view = viewOf(*ann);
  CanvasView& shown = ann->board()->view();
  Board& board = ann->board()->board();
  RECT client;
  GetClientRect(view, &client);
  // The same thousand objects on page 2, to turn between the two.
  for (auto& object : makePage(&measurer)) board.commitObject(std::move(object), 2);
  pump();

  // Mean time of `rounds` of a change and the view's repaint, with the kept
  // picture and without it; each begins with a round that is not counted.
  constexpr int kRounds = 20;
  struct Pair {
    double kept, plain;
  };
  auto timed = [&](auto change) {
    Pair pair{};
    for (bool keep : {true, false}) {
      shown.keepPicture(keep);
      change(kRounds);
      UpdateWindow(view);
      (keep ? pair.kept : pair.plain) = msPerCall(kRounds, [&](int i) {
        change(i);
        UpdateWindow(view);
      });
    }
    shown.keepPicture(true);
    return pair;
  };
  const Pair full = timed([&](int) { InvalidateRect(view, nullptr, FALSE); });
  const Pair turn = timed([&](int i) { board.goToPage(i % 2 ? 1 : 2, false); });
  board.goToPage(1, false);
  const Pair scrolled = timed([&](int i) {
    SendMessageW(view, WM_VSCROLL, i % 2 ? SB_PAGEUP : SB_PAGEDOWN, 0);
    SendMessageW(view, WM_HSCROLL, i % 2 ? SB_PAGEUP : SB_PAGEDOWN, 0);
  });
  pump();

  // A rectangle of our own, dragged across the crowded page.
  ann->board()->tools().selectTool(12);
  pollAt(*ann, view, 400, 500);
  SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 500));
  pollAt(*ann, view, 460, 540);
  SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(460, 540));
  ann->board()->tools().selectTool(1);
  const uint32_t rectId = board.currentPage()->objects().back().id;
  pump();

  constexpr int kMoves = 100;
  long long invalidated = 0;
  double moving = 0;
  pollAt(*ann, view, 400, 520);
  SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 520));
  for (int i = 1; i <= kMoves; ++i) {
    UpdateWindow(view);
    pointAt(view, 400 - i * 3, 520 - i * 2);
    const Stopwatch clock;
    SendMessageW(ann->window(), WM_TIMER, MainFrame::kPollTimer, 0);
    RECT dirty;
    if (GetUpdateRect(view, &dirty, FALSE))
      invalidated += (dirty.right - dirty.left) * (dirty.bottom - dirty.top);
    UpdateWindow(view);
    moving += clock.ms();
  }
  SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(400 - kMoves * 3, 520 - kMoves * 2));
  pump();

  // Strokes of a few polled movements whose last movement the button's
  // release follows at once, timed from that movement to the peer's
  // repaint, which must show the rectangle where the hand left it.
  HWND peerView = viewOf(*ben);
  constexpr int kStrokes = 15;
  std::vector<double> toPeer;
  int wrong = 0;
  Point edge{400 - kMoves * 3, 520 - kMoves * 2};
  for (int stroke = 0; stroke < kStrokes; ++stroke) {
    pollAt(*ann, view, edge.x, edge.y);
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(edge.x, edge.y));
    for (int step = 1; step <= 3; ++step) {
      pollAt(*ann, view, edge.x + step * 5, edge.y + step);
    }
    pump();
    UpdateWindow(peerView);
    edge = {edge.x + 20, edge.y + 4};
    const Stopwatch clock;
    pointAt(view, edge.x, edge.y);
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(edge.x, edge.y));
    bool repainted = false;
    while (!repainted && clock.ms() < 2000) {
      MSG m;
      if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
      RECT dirty;
      if (GetUpdateRect(peerView, &dirty, FALSE)) {
        UpdateWindow(peerView);
        repainted = true;
      }
    }
    toPeer.push_back(clock.ms());
    const BoardObject* mine = board.currentPage()->findObject(rectId);
    const BoardObject* theirs = ben->board()->board().currentPage()->findObject(rectId);
    if (!repainted || !mine || !theirs || mine->firstPoint() != theirs->firstPoint()) ++wrong;
    pump();
  }
  const double median = percentile(toPeer, 50);

  const double area = double(client.right) * client.bottom;
  auto figure = [](const char* what, const Pair& pair) {
    printFigure(what, pair.kept, "ms", "goal <= 15 ms; without the kept picture %.1f ms (%.1fx)",
                pair.plain, pair.plain / pair.kept);
  };
  figure("whole view shown again, 1000 objects", full);
  figure("turn to a page of 1000 objects", turn);
  figure("scroll a page of 1000 objects", scrolled);
  printFigure("drag step (poll and paint)", moving / kMoves, "ms",
              "goal <= 5 ms; %.1f%% of the view repainted", 100.0 * invalidated / kMoves / area);
  printFigure("last movement, released at once, to the peer's repaint", median, "ms",
              "goal <= 30 ms median; %d strokes, %.1f-%.1f ms, %d not shown right", kStrokes,
              toPeer.front(), toPeer.back(), wrong);
  ann.reset();
  ben.reset();
  return wrong == 0 ? 0 : 1;
}
